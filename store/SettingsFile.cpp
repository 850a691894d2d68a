#include "store/SettingsFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include "store/Cp932.h"

namespace kesola {

namespace {

constexpr qint64 kMaxRead = 64 * 1024;

QString firstLine(const QByteArray& bytes) {
    static const QByteArray bom("\xEF\xBB\xBF");
    const bool utf8 = bytes.startsWith(bom);
    const QString text = utf8 ? QString::fromUtf8(bytes.mid(bom.size())) : Cp932::decode(bytes);
    // A line ends at LF, CR LF or a lone CR (files written on old Macintosh editors and some tools).
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    return end < 0 ? text : text.left(end);
}

QString firstField(const QString& line) {
    qsizetype start = 0;
    while (start < line.size() && (line[start] == u' ' || line[start] == u'\t')) ++start;
    QString rest = line.mid(start);
    if (rest.startsWith(u'"')) {
        const qsizetype close = rest.indexOf(u'"', 1);
        return close < 0 ? rest.mid(1) : rest.mid(1, close - 1);
    }
    const qsizetype comma = rest.indexOf(u',');
    return comma < 0 ? rest : rest.left(comma);
}

// The reader stops at the first comma and skips leading blanks; a location holding either is written in quotes.
// Any other is written as it is, so a plain path stays the line every earlier version wrote.
QString settingsField(const QString& location) {
    const bool needsQuotes =
        location.contains(u',') || location.startsWith(u' ') || location.startsWith(u'\t') || location.startsWith(u'"');
    return needsQuotes ? u'"' + location + u'"' : location;
}

}  // namespace

std::optional<QString> readSettingsFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.read(kMaxRead);
    return firstField(firstLine(bytes));
}

bool writeSettingsFile(const QString& path, const QString& location) {
    const QString field = settingsField(location);
    // A location the reader would not give back whole (a double quote inside a quoted field) names another file.
    if (firstField(field) != location) return false;
    // A character without a Shift-JIS form would be written as "?" and name another file.
    const QByteArray line = Cp932::encode(field);
    if (Cp932::decode(line) != field) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(line + "\r\n");
    return file.commit();
}

}  // namespace kesola
