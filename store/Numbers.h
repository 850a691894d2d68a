#pragma once

#include <QString>
#include <optional>

namespace kesola {

// Reads a text as a 16-bit whole number, as the system's stored digits are read: blanks around it and a sign
// are allowed; anything else, or a value outside -32768..32767, is not a number.
std::optional<int> toInt16(const QString& text);

// The number formatted with at least two digits ("4" -> "04"); a text that is not a number is returned as is.
QString twoDigits(const QString& text);
QString twoDigits(int value);

// Removes leading and trailing half-width blanks only, as the system's trimming does; a full-width blank stays.
QString trimBlanks(const QString& text);

}  // namespace kesola
