#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kesola::worklist {

// Text as DICOM carries it in the character sets the worklist speaks.

// The first character of the text that ISO 2022 IR 87 cannot carry: anything but ASCII and JIS X 0208 (the
// cp932 extensions such as 髙 and 﨑, half-width katakana, ①). None when every character fits.
std::optional<char32_t> firstOutsideJisX0208(const QString& text);

// The text in ISO 2022 IR 87 as a value of "\ISO 2022 IR 87": ASCII as itself, each run of JIS X 0208 after
// ESC $ B, and ESC ( B before every ASCII character that follows such a run and at the end of the value (so also
// before the delimiters ^ and =). Requires: no character outside JIS X 0208 (see firstOutsideJisX0208).
QByteArray encodeIso2022Ir87(const QString& text);

// True when the text holds half-width katakana (U+FF61 to U+FF9F).
bool holdsHalfWidthKatakana(const QString& text);

// The first character of the text that neither JIS X 0208 nor JIS X 0201 (ASCII and half-width katakana) holds.
std::optional<char32_t> firstOutsideJisX0201AndJisX0208(const QString& text);

// The text as a value of "ISO 2022 IR 13\ISO 2022 IR 87", as Japanese consoles take half-width katakana: the value
// starts in JIS X 0201 (its roman half, which is ASCII but for \ and ~, and its katakana as bytes A1 to DF), each run
// of JIS X 0208 after ESC $ B, and ESC ( J back to JIS X 0201 before every ASCII character that follows such a run and
// at the end. Requires: no character outside both sets (see firstOutsideJisX0201AndJisX0208).
QByteArray encodeIso2022Ir13Ir87(const QString& text);

// One replacement made by substituteOutsideJisX0208, for the log: "髙→高".
struct Substitution {
    QString from;
    QString to;
};

// The text with every character outside JIS X 0208 replaced by its usual substitute: the common variant forms of
// names (髙 → 高, 﨑 → 崎, 德 → 徳 ...), then the compatibility form (half-width katakana → full width), and 〓 for a
// character that has none. A run of half-width katakana is replaced as a whole, so that ﾀﾞ becomes ダ. The replacements
// made are appended to `made`. With `keepHalfWidthKatakana`, half-width katakana stay as they are (for an answer in
// ISO 2022 IR 13).
QString substituteOutsideJisX0208(const QString& text, std::vector<Substitution>* made = nullptr,
                                  bool keepHalfWidthKatakana = false);

// "髙→高, 﨑→崎" for a log line.
QString describeSubstitutions(const std::vector<Substitution>& made);

// A query value as the scanner sent it, decoded by its Specific Character Set (0008,0005): the default repertoire,
// ISO_IR 192, ISO_IR 100, ISO_IR 13 and the ISO 2022 forms of IR 6, IR 13 and IR 87. Pure ASCII is read as such
// whatever the set says. None for a set it does not know, for bytes the set cannot hold, or for a broken escape.
std::optional<QString> decodeDicomText(const QByteArray& bytes, const QString& specificCharacterSet);

// The stored name as a DICOM person name: trimmed, split into family^given at its first space (half or full width),
// with the characters that would break a person name (^ = \ and control characters) made spaces. A name of
// single-byte characters alone (ASCII and half-width katakana, JIS X 0201) goes into the alphabetic group, where
// PS3.5's Japanese example puts ﾔﾏﾀﾞ^ﾀﾛｳ and a console that shows no kanji reads it; any other into the
// ideographic group, after "=".
QString personNameOf(const QString& storedName);

}  // namespace kesola::worklist
