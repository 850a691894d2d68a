#include <gtest/gtest.h>

#include "store/Cp932.h"

using namespace kesola;

TEST(Cp932, EncodesAsWindowsDoes) {
    EXPECT_EQ(Cp932::encode(QStringLiteral("A")), QByteArray("A"));
    EXPECT_EQ(Cp932::encode(QStringLiteral("あ")), QByteArray("\x82\xA0"));
    EXPECT_EQ(Cp932::encode(QStringLiteral("ｱ")), QByteArray("\xB1"));         // half-width katakana: one byte
    EXPECT_EQ(Cp932::encode(QString(QChar(0xFF5E))), QByteArray("\x81\x60"));  // full-width tilde
    EXPECT_EQ(Cp932::encode(QString(QChar(0x301C))), QByteArray("\x81\x60"));  // wave dash, by fallback
    EXPECT_EQ(Cp932::encode(QStringLiteral("①")), QByteArray("\x87\x40"));     // NEC extension
    EXPECT_EQ(Cp932::encode(QStringLiteral("髙")), QByteArray("\xFB\xFC"));    // IBM extension
}

TEST(Cp932, CharacterWithoutFormBecomesOneByteSubstitute) {
    EXPECT_EQ(Cp932::encode(QStringLiteral("a😀b")), QByteArray("a?b"));
    EXPECT_EQ(Cp932::byteWidth(QStringLiteral("😀")), 1);
    EXPECT_FALSE(Cp932::isDoubleByte(U'😀'));
    EXPECT_TRUE(Cp932::isDoubleByte(U'漢'));
    EXPECT_FALSE(Cp932::isDoubleByte(U'ｶ'));
    // Invisible characters without a form, as pasted in with a name, are substitutes too, never dropped.
    for (const char32_t invisible : {U'\u200B', U'\u2063', U'\uFE0F', U'\u00AD'}) {
        const QString text = QStringLiteral("山") + QString::fromUcs4(&invisible, 1) + QStringLiteral("田");
        EXPECT_EQ(Cp932::encode(text), QByteArray("\x8E\x52?\x93\x63")) << std::hex << static_cast<unsigned>(invisible);
        EXPECT_EQ(Cp932::byteWidth(text), 5);
    }
}

// The encoder writes ASCII as it is without asking the converter; the converter must agree, but for the three
// control characters it exchanges, which are left to it.
TEST(Cp932, AsciiIsItsOwnFormButForThreeControls) {
    const QString exchanged = QStringLiteral("\x1a\x1c\x7f");
    for (int c = 0; c < 0x80; ++c) {
        if (exchanged.contains(QChar(c))) continue;
        EXPECT_EQ(Cp932::decode(QByteArray(1, static_cast<char>(c))), QString(QChar(c))) << c;
    }
    EXPECT_EQ(Cp932::encode(QStringLiteral("a\x1a\x1c\x7f") + QChar(0x3042)), QByteArray("a\x7f\x1a\x1c\x82\xa0"));
}

TEST(Cp932, DecodesWhatItEncodes) {
    const QString text = QStringLiteral("ＭＲＩ室 ｶﾅ abc ～");
    EXPECT_EQ(Cp932::decode(Cp932::encode(text)), text);
}
