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

}  // namespace kesola
