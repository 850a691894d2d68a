#include "store/NameMatch.h"

namespace kesola {

namespace {

constexpr char16_t kFirstHiragana = 0x3041;
constexpr char16_t kLastHiragana = 0x3096;
constexpr char16_t kHiraganaIterationMarks = 0x309D;  // ゝ ゞ
constexpr char16_t kKatakanaOffset = 0x60;

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == 0x3000; }

// The half-width and full-width forms block: the only characters whose width the search folds.
bool isWidthForm(char16_t c) { return c >= 0xFF00 && c <= 0xFFEF; }

char16_t asKatakana(char16_t c) {
    if ((c >= kFirstHiragana && c <= kLastHiragana) || c == kHiraganaIterationMarks || c == kHiraganaIterationMarks + 1)
        return static_cast<char16_t>(c + kKatakanaOffset);
    return c;
}

}  // namespace

QString normalisedName(const QString& name) {
    // Most names hold no width form; the compatibility normalisation, which folds them (and joins a half-width
    // sound mark to its letter), is only paid for the few that do.
    bool needsWidthFold = false;
    for (QChar c : name) needsWidthFold = needsWidthFold || isWidthForm(c.unicode());
    const QString folded = needsWidthFold ? name.normalized(QString::NormalizationForm_KC) : name;
    QString out;
    out.reserve(folded.size());
    for (QChar c : folded) {
        if (!isSpace(c.unicode())) out += QChar(asKatakana(c.unicode()));
    }
    return out;
}

bool nameContains(const QString& storedName, const QString& normalisedText) {
    return normalisedName(storedName).contains(normalisedText);
}

}  // namespace kesola
