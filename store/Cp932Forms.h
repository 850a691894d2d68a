#pragma once

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

}  // namespace kesola::Cp932
