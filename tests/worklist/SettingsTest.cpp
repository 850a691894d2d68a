#include <gtest/gtest.h>

#include "worklist/WorklistSettings.h"

namespace kesola::worklist {
namespace {

SettingsRead parse(const char* text) { return parseWorklistSettings(QByteArray(text), QStringLiteral("worklist.ini")); }

TEST(WorklistSettings, ReadsEveryKeyWithComments) {
    const SettingsRead read = parse(
        "; the scanners' worklist\n"
        "[worklist]\n"
        "database = /shared/mri/KESOLA.MDB      ; or a postgresql:// URI\n"
        "aetitle = MWL_TEST\r\n"
        "port = 104\n"
        "accept = MRI1 MRI2\n"
        "charset = ISO_IR 192\n"
        "outside = substitute\n"
        "[stations]\n"
        "MRI1 = 1\n"
        "MRI2 = 3\n");
    ASSERT_TRUE(read.settings) << read.error.toStdString();
    const WorklistSettings& s = *read.settings;
    EXPECT_EQ(s.database, "/shared/mri/KESOLA.MDB");
    EXPECT_EQ(s.aeTitle, "MWL_TEST");
    EXPECT_EQ(s.port, 104);
    EXPECT_EQ(s.accept, QStringList({"MRI1", "MRI2"}));
    EXPECT_EQ(s.charset, AnswerCharset::Utf8);
    EXPECT_EQ(s.outside, OutsideJisX0208::Substitute);
    EXPECT_EQ(s.roomOfStation("MRI2"), "3");
    EXPECT_FALSE(s.roomOfStation("MRI3"));
}

TEST(WorklistSettings, DefaultsWhereTheFileIsSilent) {
    const SettingsRead read = parse("[worklist]\ndatabase = postgresql://mri@db/kesola\n[stations]\nMRI1 = 1\n");
    ASSERT_TRUE(read.settings);
    EXPECT_EQ(read.settings->aeTitle, "KESOLA_MWL");
    EXPECT_EQ(read.settings->port, 11112);
    EXPECT_TRUE(read.settings->accept.isEmpty());
    EXPECT_EQ(read.settings->charset, AnswerCharset::Iso2022Ir87);
    EXPECT_EQ(read.settings->outside, OutsideJisX0208::Substitute);
}

TEST(WorklistSettings, ABadSettingNamesItsLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[worklist]\ndatabase = x\nport = 0\n[stations]\nA = 1\n",
         "worklist.ini:3: port の値「0」は 1 から 65535 までの数ではありません"},
        {"[worklist]\ndatabase = x\nport = 99999\n",
         "worklist.ini:3: port の値「99999」は 1 から 65535 までの数ではありません"},
        {"[worklist]\n\ndatabase = x\ncharset = SJIS\n",
         "worklist.ini:4: charset の値「SJIS」は ISO 2022 IR 87 でも ISO_IR 192 でもありません"},
        {"[worklist]\noutside = drop\n", "worklist.ini:2: outside の値「drop」は utf8 でも substitute でもありません"},
        {"[worklist]\naetitle = THIS_TITLE_IS_TOO_LONG\n",
         "worklist.ini:2: 「THIS_TITLE_IS_TOO_LONG」は AE タイトル (英数字など 16 文字まで) ではありません"},
        {"[worklist]\naccept = MRI1 BAD\\AE\n",
         "worklist.ini:2: 「BAD\\AE」は AE タイトル (英数字など 16 文字まで) ではありません"},
        {"[worklist]\nhost = x\n", "worklist.ini:2: [worklist] に host というキーはありません"},
        {"[worklist]\nport = 1\nport = 2\n", "worklist.ini:3: port = が二度書かれています"},
        {"database = x\n", "worklist.ini:1: database = が節 ([worklist]) の前にあります"},
        {"[worklist]\ndatabase\n", "worklist.ini:2: 「キー = 値」の形ではありません"},
        {"[scanners]\n", "worklist.ini:1: [scanners] という節はありません ([worklist] か [stations])"},
        {"[stations\n", "worklist.ini:1: 節の名前が ] で閉じていません"},
        {"[stations]\nMRI1 = 0\n", "worklist.ini:2: MRI1 の検査室「0」は 1 から 9 までの部屋コードではありません"},
        {"[stations]\nMRI1 = 1\nMRI1 = 2\n", "worklist.ini:3: 検査装置 MRI1 が二度書かれています"},
        {"[stations]\nMRI1 = 1\n", "worklist.ini: [worklist] に database = の行がありません"},
        {"[worklist]\ndatabase = x\n", "worklist.ini: [stations] に検査室が一つもありません"},
    };
    for (const auto& c : cases) {
        const SettingsRead read = parse(c.text);
        EXPECT_FALSE(read.settings) << c.text;
        EXPECT_EQ(read.error, QString::fromUtf8(c.error)) << c.text;
    }
}

TEST(WorklistSettings, AMissingFileIsSaidSo) {
    const SettingsRead read = readWorklistSettings(QStringLiteral("/nonexistent/worklist.ini"));
    EXPECT_FALSE(read.settings);
    EXPECT_TRUE(read.error.startsWith(QStringLiteral("/nonexistent/worklist.ini: 設定ファイルを開けません")))
        << read.error.toStdString();
}

}  // namespace
}  // namespace kesola::worklist
