#include "store/SettingsFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

#include "store/Cp932.h"

namespace kesola {

namespace {

constexpr qint64 kMaxRead = 64 * 1024;

bool isAscii(const QByteArray& bytes) {
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<QString> validUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

// A line ends at LF, CR LF or a lone CR (files written on old Macintosh editors and some tools). Split by hand: a
// regular expression gives up on text that is not valid UTF-16 (a lone surrogate from a damaged UTF-16 file) and
// would leave the line ends inside the first line.
QStringList linesOf(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    lines.append(text.mid(start));
    return lines;
}

std::optional<QStringList> readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return linesOf(settingsFileText(file.read(kMaxRead)));
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

QString settingsFileText(const QByteArray& bytes) {
    static const QByteArray utf8Mark("\xEF\xBB\xBF");
    if (bytes.startsWith(utf8Mark)) return QString::fromUtf8(bytes.mid(utf8Mark.size()));
    if (bytes.startsWith("\xFF\xFE")) return QStringDecoder(QStringConverter::Utf16LE)(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF")) return QStringDecoder(QStringConverter::Utf16BE)(bytes.mid(2));
    if (!isAscii(bytes)) {
        if (auto text = validUtf8(bytes)) return *text;
    }
    return Cp932::decode(bytes);
}

std::optional<QString> readSettingsFile(const QString& path) {
    const auto lines = readLines(path);
    if (!lines) return std::nullopt;
    return firstField(lines->value(0));
}

bool settingsFileBinds(const QString& path) {
    const auto lines = readLines(path);
    return lines && lines->size() > 1 &&
           lines->at(1).trimmed().compare(QStringLiteral("enforce"), Qt::CaseInsensitive) == 0;
}

bool writeSettingsFile(const QString& path, const QString& location) {
    const QString field = settingsField(location);
    // A location the reader would not give back whole (a double quote inside a quoted field) names another file.
    if (firstField(field) != location) return false;
    // A character without a Shift-JIS form would be written as "?" and name another file.
    QByteArray line = Cp932::encode(field);
    if (Cp932::decode(line) != field) return false;
    // The rare Shift-JIS line that is also valid UTF-8 (half-width katakana such as ﾂｱ are C2 B1, which UTF-8
    // reads as ±) would be read back as another path: that one line goes out as UTF-8 with its byte-order mark.
    if (settingsFileText(line) != field) line = QByteArray("\xEF\xBB\xBF") + field.toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(line + "\r\n");
    return file.commit();
}

}  // namespace kesola
