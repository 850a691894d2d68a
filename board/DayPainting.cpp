#include "board/DayPainting.h"

#include "board/MasterLookup.h"
#include "store/BookingStore.h"
#include "store/Numbers.h"
#include "store/engine/Database.h"
#include "store/engine/DbError.h"
#include "store/engine/Waits.h"

namespace kesola {

namespace {

bool inGrid(int cell) { return cell >= 0 && cell < kCellCount; }

QString captionOf(const RecordSet& row, std::optional<int> department, std::optional<int> bodyPart,
                  const MasterLookup& masters) {
    QString caption = row.field(QStringLiteral("YNAME")) + u'\r';
    if (department && MasterLookup::isCode(*department)) caption += masters.KA_NAME[*department] + u'\r';
    if (bodyPart && MasterLookup::isCode(*bodyPart)) caption += masters.BU_NAME[*bodyPart];
    return caption;
}

void paintRow(TimetableGrid& grid, const RecordSet& row, const MasterLookup& masters) {
    const auto department = toInt16(row.field(QStringLiteral("KA")));
    const auto bodyPart = toInt16(row.field(QStringLiteral("BUI")));
    const auto start = startCellOfKey(row.field(QStringLiteral("CODE")));
    if (!start) return;
    const int s = *start;
    if (inGrid(s)) grid[s].caption = captionOf(row, department, bodyPart, masters);

    const auto minutes = toInt16(row.field(QStringLiteral("Min")));
    const int cells = minutes ? *minutes / 10 : 0;
    QColor background = kDoneBackground;
    QColor text(0, 0, 0);
    if (row.field(QStringLiteral("JYOKYO")) == QStringLiteral("1")) {
        // An unknown department has no colours to paint with; its block is left as it is.
        if (!department || !MasterLookup::isCode(*department)) return;
        background = masters.background(*department);
        text = masters.text(*department);
    }
    for (int i = 0; i < cells; ++i) {
        if (inGrid(s + i)) grid[s + i].background = background;
    }
    if (inGrid(s)) grid[s].text = text;
}

}  // namespace

void paintReservations(TimetableGrid& grid, RecordSet& day, const MasterLookup& masters) {
    for (; !day.eof(); day.moveNext()) paintRow(grid, day, masters);
}

DayRead readDayGrid(Database& db, const QString& dayPrefix, const MasterLookup& masters) {
    DayRead read;
    try {
        // Another workstation's write holds the store for a moment: the repaint waits only briefly.
        const ScopedLockWait shortWait(db, waits::kRepaintMs);
        auto day = readDay(db, dayPrefix);
        paintReservations(read.grid, *day, masters);
        day->close();
    } catch (const DbError& e) {
        read.grid = TimetableGrid();
        read.busy = e.isBusy();
        read.failed = !e.isBusy();
    }
    return read;
}

}  // namespace kesola
