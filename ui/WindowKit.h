#pragma once

#include <QComboBox>
#include <QWidget>
#include <initializer_list>

namespace kesola {

class Database;

// What the windows build the same way, once.

// The tab order: the focus moves from each widget of the list to the next.
void setTabChain(std::initializer_list<QWidget*> order);

// Fills the year (2001 to 2099), month (1 to 12) and day (1 to 31) selectors; with withAnyEntry each list begins
// with an empty entry that stands for any value. Nothing is chosen afterwards, and filling raises no selection.
void fillDateSelectors(QComboBox* year, QComboBox* month, QComboBox* day, bool withAnyEntry);

// Fills the room selector with the names of the room master in code order, each entry carrying its room's CODE
// (chosenRoomCode), after an empty entry ("any room") when withAnyEntry is set. Nothing is chosen afterwards. With no
// database only the empty entry is added. Throws DbError when the rooms cannot be read; the selector then holds only
// the empty entry, nothing chosen.
void fillRoomSelector(QComboBox* selector, Database* db, bool withAnyEntry);

// The CODE of the room chosen in a selector filled by fillRoomSelector: the room number of reservation keys. Empty
// when nothing or the "any room" entry is chosen.
QString chosenRoomCode(const QComboBox* selector);

}  // namespace kesola
