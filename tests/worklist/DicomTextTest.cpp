#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "worklist/DicomText.h"

namespace kesola::worklist {
namespace {

TEST(DicomText, JapaneseNameInIso2022Ir87) {
    EXPECT_EQ(encodeIso2022Ir87(QStringLiteral("=山田^太郎")), QByteArray("=\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B"));
    EXPECT_EQ(encodeIso2022Ir87(QStringLiteral("ヤマダ")), QByteArray("\x1b$B%d%^%@\x1b(B"));
    EXPECT_EQ(encodeIso2022Ir87(QStringLiteral("YAMADA^TARO")), QByteArray("YAMADA^TARO"));
    // cp932's form of the wave dash and the JIS standard's are the same JIS character 1-33.
    EXPECT_EQ(encodeIso2022Ir87(QStringLiteral("～")), QByteArray("\x1b$B!A\x1b(B"));
    EXPECT_EQ(encodeIso2022Ir87(QStringLiteral("〜")), QByteArray("\x1b$B!A\x1b(B"));
    // The forms of 2004 and ¢ as every file we write holds them: 剝 as 剥 (1-39-77), 𠮟 as 叱 (1-28-24), ¢ as ￠.
    EXPECT_EQ(encodeIso2022Ir87(QStringLiteral("剝𠮟¢")), QByteArray("\x1b$BGm<8!q\x1b(B"));
    EXPECT_FALSE(firstOutsideJisX0208(QStringLiteral("網膜剝離 頰部")));
}

TEST(DicomText, HalfWidthKatakanaInIso2022Ir13) {
    // PS3.5's own example of "ISO 2022 IR 13\ISO 2022 IR 87": katakana as bytes A1-DF, ESC ( J back to JIS X 0201.
    EXPECT_EQ(encodeIso2022Ir13Ir87(QStringLiteral("ﾔﾏﾀﾞ^ﾀﾛｳ=山田^太郎")),
              QByteArray("\xd4\xcf\xc0\xde^\xc0\xdb\xb3=\x1b$B;3ED\x1b(J^\x1b$BB@O:\x1b(J"));
    EXPECT_EQ(encodeIso2022Ir13Ir87(QStringLiteral("造影ｱﾘ 1")), QByteArray("\x1b$BB$1F\x1b(J\xb1\xd8 1"));
    for (const QString text : {"=ﾔﾏﾀﾞ^ﾀﾛｳ", "造影ｱﾘ 1", "ｱ山ｲ"}) {
        EXPECT_EQ(decodeDicomText(encodeIso2022Ir13Ir87(text), QStringLiteral("ISO 2022 IR 13\\ISO 2022 IR 87")), text);
    }
    EXPECT_TRUE(holdsHalfWidthKatakana(QStringLiteral("造影ｱﾘ")));
    EXPECT_FALSE(holdsHalfWidthKatakana(QStringLiteral("造影アリ")));
    EXPECT_FALSE(firstOutsideJisX0201AndJisX0208(QStringLiteral("ﾔﾏﾀﾞ 山田")));
    EXPECT_EQ(firstOutsideJisX0201AndJisX0208(QStringLiteral("ﾔﾏﾀﾞ 髙")), U'髙');
    std::vector<Substitution> made;
    EXPECT_EQ(substituteOutsideJisX0208(QStringLiteral("ﾔﾏﾀﾞ 髙①"), &made, true), QStringLiteral("ﾔﾏﾀﾞ 高1"));
    EXPECT_EQ(describeSubstitutions(made), QStringLiteral("髙→高, ①→1"));
}

TEST(DicomText, CharactersOutsideJisX0208AreFound) {
    const struct {
        const char* text;
        char32_t outside;
    } cases[] = {
        {"髙橋", U'髙'}, {"山﨑", U'\uFA11'}, {"ﾔﾏﾀﾞ", U'ﾔ'}, {"①", U'①'}, {"¥", U'¥'}, {"山田𠮷", U'𠮷'},
    };
    for (const auto& c : cases) {
        const auto found = firstOutsideJisX0208(QString::fromUtf8(c.text));
        ASSERT_TRUE(found) << c.text;
        EXPECT_EQ(*found, c.outside) << c.text;
    }
    for (const char* inside : {"山田　太郎", "凜熙", "ＡＢＣａｂｃ１２３", "∵≒∫", "─┼"}) {
        EXPECT_FALSE(firstOutsideJisX0208(QString::fromUtf8(inside))) << inside;
    }
}

TEST(DicomText, OutsideCharactersGetTheirUsualSubstitutes) {
    const struct {
        const char* text;
        const char* substituted;
        const char* log;
    } cases[] = {
        {"髙橋", "高橋", "髙→高"},
        {"山﨑 德子", "山崎 徳子", "﨑→崎, 德→徳"},
        {"ﾔﾏﾀﾞ ﾀﾛｳ", "ヤマダ タロウ", "ﾔﾏﾀﾞ→ヤマダ, ﾀﾛｳ→タロウ"},
        {"𠮷田", "〓田", "𠮷→〓"},
    };
    for (const auto& c : cases) {
        std::vector<Substitution> made;
        const QString out = substituteOutsideJisX0208(QString::fromUtf8(c.text), &made);
        EXPECT_EQ(out, QString::fromUtf8(c.substituted)) << c.text;
        EXPECT_EQ(describeSubstitutions(made), QString::fromUtf8(c.log)) << c.text;
        EXPECT_FALSE(firstOutsideJisX0208(out)) << c.text;
    }
}

// The conformance statement's table of substitutes is the one the service uses: each character it names, row by
// row, becomes what the row says.
TEST(DicomText, TheConformanceStatementsSubstitutesAreTheServices) {
    QFile statement(QStringLiteral(KESOLA_CONFORMANCE_STATEMENT));
    ASSERT_TRUE(statement.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(statement.readAll());
    const qsizetype table = text.indexOf(QStringLiteral("| Character | Substitute |"));
    ASSERT_GE(table, 0);
    static const QRegularExpression codePoint(QStringLiteral(R"(\(U\+[0-9A-F]+\))"));
    int checked = 0;
    for (QString row : text.mid(table).split(u'\n').mid(2)) {
        if (!row.startsWith(u'|')) break;
        row.remove(codePoint);
        const QStringList cells = row.split(u'|', Qt::SkipEmptyParts);
        ASSERT_EQ(cells.size(), 2) << row.toStdString();
        QStringList from = cells[0].split(u' ', Qt::SkipEmptyParts);
        QStringList to = cells[1].split(u' ', Qt::SkipEmptyParts);
        if (cells[0].contains(u'(')) {  // "anything else (a b c …)": the examples, each to the one substitute
            from = cells[0].section(u'(', 1).section(u')', 0, 0).split(u' ', Qt::SkipEmptyParts);
            from.removeAll(QStringLiteral("…"));
            if (cells[1].contains(u'(')) {  // "that character (① → 1, Ⅰ → I)"
                to.clear();
                from.clear();
                for (const QString& pair : cells[1].section(u'(', 1).section(u')', 0, 0).split(QStringLiteral(", "))) {
                    from << pair.section(QStringLiteral(" → "), 0, 0);
                    to << pair.section(QStringLiteral(" → "), 1);
                }
            } else {
                to = QStringList(from.size(), to.value(0));
            }
        }
        ASSERT_EQ(from.size(), to.size()) << row.toStdString();
        for (qsizetype i = 0; i < from.size(); ++i, ++checked) {
            EXPECT_EQ(substituteOutsideJisX0208(from[i]), to[i]) << from[i].toStdString();
        }
    }
    EXPECT_GE(checked, 29);
}

TEST(DicomText, QueryValuesAreDecodedByTheirCharacterSet) {
    const struct {
        QByteArray bytes;
        const char* charset;
        const char* text;
    } cases[] = {
        {"YAMADA*", "", "YAMADA*"},
        {"=\x1b$B;3ED\x1b(B*", "\\ISO 2022 IR 87", "=山田*"},
        {"\x1b$B;3ED\x1b(B*", "ISO 2022 IR 6\\ISO 2022 IR 87", "山田*"},
        {"\xd4\xcf\xc0\xde*", "ISO_IR 13", "ﾔﾏﾀﾞ*"},
        {"\xe5\xb1\xb1\xe7\x94\xb0*", "ISO_IR 192", "山田*"},
        {"M\xfcller", "ISO_IR 100", "Müller"},
    };
    for (const auto& c : cases) {
        const auto decoded = decodeDicomText(c.bytes, QString::fromLatin1(c.charset));
        ASSERT_TRUE(decoded) << c.charset;
        EXPECT_EQ(*decoded, QString::fromUtf8(c.text)) << c.charset;
    }
    EXPECT_FALSE(decodeDicomText("\xe5\xb1\xb1", QString()));                        // no set for the bytes
    EXPECT_FALSE(decodeDicomText("\xe5\xb1\xb1", QStringLiteral("GB18030")));        // a set it does not read
    EXPECT_FALSE(decodeDicomText("\x1b$(D!!", QStringLiteral("\\ISO 2022 IR 87")));  // JIS X 0212
    EXPECT_FALSE(decodeDicomText("\x1b$B;", QStringLiteral("\\ISO 2022 IR 87")));    // half a character
    EXPECT_FALSE(decodeDicomText("\xff\xfe", QStringLiteral("ISO_IR 192")));
}

TEST(DicomText, StoredNamesBecomePersonNames) {
    const struct {
        const char* stored;
        const char* personName;
    } cases[] = {
        {"山田　太郎", "=山田^太郎"},   {" 山田 太郎 ", "=山田^太郎"}, {"山田太郎", "=山田太郎"},
        {"YAMADA TARO", "YAMADA^TARO"}, {"ﾔﾏﾀﾞ　ﾀﾛｳ", "ﾔﾏﾀﾞ^ﾀﾛｳ"},     {"ﾔﾏﾀﾞ 太郎", "=ﾔﾏﾀﾞ^太郎"},
        {"山田 太 郎", "=山田^太 郎"},  {"a^b=c\\d", "a^b c d"},       {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(personNameOf(QString::fromUtf8(c.stored)), QString::fromUtf8(c.personName));
}

}  // namespace
}  // namespace kesola::worklist
