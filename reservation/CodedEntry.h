#pragma once

#include <QString>

class QComboBox;

namespace kesola {

// A selector entry that stands for a code: the visible name, exactly 20 half-width blanks, then the code. The
// code sits beyond the visible width of the selector and is read back from the end of the entry's text.
QString codedEntry(const QString& name, const QString& code);

// The last `length` characters of an entry: its code.
QString entryCode(const QString& entry, int length);

// Chooses, in list order, each entry whose last `length` characters equal code, so that the last match stays
// chosen. With no match the selector keeps no selection (empty text).
void selectByCode(QComboBox* selector, const QString& code, int length);

// Chooses each entry whose whole text equals text; no match leaves no selection.
void selectByText(QComboBox* selector, const QString& text);

// Keeps the codes of coded entries out of sight in the opened list as well, which may be wider than the
// selector: only the name part is drawn.
void hideEntryCodes(QComboBox* selector);

}  // namespace kesola
