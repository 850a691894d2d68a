#pragma once

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <array>

// What both cp932 converters (Cp932Icu.cpp, Cp932Windows.cpp) share, so that the Linux and the Windows build write
// the same bytes.
namespace kesola::Cp932 {

struct WrittenForm {
    char32_t character;
    char32_t form;  // the character whose bytes are written for it
};

// Characters that cp932 has no bytes of their own for, written as the character whose form they share. Windows'
// conversion without best fit writes "?" for every one of them; this one list gives both builds, and the
// worklist, the same answer. Ordered by character.
//  - The symbols that the JIS standard's own table and Microsoft's place differently: the wave dash is the
//    full-width tilde's 81 60, the yen sign the backslash's 5C, ¢ £ ¬ the full-width ￠ ￡ ￢.
//  - The kanji that JIS X 0213 holds in their printed standard forms (the forms of 2004, which input methods
//    offer today: 剝, 頰, 𠮟 ...), written in the JIS X 0208 form that a Shift-JIS file has always held for them
//    (剥, 頬, 叱 ...). Other variants (a Chinese form, a rare old form) are no Japanese form of a cp932 kanji:
//    they have no form, as in Windows.
inline constexpr std::array<WrittenForm, 49> kWrittenForms{{
    {U'\u00A2', U'\uFFE0'},  // ¢ -> ￠ (81 91)
    {U'\u00A3', U'\uFFE1'},  // £ -> ￡ (81 92)
    {U'\u00A5', U'\u005C'},  // ¥ -> \ (5C)
    {U'\u00A6', U'\uFFE4'},  // ¦ -> ￤ (FA 55)
    {U'\u00AC', U'\uFFE2'},  // ¬ -> ￢ (81 CA)
    {U'\u2014', U'\u2015'},  // — -> ― (81 5C)
    {U'\u2016', U'\u2225'},  // ‖ -> ∥ (81 61)
    {U'\u203E', U'\u007E'},  // ‾ -> ~ (7E)
    {U'\u2212', U'\uFF0D'},  // − -> － (81 7C)
    {U'\u301C', U'\uFF5E'},  // 〜 -> ～ (81 60)
    {U'俠', U'侠'},         {U'俱', U'倶'}, {U'剝', U'剥'}, {U'吞', U'呑'}, {U'啞', U'唖'}, {U'噓', U'嘘'},
    {U'嚙', U'噛'},         {U'囊', U'嚢'}, {U'塡', U'填'}, {U'姸', U'妍'}, {U'屛', U'屏'}, {U'屢', U'屡'},
    {U'幷', U'并'},         {U'搔', U'掻'}, {U'摑', U'掴'}, {U'攢', U'攅'}, {U'潑', U'溌'}, {U'瀆', U'涜'},
    {U'焰', U'焔'},         {U'瘦', U'痩'}, {U'禱', U'祷'}, {U'簞', U'箪'}, {U'繡', U'繍'}, {U'繫', U'繋'},
    {U'萊', U'莱'},         {U'蔣', U'蒋'}, {U'蟬', U'蝉'}, {U'蠟', U'蝋'}, {U'軀', U'躯'}, {U'醬', U'醤'},
    {U'醱', U'醗'},         {U'頰', U'頬'}, {U'顚', U'顛'}, {U'驒', U'騨'}, {U'鷗', U'鴎'}, {U'鹼', U'鹸'},
    {U'麴', U'麹'},         {U'麵', U'麺'}, {U'𠮟', U'叱'},
}};

static_assert(std::is_sorted(kWrittenForms.begin(), kWrittenForms.end(),
                             [](const WrittenForm& a, const WrittenForm& b) { return a.character < b.character; }));
static_assert(std::all_of(kWrittenForms.begin(), kWrittenForms.end(),
                          [](const WrittenForm& f) { return f.form <= 0xFFFF; }),
              "every form is one UTF-16 unit");

// The character whose cp932 bytes are written for c: c itself, or its form from the list above.
constexpr char32_t roundTripForm(char32_t c) {
    if (c < kWrittenForms.front().character) return c;
    const auto* found = std::lower_bound(kWrittenForms.begin(), kWrittenForms.end(), c,
                                         [](const WrittenForm& f, char32_t key) { return f.character < key; });
    return found != kWrittenForms.end() && found->character == c ? found->form : c;
}

// The text with each character replaced by roundTripForm; a character beyond the Basic Multilingual Plane with a
// form (𠮟) becomes one UTF-16 unit.
inline QString withRoundTripForms(const QString& text) {
    QString forms = text;
    QChar* out = forms.data();
    qsizetype written = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t c = QChar::surrogateToUcs4(unit, text[i + 1]);
            const char32_t form = roundTripForm(c);
            if (form != c) {
                out[written++] = QChar(static_cast<char16_t>(form));
            } else {
                out[written++] = unit;
                out[written++] = text[i + 1];
            }
            ++i;
        } else {
            out[written++] = QChar(static_cast<char16_t>(roundTripForm(unit.unicode())));
        }
    }
    forms.truncate(written);
    return forms;
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
