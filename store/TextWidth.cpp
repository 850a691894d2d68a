#include "store/TextWidth.h"

#include <QList>

#include "store/Cp932.h"
#include "store/MessageService.h"
#include "store/Numbers.h"
#include "store/Texts.h"

namespace kesola {

namespace {

template <typename Counted>
int countCharacters(QString& text, Counted counted) {
    text = trimBlanks(text);
    int count = 0;
    for (char32_t c : text.toUcs4()) {
        if (counted(Cp932::isDoubleByte(c))) ++count;
    }
    return count;
}

int width(QString text) { return ZEN_COUNT(text) * 2 + HAN_COUNT(text); }

QString truncateToWidth(const QString& trimmed, int maximum) {
    const QList<uint> rest = (trimmed + QString(maximum, u' ')).toUcs4();
    QString kept;
    for (int i = 0; i < maximum && i < rest.size(); ++i) {
        const char32_t c = rest[i];
        const QString candidate = kept + Cp932::characterText(c);
        if (width(candidate) > maximum) break;
        kept = candidate;
    }
    return kept;
}

// The character as the refusal names it: itself, or its code when it would show nothing (a mark, a space, a
// format or control character, a private-use or unassigned one).
QString shownCharacter(char32_t c) {
    switch (QChar::category(c)) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
        case QChar::Separator_Space:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
            return QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QChar(u'0')).toUpper();
        default:
            return Cp932::characterText(c);
    }
}

}  // namespace

int ZEN_COUNT(QString& text) {
    return countCharacters(text, [](bool doubleByte) { return doubleByte; });
}

int HAN_COUNT(QString& text) {
    return countCharacters(text, [](bool doubleByte) { return !doubleByte; });
}

QString LEN_CHECK(int mode, int maximum, QString& text, MessageService& messages, const QString& sysTitle) {
    const int w = ZEN_COUNT(text) * 2 + HAN_COUNT(text);
    if (w <= maximum) return text;
    messages.notice(texts::kTooWide, texts::caption(sysTitle, texts::kReservationOperation));
    if (mode == 1) return truncateToWidth(text, maximum);
    return QStringLiteral("NG");
}

bool fitsWidth(int maximum, const QString& typed, MessageService& messages, const QString& sysTitle) {
    // Measured apart from LEN_CHECK's answer: a name that is itself "NG" fits like any other.
    if (width(typed) <= maximum) return true;
    QString measured = typed;
    LEN_CHECK(2, maximum, measured, messages, sysTitle);
    return false;
}

bool isWritable(const QString& typed, MessageService& messages, const QString& title) {
    const std::optional<char32_t> unwritable = Cp932::firstWithoutForm(typed);
    if (!unwritable) return true;
    messages.notice(texts::unwritableCharacter(shownCharacter(*unwritable)), title);
    return false;
}

}  // namespace kesola
