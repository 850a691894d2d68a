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

}  // namespace

std::optional<QString> readSettingsFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.read(kMaxRead);
    return firstField(firstLine(bytes));
}

bool writeSettingsFile(const QString& path, const QString& location) {
    // A character without a Shift-JIS form would be written as "?" and name another file.
    const QByteArray line = Cp932::encode(location);
    if (Cp932::decode(line) != location) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(line + "\r\n");
    return file.commit();
}

}  // namespace kesola
