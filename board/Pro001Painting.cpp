// The board's painting and its date and room selection.
#include <QComboBox>
#include <QLabel>
#include <QLocale>

#include "board/Pro001.h"
#include "store/BookingStore.h"
#include "store/DateCheck.h"
#include "store/Numbers.h"
#include "store/Texts.h"
#include "store/WorkstationLock.h"
#include "store/engine/DbError.h"
#include "store/engine/Waits.h"
#include "ui/Controls.h"

namespace kesola {

namespace {

QString displayed(const QString& caption) {
    QString text = caption;
    text.replace(u'\r', u'\n');
    return text;
}

}  // namespace

void PRO001::TTBL_SET() {
    if (followStoreNamed(ctx_.g)) MST_READ();
    TimetableGrid grid;
    if (ctx_.g.DB && !roomCode().isEmpty() && !yearText().isEmpty() && !monthText().isEmpty() && !dayText().isEmpty() &&
        DATE_CHECK(yearText(), monthText(), dayText()).isEmpty()) {
        const QString prefix = dayKeyPrefix(roomCode(), yearText(), monthText(), dayText());
        try {
            // Another workstation's write holds the store for a moment: the board waits only briefly and shows
            // the day it last read until a later tick gets through. Any other failure clears the cells.
            const ScopedLockWait shortWait(*ctx_.g.DB, waits::kRepaintMs);
            auto day = readDay(*ctx_.g.DB, prefix);
            paintReservations(grid, *day, masters_);
            day->close();
        } catch (const DbError& e) {
            if (e.isBusy()) return;
            grid = TimetableGrid();
        }
    }
    applyGrid(grid);
}

// Only cells whose paint changed are touched: most ticks change nothing, and an idle board should cost nothing.
void PRO001::applyGrid(const TimetableGrid& grid) {
    for (int i = 0; i < kCellCount; ++i) {
        if (grid[i] == grid_[i] && TTBL[i]->autoFillBackground()) continue;
        if (grid[i].caption != grid_[i].caption) TTBL[i]->setText(displayed(grid[i].caption));
        setColours(TTBL[i], grid[i].background, grid[i].text);
        grid_[i] = grid[i];
    }
}

void PRO001::Timer1_Timer() {
    TTBL_SET();
    retryPendingRelease(ctx_.g, waits::kRepaintMs);
}

void PRO001::CMB_Click(int /*index*/) {
    if (yearText().isEmpty() || monthText().isEmpty() || dayText().isEmpty()) {
        YOUBI->clear();
        YOUBI->adjustSize();
        return;
    }
    const QDate date = QDate::fromString(yearText() + u'/' + twoDigits(monthText()) + u'/' + twoDigits(dayText()),
                                         QStringLiteral("yyyy/MM/dd"));
    YOUBI->setText(date.isValid() ? QLocale(QLocale::Japanese).dayName(date.dayOfWeek(), QLocale::LongFormat)
                                  : QString());
    YOUBI->adjustSize();
    if (DATE_CHECK(yearText(), monthText(), dayText()) == QStringLiteral("NG")) {
        ctx_.messages().notice(texts::kWrongDate, windowTitle());
    }
}

}  // namespace kesola
