#pragma once

#include <QString>

namespace kesola {

// What the reservation window reads of the board while it is open over it: the room and date selectors and the
// captions of the timetable cells (the board's record of what is painted).
class BoardView {
  public:
    virtual ~BoardView() = default;
    // The chosen room's CODE ("1" to "9"), the room number of reservation keys; empty when none is chosen.
    virtual QString roomCode() const = 0;
    virtual QString roomText() const = 0;
    virtual QString yearText() const = 0;
    virtual QString monthText() const = 0;
    virtual QString dayText() const = 0;
    // The caption of cell 0..77 (lines separated by CR); empty for a cell outside the grid.
    virtual QString cellCaption(int cell) const = 0;
    // The board's caption, for message titles.
    virtual QString boardCaption() const = 0;
};

}  // namespace kesola
