#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

namespace kesola::Cp932 {

// Code page 932 (Windows Shift-JIS) as Windows converts it: U+FF5E and U+301C both become 81 60, half-width
// katakana take one byte, the NEC and IBM extensions are kept. A character with no form at all becomes the
// one-byte substitute "?".
QByteArray encode(const QString& text);

// Decodes cp932 bytes; an invalid byte sequence becomes U+FFFD.
QString decode(const QByteArray& bytes);

// The number of bytes of the text's cp932 form.
int byteWidth(const QString& text);

// True when the character (one code point) takes two bytes in cp932.
bool isDoubleByte(char32_t codePoint);

// True when cp932 can write the character (one code point): as bytes of its own, or as those of the character
// whose form it shares (Cp932Forms.h). False for a character that would be written as the substitute "?": an
// emoji, 𠮷, a kanji that neither JIS X 0208 nor the NEC and IBM extensions hold, a lone surrogate.
bool hasForm(char32_t codePoint);

// The first character of the text that cp932 cannot write; none when it can write them all.
std::optional<char32_t> firstWithoutForm(QStringView text);

// One character as text. Unlike QString::fromUcs4, which takes a U+FEFF for a byte-order mark and drops it, every
// character is kept.
QString characterText(char32_t codePoint);

}  // namespace kesola::Cp932
