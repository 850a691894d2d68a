#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace kesola {

// The settings file "KESOLA.INI": one line holding the database's location; the program writes it in cp932.

// The file's text as the tools IT and staff use on Windows save it: UTF-16 (little or big endian) or UTF-8 after
// a byte-order mark; without one, UTF-8 when the bytes are valid UTF-8 and not plain ASCII (Notepad's default
// since Windows 10), otherwise cp932. A Japanese path in cp932 is practically never valid UTF-8: its lead bytes
// 81-9F and E0-FC are followed by bytes that UTF-8 never lets follow them.
QString settingsFileText(const QByteArray& bytes);

// Reads the first field of the first line: leading blanks skipped, the text up to the first comma or the line's
// end, surrounding double quotes removed. No value when the file cannot be opened. At most the first 64 KiB are
// read.
std::optional<QString> readSettingsFile(const QString& path);

// True when the file's second line is "enforce" (any case, blanks around it ignored): IT's workstation file
// binds, and wins over the user's own. False when it cannot be read.
bool settingsFileBinds(const QString& path);

// Replaces the file with the location as one cp932 line ending in CR LF, in double quotes when it holds a comma or
// begins with a blank, so that the reader gives it back whole. A line whose cp932 bytes happen to be valid UTF-8,
// which the reader would take as UTF-8, is written in UTF-8 with a byte-order mark instead. Returns false when it could
// not be written completely, when the location holds a character that cp932 cannot write as itself, or when the reader
// could not give it back whole (a double quote inside it); the old file is then left as it was.
bool writeSettingsFile(const QString& path, const QString& location);

}  // namespace kesola
