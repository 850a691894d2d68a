#include <gtest/gtest.h>

#include "store/Cp932.h"

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
        {QString(QChar(0x4FE0)), QByteArray("?")},         // 俠: no form, never another kanji's
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
