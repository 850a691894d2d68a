#pragma once

#include <QString>

namespace kesola {

class MessageService;

// Widths of stored names are counted in cp932 bytes: two for a double-byte character, one for the rest
// (ASCII, half-width katakana, and a character without a cp932 form, which would be written as "?"). A character
// that cp932 writes in the form of another (剝 as 剥, ¢ as ￠) counts the bytes of that form.
// Leading and trailing half-width blanks never count.

// Number of double-byte characters of the trimmed text; replaces text with its trimmed form.
int ZEN_COUNT(QString& text);
// Number of single-byte characters of the trimmed text; replaces text with its trimmed form.
int HAN_COUNT(QString& text);

// The width check before a write. Returns the trimmed text when it fits (width <= maximum). Otherwise shows
// "文字の入力数がオーバーしてます。" titled sysTitle + " - [ 予約操作 ]" and returns "NG" (mode other than 1) or
// the trimmed text cut to the maximum (mode 1). text is trimmed in place.
QString LEN_CHECK(int mode, int maximum, QString& text, MessageService& messages, const QString& sysTitle);

// The width check as every window runs it before a write (reporting mode): true when a copy of the typed text fits
// in maximum bytes; otherwise LEN_CHECK has shown its message. A text that is itself "NG" is told apart from the
// refusal, so it can be stored like any other.
bool fitsWidth(int maximum, const QString& typed, MessageService& messages, const QString& sysTitle);

// The check before a typed text is stored, after the checks of the width: true when cp932 can write every
// character of it, as the export file, the history file and the worklist hold it. Otherwise shows
// "「𠮷」は登録できない文字です。" naming the first character it cannot write (one that shows nothing, such as U+200B,
// by its code), titled title, and returns false.
bool isWritable(const QString& typed, MessageService& messages, const QString& title);

}  // namespace kesola
