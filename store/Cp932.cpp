#include "store/Cp932.h"

// What does not depend on the converter; encode() and decode() come from Cp932Icu.cpp (Linux) or
// Cp932Windows.cpp (Windows' own conversion), one of which the build chooses.
namespace kesola::Cp932 {

int byteWidth(const QString& text) { return static_cast<int>(encode(text).size()); }

QString characterText(char32_t codePoint) { return QStringView(QChar::fromUcs4(codePoint)).toString(); }

bool isDoubleByte(char32_t codePoint) { return encode(characterText(codePoint)).size() > 1; }

}  // namespace kesola::Cp932
