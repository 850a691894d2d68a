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
}

TEST(Cp932, DecodesWhatItEncodes) {
    const QString text = QStringLiteral("ＭＲＩ室 ｶﾅ abc ～");
    EXPECT_EQ(Cp932::decode(Cp932::encode(text)), text);
}
