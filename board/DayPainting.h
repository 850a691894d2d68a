#pragma once

#include <QColor>
#include <QString>
#include <array>

#include "store/ReservationKey.h"

namespace kesola {

class Database;
class RecordSet;
struct MasterLookup;

// What one timetable cell shows. The captions and colours are the board's only record of what is painted:
// a coloured cell with an empty caption lies inside a booking, a caption marks where a booking starts.
inline const QColor kFreeBackground = QColor(255, 255, 255);

struct CellPaint {
    QString caption;  // lines separated by CR
    QColor background = kFreeBackground;
    QColor text = QColor(0, 0, 0);
    bool operator==(const CellPaint&) const = default;
};

using TimetableGrid = std::array<CellPaint, kCellCount>;

inline const QColor kDoneBackground = QColor(180, 180, 180);

// Paints every row of the day's reservations, in the record set's (CODE) order, onto the grid: the first cell
// gets name, department and body part; the block gets the department's colours, or grey once done. Rows and
// cells that cannot be painted (a key that is no time, a cell outside 7:00-19:50, a department or duration
// that is no number) are passed over piece by piece.
void paintReservations(TimetableGrid& grid, RecordSet& day, const MasterLookup& masters);

// One repaint's read of a day: the painted grid, or a cleared one when the read failed. `busy` is set when another
// workstation's write held the store past the repaint's short wait: those cells mean nothing.
struct DayRead {
    TimetableGrid grid;
    bool busy = false;
    // Set when the read failed otherwise (a share or server gone, a damaged file): the cleared grid is no day.
    bool failed = false;
};

// Reads the day under the 9-character prefix and paints it. Never throws; uses nothing but its arguments, so it
// may run on the connection's thread.
DayRead readDayGrid(Database& db, const QString& dayPrefix, const MasterLookup& masters);

}  // namespace kesola
