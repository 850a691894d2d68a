#pragma once

#include <QDate>

namespace kesola {

// What a window opened over the board may choose on it: a room and a day, set in the board's selectors as a user
// would choose them, so that the board's next repaint shows that day.
class DayChooser {
  public:
    virtual ~DayChooser() = default;
    // roomIndex is the 0-based entry of the board's room selector.
    virtual void chooseDay(int roomIndex, QDate date) = 0;
};

}  // namespace kesola
