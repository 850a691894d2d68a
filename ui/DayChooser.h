#pragma once

#include <QDate>
#include <vector>

#include "store/MasterList.h"

namespace kesola {

// What a window opened over the board may read of the board's choice and choose on it: a room and a day, set in
// the board's selectors as a user would choose them, so that the board's next repaint shows that day.
class DayChooser {
  public:
    virtual ~DayChooser() = default;
    // roomIndex is the 0-based entry of the board's room selector. False, and the board unchanged, when the
    // selector has no such entry or the date selectors cannot show the date.
    virtual bool chooseDay(int roomIndex, QDate date) = 0;
    // The entries of the board's room selector in its order: each room's code and name.
    virtual std::vector<MasterEntry> roomEntries() const = 0;
    // The chosen room entry; -1 when none is chosen.
    virtual int chosenRoomIndex() const = 0;
    // The chosen date; invalid while a selector is empty or the date does not exist.
    virtual QDate chosenDate() const = 0;
};

}  // namespace kesola
