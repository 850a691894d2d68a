#pragma once

#include <QByteArray>
#include <QString>

// What both cp932 converters (Cp932Icu.cpp, Cp932Windows.cpp) share, so that the Linux and the Windows build write
// the same bytes.
namespace kesola::Cp932 {

// Characters that cp932 writes one way only, as the character whose form they share: the wave dash becomes the
// full-width tilde's 81 60, the yen sign the backslash's 5C. Windows' conversion without best fit writes "?" for
// them, and ICU's fallbacks also give kanji variants the bytes of other kanji; this short list is all either build
// writes one way. Any other character is its own form or the substitute.
constexpr char16_t roundTripForm(char16_t c) {
    switch (c) {
        case 0x00A5:
            return 0x005C;  // ¥ -> \ (5C)
        case 0x00A6:
            return 0xFFE4;  // ¦ -> ￤ (FA 55)
        case 0x2014:
            return 0x2015;  // — -> ― (81 5C)
        case 0x2016:
            return 0x2225;  // ‖ -> ∥ (81 61)
        case 0x203E:
            return 0x007E;  // ‾ -> ~ (7E)
        case 0x2212:
            return 0xFF0D;  // − -> － (81 7C)
        case 0x301C:
            return 0xFF5E;  // 〜 -> ～ (81 60)
        default:
            return c;
    }
}

// The character of a single byte that Windows writes for U+0080 and U+F8F0 to U+F8F3 (80, A0, FD, FE, FF), or 0
// for any other byte. Both builds read these bytes back as those characters themselves: ICU's table lacks them, and
// wine's reads them as U+FFFD.
constexpr char16_t singleByteCharacter(unsigned char b) {
    switch (b) {
        case 0x80:
            return 0x80;
        case 0xA0:
            return 0xF8F0;
        case 0xFD:
            return 0xF8F1;
        case 0xFE:
            return 0xF8F2;
        case 0xFF:
            return 0xF8F3;
        default:
            return 0;
    }
}

constexpr bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Decodes the bytes with decodeRun, reading the single bytes above wherever they stand alone (80 is also a trail
// byte, read by decodeRun inside its double byte).
template <typename DecodeRun>
QString decodeWithSingleBytes(const QByteArray& bytes, DecodeRun decodeRun) {
    QString out;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(b) && i + 1 < bytes.size()) {
            i += 2;
        } else if (const char16_t c = singleByteCharacter(b)) {
            out += decodeRun(bytes.mid(runStart, i - runStart));
            out += QChar(c);
            runStart = ++i;
        } else {
            ++i;
        }
    }
    return out + decodeRun(bytes.mid(runStart));
}

}  // namespace kesola::Cp932
