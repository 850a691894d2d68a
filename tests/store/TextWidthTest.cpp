#include <gtest/gtest.h>

#include "store/TextWidth.h"
#include "tests/support/FakeServices.h"

using namespace kesola;
using kesola::test::ScriptedMessages;

namespace {

QString check(int mode, int maximum, QString text, ScriptedMessages& messages) {
    return LEN_CHECK(mode, maximum, text, messages, QStringLiteral("ＭＲＩ予約システム"));
}

}  // namespace

TEST(TextWidth, CountsDoubleAndSingleByteCharactersOfTheTrimmedText) {
    QString text = QStringLiteral("  漢字かなabcｱｲ  ");
    EXPECT_EQ(ZEN_COUNT(text), 4);
    EXPECT_EQ(text, QStringLiteral("漢字かなabcｱｲ"));
    EXPECT_EQ(HAN_COUNT(text), 5);
    QString blanks = QStringLiteral("   ");
    EXPECT_EQ(ZEN_COUNT(blanks) + HAN_COUNT(blanks), 0);
    QString fullWidthBlank = QStringLiteral("\u3000");  // not trimmed: the system trims half-width blanks only
    EXPECT_EQ(ZEN_COUNT(fullWidthBlank), 1);
}

TEST(TextWidth, WidthEqualToTheMaximumFits) {
    ScriptedMessages messages;
    EXPECT_EQ(check(2, 20, QStringLiteral("一二三四五六七八九十"), messages), QStringLiteral("一二三四五六七八九十"));
    EXPECT_EQ(check(2, 16, QStringLiteral("  一二三四五六七八  "), messages), QStringLiteral("一二三四五六七八"));
    EXPECT_EQ(check(2, 11, QStringLiteral("漢字か12345"), messages), QStringLiteral("漢字か12345"));
    EXPECT_EQ(check(2, 0, QString(), messages), QString());
    EXPECT_TRUE(messages.shown.empty());
}

TEST(TextWidth, TooWideShowsTheMessageTitledReservationOperation) {
    ScriptedMessages messages;
    EXPECT_EQ(check(2, 20, QStringLiteral("一二三四五六七八九十壱"), messages), QStringLiteral("NG"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.last().text, QStringLiteral("文字の入力数がオーバーしてます。"));
    EXPECT_EQ(messages.last().title, QStringLiteral("ＭＲＩ予約システム - [ 予約操作 ]"));
    EXPECT_EQ(messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(check(2, 4, QStringLiteral("ｱｲｳｴｵ"), messages), QStringLiteral("NG"));
}

TEST(TextWidth, TruncationModeCutsToTheMaximum) {
    ScriptedMessages messages;
    EXPECT_EQ(check(1, 4, QStringLiteral("abcdef"), messages), QStringLiteral("abcd"));
    EXPECT_EQ(check(1, 5, QStringLiteral("一二三"), messages), QStringLiteral("一二"));
    // A U+FEFF inside the text is a character like any other, kept in the cut (one byte, the substitute).
    EXPECT_EQ(check(1, 3, QStringLiteral("a\uFEFFbcd"), messages), QStringLiteral("a\uFEFFb"));
    EXPECT_EQ(messages.shown.size(), 3u);
}

TEST(TextWidth, CharacterWithoutCp932FormCountsOneByte) {
    ScriptedMessages messages;
    EXPECT_EQ(check(2, 3, QStringLiteral("a😀b"), messages), QStringLiteral("a😀b"));
    EXPECT_EQ(check(2, 2, QStringLiteral("a😀b"), messages), QStringLiteral("NG"));
}

// Counted by the bytes that are written: 剝 as 剥's two, ¢ as ￠'s two, 𠮟 (one character of two UTF-16 units) as
// 叱's two.
TEST(TextWidth, CharacterWrittenInAnotherFormCountsThatFormsBytes) {
    ScriptedMessages messages;
    QString text = QStringLiteral("網膜剝離¢𠮟");
    EXPECT_EQ(ZEN_COUNT(text), 6);
    EXPECT_EQ(HAN_COUNT(text), 0);
    EXPECT_EQ(check(2, 20, QString(10, QChar(0x525D)), messages), QString(10, QChar(0x525D)));
    EXPECT_EQ(check(2, 20, QString(11, QChar(0x525D)), messages), QStringLiteral("NG"));
}

TEST(TextWidth, TextWithACharacterCp932CannotWriteIsRefusedNamingIt) {
    const struct {
        QString typed;
        QString message;  // empty: writable
    } cases[] = {
        {QStringLiteral("網膜剝離 頰部 ¢£¬ 〜"), QString()},
        {QStringLiteral("吉田𠮷男"), QStringLiteral("「𠮷」は登録できない文字です。")},
        {QStringLiteral("花子😀🙂"), QStringLiteral("「😀」は登録できない文字です。")},
        {QStringLiteral("山田​太郎"), QStringLiteral("「U+200B」は登録できない文字です。")},
        {QStringLiteral("한"), QStringLiteral("「한」は登録できない文字です。")},
    };
    for (const auto& c : cases) {
        ScriptedMessages messages;
        EXPECT_EQ(isWritable(c.typed, messages, QStringLiteral("題")), c.message.isEmpty()) << c.typed.toStdString();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(messages.shown.empty());
            continue;
        }
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.last().text, c.message);
        EXPECT_EQ(messages.last().title, QStringLiteral("題"));
        EXPECT_EQ(messages.last().icon, MsgIcon::Exclamation);
    }
}

TEST(TextWidth, FitsWidthTellsATextThatIsItselfNgFromTheRefusal) {
    ScriptedMessages messages;
    EXPECT_TRUE(fitsWidth(20, QStringLiteral(" NG "), messages, QString()));
    EXPECT_FALSE(fitsWidth(1, QStringLiteral("NG"), messages, QString()));
    EXPECT_EQ(messages.shown.size(), 1u);
}
