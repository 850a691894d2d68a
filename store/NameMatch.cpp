#include "store/NameMatch.h"

#include <QHash>

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

// Letters in one case, hiragana as katakana. Kana and ideographs have no case: the case table is asked only about
// the characters before them and the few blocks of letters after them.
char16_t foldedCharacter(char16_t c) {
    if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
    if (c < 0x3000 || (c >= 0xA640 && c < 0xA800)) return static_cast<char16_t>(QChar::toCaseFolded(c));
    return asKatakana(c);
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
        if (!isSpace(c.unicode())) out += QChar(foldedCharacter(c.unicode()));
    }
    return out;
}

namespace {

// Every character that normalises into another one: kana, the width forms, compatibility ideographs, and the
// letters that have a case (Latin, Greek, Cyrillic, Roman numerals). Only kana join a half-width sound mark.
struct SourceRange {
    char16_t first, last;
    bool takesSoundMarks;
};

QHash<char16_t, QStringList> buildStoredForms() {
    const SourceRange sources[] = {{0x3041, 0x309E, true},  {0xFF01, 0xFF5E, true},  {0xFF61, 0xFF9F, true},
                                   {0xF900, 0xFAFF, true},  {0x2F00, 0x2FDF, true},  {0x0041, 0x005A, false},
                                   {0x00C0, 0x024F, false}, {0x0370, 0x052F, false}, {0x1E00, 0x1FFF, false},
                                   {0x2100, 0x218F, false}, {0xA640, 0xA7FF, false}};
    const QString soundMarks[] = {QString(), QStringLiteral("\uFF9E"), QStringLiteral("\uFF9F")};
    QHash<char16_t, QStringList> forms;
    for (const auto& [first, last, takesSoundMarks] : sources) {
        for (char16_t c = first; c <= last; ++c) {
            const QString form(QChar{c});
            for (const QString& mark : soundMarks) {
                if (!mark.isEmpty() && !takesSoundMarks) continue;
                for (QChar into : normalisedName(form + mark)) {
                    QStringList& list = forms[into.unicode()];
                    if (into != QChar{c} && !list.contains(form)) list << form;
                }
            }
        }
    }
    return forms;
}

bool isLikeWildcard(QChar c) { return c == u'%' || c == u'_' || c == u'\\'; }

}  // namespace

QStringList storedFormsOf(QChar normalisedCharacter) {
    static const QHash<char16_t, QStringList> forms = buildStoredForms();
    if (isLikeWildcard(normalisedCharacter) || normalisedCharacter.isSurrogate()) return {};
    QStringList all{QString(normalisedCharacter)};
    all += forms.value(normalisedCharacter.unicode());
    // A form that is itself a wildcard cannot be looked for; the character then does not narrow the search.
    for (const QString& form : all) {
        if (isLikeWildcard(form.front())) return {};
    }
    return all;
}

QString halfWidthForm(const QString& text) {
    constexpr char16_t kFirstFullWidth = 0xFF01, kLastFullWidth = 0xFF5E, kFullWidthOffset = 0xFEE0;
    constexpr char16_t kIdeographicSpace = 0x3000;
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= kFirstFullWidth && u <= kLastFullWidth) c = QChar(static_cast<char16_t>(u - kFullWidthOffset));
        if (u == kIdeographicSpace) c = u' ';
    }
    return out;
}

QString normalisedPatientId(const QString& typed) {
    // Long-vowel marks (full and half width), hyphen, non-breaking hyphen, figure dash, en dash, minus sign.
    static const QString dashes = QStringLiteral("\u30FC\uFF70\u2010\u2011\u2012\u2013\u2212");
    QString id = halfWidthForm(typed.trimmed()).toUpper();
    for (QChar& c : id) {
        if (dashes.contains(c)) c = u'-';
    }
    return id;
}

bool nameContains(const QString& storedName, const QString& normalisedText) {
    return normalisedName(storedName).contains(normalisedText);
}

}  // namespace kesola
