// The board's painting and its date and room selection.
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <utility>

#include "board/Pro001.h"
#include "store/BookingStore.h"
#include "store/DateCheck.h"
#include "store/Numbers.h"
#include "store/Texts.h"
#include "store/WorkstationLock.h"
#include "store/engine/Database.h"
#include "store/engine/Waits.h"
#include "ui/Controls.h"

namespace kesola {

namespace {

constexpr int kTicksBeforeUnreadable = 4;
constexpr qint64 kLookForStoreMs = 2000;

QString displayed(const QString& caption) {
    QString text = caption;
    text.replace(u'\r', u'\n');
    return text;
}

}  // namespace

void PRO001::TTBL_SET() {
    if (followStoreNamed(ctx_.g)) storeChanged();
    const QString prefix = selectedDayPrefix();
    if (!ctx_.g.DB || prefix.isEmpty()) {
        showDay(TimetableGrid(), prefix);
        if (!ctx_.g.DB) showUnreadable(true);
        return;
    }
    showRead(readDayGrid(*ctx_.g.DB, prefix, masters_), prefix);
}

QString PRO001::selectedDayPrefix() const {
    if (roomCode().isEmpty() || yearText().isEmpty() || monthText().isEmpty() || dayText().isEmpty() ||
        !DATE_CHECK(yearText(), monthText(), dayText()).isEmpty())
        return {};
    return dayKeyPrefix(roomCode(), yearText(), monthText(), dayText());
}

// The repaint of a tick runs on the connection's thread and is painted when it comes back; the board answers its
// user meanwhile, whatever the store does.
void PRO001::startRepaint() {
    const QString prefix = selectedDayPrefix();
    if (!ctx_.g.DB || prefix.isEmpty()) {
        showDay(TimetableGrid(), prefix);
        if (!ctx_.g.DB) showUnreadable(true);
        return;
    }
    repaintPending_ = true;
    ticksWaited_ = 0;
    auto read = std::make_shared<DayRead>();
    auto storeNamed = std::make_shared<bool>(true);
    ctx_.g.DB->runDetached(
        [read, storeNamed, prefix, masters = masters_](Database& db) {
            *storeNamed = db.stillTheStoreNamed();
            if (*storeNamed) *read = readDayGrid(db, prefix, masters);
        },
        this,
        [this, read, storeNamed, prefix] {
            repaintPending_ = false;
            if (*storeNamed) {
                showRead(*read, prefix);
                return;
            }
            // The file was deleted or replaced: the one now under the path is opened and read instead.
            const bool wasInTick = std::exchange(inTick_, true);
            if (followStoreNamed(ctx_.g)) storeChanged();
            startRepaint();
            inTick_ = wasInTick;
        });
}

void PRO001::showRead(const DayRead& read, const QString& prefix) {
    // A busy store leaves the cells of the last good read until a later tick gets through; a choice of room or day
    // made while the read was out makes its cells another day's.
    if (read.busy || prefix != selectedDayPrefix()) {
        keepCellsOfSelectedDay();
        return;
    }
    showDay(read.grid, prefix);
    showUnreadable(read.failed);
}

// A store that start-up could not open is looked for every two seconds, not at every tick: a server that is not
// there may keep each look waiting for its connection timeout, with the user's input queued meanwhile.
bool PRO001::timeToLookForStore() {
    if (!sinceLookedForStore_.isValid()) return true;
    if (sinceLookedForStore_.elapsed() < kLookForStoreMs) return false;
    sinceLookedForStore_.restart();
    return true;
}

void PRO001::showUnreadable(bool unreadable) {
    if (UNREADABLE->isVisibleTo(this) == unreadable) return;
    UNREADABLE->setVisible(unreadable);
    if (unreadable) UNREADABLE->raise();
}

void PRO001::showDay(const TimetableGrid& grid, const QString& prefix) {
    applyGrid(grid);
    shownDay_ = prefix;
}

// The painted cells are kept only while they are the selected room's and day's: a double-click is judged on them.
void PRO001::keepCellsOfSelectedDay() {
    if (shownDay_ == selectedDayPrefix()) return;
    applyGrid(TimetableGrid());
    shownDay_.clear();
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
    // A tick while the last one's read is still out (a store that stopped answering), or while a call of this
    // board waits (its local event loop runs the timer), starts nothing on the connection.
    if (inTick_ || repaintPending_) {
        keepCellsOfSelectedDay();
        // A read out for two seconds is a share or server that stopped answering: the grid is not the day.
        if (repaintPending_ && ++ticksWaited_ >= kTicksBeforeUnreadable) showUnreadable(true);
        return;
    }
    inTick_ = true;
    // A store that went away, or was not there at start-up, is looked for again; one still open is checked by the
    // read itself.
    if (!ctx_.g.DB && timeToLookForStore() && followStoreNamed(ctx_.g)) storeChanged();
    retryPendingRelease(ctx_.g, waits::kRepaintMs);
    startRepaint();
    inTick_ = false;
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
