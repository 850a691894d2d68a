#include <gtest/gtest.h>

#include "worklist/RegisteredName.h"

using namespace kesola;
using namespace kesola::worklist;

TEST(RegisteredName, RomajiInHepburnUpperCase) {
    const struct {
        const char* kana;
        const char* romaji;
    } cases[] = {
        {"ヤマダ　タロウ", "YAMADA TARO"},
        {"キョウコ", "KYOKO"},
        {"ジュンイチ", "JUN'ICHI"},
        {"オオタ", "OTA"},
        {"ユウキ", "YUKI"},
        {"チャ ツ シ フ", "CHA TSU SHI FU"},
        {"ハットリ", "HATTORI"},
        {"ラーメン", "RAMEN"},
    };
    for (const auto& c : cases) EXPECT_EQ(romajiOf(QString::fromUtf8(c.kana)), QString::fromUtf8(c.romaji)) << c.kana;
}

TEST(RegisteredName, ThreeGroupsFromTheBookingAndTheRegister) {
    const RegisteredPatient patient{QStringLiteral("P-1"), QStringLiteral("山田　太郎"),
                                    QStringLiteral("ヤマダ　タロウ"), QStringLiteral("19600308"), QStringLiteral("1")};
    const struct {
        const char* stored;
        const char* name;
    } cases[] = {
        {"山田　太郎", "YAMADA^TARO=山田^太郎=ヤマダ^タロウ"},
        {"山田 太朗", "YAMADA^TARO=山田^太朗=ヤマダ^タロウ"},    // the booking's name as typed, as today
        {"Yamada Taro", "YAMADA^TARO=山田^太郎=ヤマダ^タロウ"},  // ASCII typed: the register's kanji
        {"ﾔﾏﾀﾞ ﾀﾛｳ", "YAMADA^TARO=山田^太郎=ヤマダ^タロウ"},     // half-width kana typed: the same
    };
    for (const auto& c : cases)
        EXPECT_EQ(threeGroupPersonName(QString::fromUtf8(c.stored), patient), QString::fromUtf8(c.name)) << c.stored;
    EXPECT_EQ(dicomBirthDateOf(patient), QStringLiteral("19600308"));
    RegisteredPatient wrongDate = patient;
    wrongDate.SEINENGAPPI = QStringLiteral("19600230");
    EXPECT_EQ(dicomBirthDateOf(wrongDate), QString());
}
