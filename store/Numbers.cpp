#include "store/Numbers.h"

namespace kesola {

std::optional<int> toInt16(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 12) return std::nullopt;
    bool ok = false;
    const int value = t.toInt(&ok);
    if (!ok || value < -32768 || value > 32767) return std::nullopt;
    return value;
}

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

QString twoDigits(const QString& text) {
    const auto value = toInt16(text);
    return value ? twoDigits(*value) : text;
}

QString trimBlanks(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ') ++start;
    while (end > start && text[end - 1] == u' ') --end;
    return text.mid(start, end - start);
}

}  // namespace kesola
