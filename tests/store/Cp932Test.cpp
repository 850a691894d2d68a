#include <gtest/gtest.h>

#include "store/Cp932.h"
#include "store/Cp932Forms.h"

using namespace kesola;

// Microsoft's table, as Windows' own conversion writes it; the same table holds on Linux and on Windows.
TEST(Cp932, EncodesAsWindowsDoes) {
    const struct {
        QString text;
        QByteArray bytes;
    } cases[] = {
        {QStringLiteral("A"), QByteArray("A")},
        {QStringLiteral("山田"), QByteArray("\x8E\x52\x93\x63")},
        {QStringLiteral("あ"), QByteArray("\x82\xA0")},
        {QStringLiteral("ｱ"), QByteArray("\xB1")},         // half-width katakana: one byte
        {QString(QChar(0xFF5E)), QByteArray("\x81\x60")},  // full-width tilde
        {QString(QChar(0x301C)), QByteArray("\x81\x60")},  // wave dash, one way
        {QStringLiteral("¥"), QByteArray("\x5C")},         // yen sign, one way
        {QString(QChar(0x2212)), QByteArray("\x81\x7C")},  // minus sign, one way
        {QString(QChar(0x4FE0)), QByteArray("\x8B\xA0")},  // 俠, the form of 2004, as 侠
        {QString(QChar(0x6805)), QByteArray("?")},         // 栅, a Chinese form: no form, never another kanji's
        {QString(QChar(0x0080)), QByteArray("\x80")},      // Microsoft's single bytes
        {QString(QChar(0xF8F0)), QByteArray("\xA0")},
        {QString(QChar(0xF8F3)), QByteArray("\xFF")},
        {QString(QChar(0xF86F)), QByteArray("?")},
        {QStringLiteral("①"), QByteArray("\x87\x40")},   // NEC extension
        {QStringLiteral("髙"), QByteArray("\xFB\xFC")},  // IBM extension
        {QStringLiteral("\x1a"), QByteArray("\x1a")},    // each control is its own byte
        {QStringLiteral("\x1c"), QByteArray("\x1c")},
        {QStringLiteral("\x7f"), QByteArray("\x7f")},
        {QStringLiteral("a\x1a\x1c\x7fあ"), QByteArray("a\x1a\x1c\x7f\x82\xa0")},
    };
    for (const auto& c : cases) EXPECT_EQ(Cp932::encode(c.text), c.bytes) << c.text.toStdString();
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

// The encoder writes ASCII as it is without asking the converter; decoding must agree, byte for byte, the three
// controls that ICU's table exchanges included.
TEST(Cp932, AsciiIsItsOwnFormBothWays) {
    for (int c = 0; c < 0x80; ++c) {
        const QByteArray byte(1, static_cast<char>(c));
        EXPECT_EQ(Cp932::decode(byte), QString(QChar(c))) << c;
        EXPECT_EQ(Cp932::encode(QString(QChar(c))), byte) << c;
    }
    EXPECT_EQ(Cp932::decode(QByteArray("\x1a\x1c\x7f\x82\xa0")), QStringLiteral("\x1a\x1c\x7fあ"));
}

TEST(Cp932, DecodesWhatItEncodes) {
    const QString text = QStringLiteral("ＭＲＩ室 ｶﾅ abc ～");
    EXPECT_EQ(Cp932::decode(Cp932::encode(text)), text);
    // The single bytes Windows reads as U+0080 and U+F8F0 to U+F8F3, alone and beside a double byte ending in 80.
    const QString singles = QString(QChar(0x80)) + QChar(0xF8F0) + QChar(0xF8F1) + QChar(0xF8F2) + QChar(0xF8F3);
    EXPECT_EQ(Cp932::decode(QByteArray("\x80\xa0\xfd\xfe\xff")), singles);
    EXPECT_EQ(Cp932::decode(QByteArray("\x81\x80\x80")), QStringLiteral("÷") + QChar(0x80));
}

// Every character that cp932 writes, found by reading every byte and byte pair: each is written as bytes that read
// back as itself, in as many bytes as it was read from, and the forms below never redirect one of them.
TEST(Cp932, EveryCharacterItWritesReadsBackAsItself) {
    int characters = 0;
    const auto check = [&characters](const QByteArray& bytes) {
        const QString c = Cp932::decode(bytes);
        if (c.size() != 1 || c[0] == QChar(0xFFFD)) return;
        ++characters;
        const char32_t code = c[0].unicode();
        EXPECT_EQ(Cp932::decode(Cp932::encode(c)), c) << bytes.toHex().toStdString();
        EXPECT_EQ(Cp932::isDoubleByte(code), bytes.size() == 2) << bytes.toHex().toStdString();
        EXPECT_EQ(Cp932::roundTripForm(code), code) << bytes.toHex().toStdString();
        EXPECT_TRUE(Cp932::hasForm(code)) << bytes.toHex().toStdString();
    };
    for (int b = 0; b < 0x100; ++b) {
        check(QByteArray(1, static_cast<char>(b)));
        for (int trail = 0x40; trail <= 0xFC && Cp932::isLeadByte(static_cast<unsigned char>(b)); ++trail) {
            check(QByteArray(1, static_cast<char>(b)) + static_cast<char>(trail));
        }
    }
    // ASCII, the half-width katakana and Microsoft's five single bytes; JIS X 0208 with the NEC and IBM extensions,
    // and the user-defined area F040-F9FC (U+E000-U+E757).
    EXPECT_EQ(characters, 128 + 63 + 5 + 7724 + 1880);
}

// The kanji that input methods offer in the forms of 2004, and the symbols that the JIS standard's table places
// elsewhere, are written as the form that Shift-JIS files have always held for them, and counted so.
TEST(Cp932, FormsOf2004AndJisSymbolsAreWrittenAsTheirCp932Form) {
    const struct {
        QString typed;
        QString written;
    } cases[] = {
        {QStringLiteral("網膜剝離"), QStringLiteral("網膜剥離")},
        {QStringLiteral("頰部"), QStringLiteral("頬部")},
        {QStringLiteral("𠮟責"), QStringLiteral("叱責")},
        {QStringLiteral("俠俱剝吞啞噓嚙囊塡姸屛屢幷搔摑攢潑瀆焰瘦禱簞繡繫萊蔣蟬蠟軀醬醱頰顚驒鷗鹼麴麵𠮟"),
         QStringLiteral("侠倶剥呑唖嘘噛嚢填妍屏屡并掻掴攅溌涜焔痩祷箪繍繋莱蒋蝉蝋躯醤醗頬顛騨鴎鹸麹麺叱")},
        {QStringLiteral("¢£¬¥¦‾"), QStringLiteral("￠￡￢\\￤~")},
        {QStringLiteral("〜−‖—"), QStringLiteral("～－∥―")},
    };
    for (const auto& c : cases) {
        const QByteArray bytes = Cp932::encode(c.typed);
        EXPECT_EQ(bytes, Cp932::encode(c.written)) << c.typed.toStdString();
        EXPECT_EQ(Cp932::decode(bytes), c.written) << c.typed.toStdString();
        EXPECT_FALSE(bytes.contains('?')) << c.typed.toStdString();
        EXPECT_EQ(Cp932::firstWithoutForm(c.typed), std::nullopt) << c.typed.toStdString();
    }
    // Each entry has no bytes of its own; its form is written as itself. A kanji's form lies in JIS X 0208's kanji
    // rows (lead bytes 88-9F, E0-EA), never in the NEC or IBM extensions.
    int kanji = 0;
    for (const Cp932::WrittenForm& f : Cp932::kWrittenForms) {
        const QString character = Cp932::characterText(f.character);
        const QString form = Cp932::characterText(f.form);
        EXPECT_EQ(Cp932::decode(Cp932::encode(form)), form) << form.toStdString();
        EXPECT_NE(Cp932::decode(Cp932::encode(character)), character) << character.toStdString();
        EXPECT_TRUE(Cp932::hasForm(f.character)) << character.toStdString();
        if (!QChar::isLetter(f.character)) continue;
        ++kanji;
        const auto lead = static_cast<unsigned char>(Cp932::encode(character).at(0));
        EXPECT_TRUE((lead >= 0x88 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA)) << character.toStdString();
    }
    EXPECT_EQ(kanji, 39);
}

// The characters of the Basic Multilingual Plane that cp932 writes: the 9402 of Microsoft's table as Windows'
// conversion writes them, and the 48 of the list of forms there.
TEST(Cp932, BothBuildsWriteTheSameCharacters) {
    int withForm = 0;
    for (char32_t c = 0; c < 0x10000; ++c) withForm += Cp932::hasForm(c) ? 1 : 0;
    EXPECT_EQ(withForm, 9402 + 48);
}

TEST(Cp932, FirstCharacterWithoutFormIsFound) {
    EXPECT_EQ(Cp932::firstWithoutForm(QStringLiteral("山田太郎 ?ｶﾅ①髙")), std::nullopt);
    EXPECT_EQ(Cp932::firstWithoutForm(QStringLiteral("吉田𠮷男😀")), std::optional<char32_t>(U'𠮷'));
    EXPECT_EQ(Cp932::firstWithoutForm(QStringLiteral("a\u200Bb")), std::optional<char32_t>(U'\u200B'));
    EXPECT_EQ(Cp932::firstWithoutForm(QString(QChar(0xD800)) + u'a'), std::optional<char32_t>(0xD800));
    EXPECT_FALSE(Cp932::hasForm(U'😀'));
    EXPECT_FALSE(Cp932::hasForm(0x110000));
}
