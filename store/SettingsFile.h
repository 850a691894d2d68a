#pragma once

#include <QString>
#include <optional>

namespace kesola {

// The settings file "KESOLA.INI": one cp932 line holding the database's location.

// Reads the first field of the first line: leading blanks skipped, the text up to the first comma or the line's
// end, surrounding double quotes removed. No value when the file cannot be opened. A UTF-8 byte-order mark marks
// a file saved as UTF-8 by an editor and is honoured. At most the first 64 KiB are read.
std::optional<QString> readSettingsFile(const QString& path);

// Replaces the file with the location as one cp932 line ending in CR LF, in double quotes when it holds a comma or
// begins with a blank, so that the reader gives it back whole. Returns false when it could not be written
// completely, when the location holds a character that cp932 cannot write as itself, or when the reader could not
// give it back whole (a double quote inside it); the old file is then left as it was.
bool writeSettingsFile(const QString& path, const QString& location);

}  // namespace kesola
