// Slot selection and the board's commands: every command that writes runs under the workstation lock.
#include <QCloseEvent>
#include <QComboBox>

#include "board/BoardTexts.h"
#include "board/Pro001.h"
#include "masters/Pro003.h"
#include "reservation/Pro002.h"
#include "search/Pro010.h"
#include "store/DateCheck.h"
#include "store/Texts.h"
#include "store/WorkstationLock.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"
#include "store/engine/Waits.h"
#include "tools/Pro009.h"

namespace kesola {

using namespace board_texts;

void PRO001::TTBL_DblClick(int index) {
    Timer1.stop();
    TTBL_SET();
    const CellPaint& cell = grid_[index];
    const QString title = windowTitle();
    if (cell.caption.isEmpty() && cell.background != kFreeBackground) {
        ctx_.messages().notice(texts::kSlotTaken, title);
    } else if (roomText().isEmpty()) {
        ctx_.messages().notice(kChooseRoom, title);
    } else if (yearText().isEmpty()) {
        ctx_.messages().notice(kChooseYear, title);
    } else if (monthText().isEmpty()) {
        ctx_.messages().notice(kChooseMonth, title);
    } else if (dayText().isEmpty()) {
        ctx_.messages().notice(kChooseDay, title);
    } else if (DATE_CHECK(yearText(), monthText(), dayText()) == QStringLiteral("NG")) {
        ctx_.messages().notice(texts::kWrongDate, title);
    } else {
        ctx_.g.SEL_CELL = static_cast<std::int16_t>(index);
        underLock([this] { showFreshWindow<PRO002>(ctx_.modal, ctx_, *this, this); });
    }
    Timer1.start();
}

// ---------------------------------------------------------------------------------------------------------------
// Commands

void PRO001::underLock(const std::function<void()>& action) {
    // A command never starts on a file that is no longer the one the settings name.
    if (followStoreNamed(ctx_.g)) MST_READ();
    // This workstation's own lock, still held from a release that failed, would keep the command out as well.
    retryPendingRelease(ctx_.g, waits::kReleaseTryMs);
    if (LOCK_SET(ctx_.g, 1) == QStringLiteral("NG")) return;
    action();
    TTBL_SET();
    LOCK_SET(ctx_.g, 0);
}

void PRO001::BTN_Click(int index) {
    Timer1.stop();
    switch (index) {
        case kExit:
            if (ctx_.messages().confirm(kExitQuestion, windowTitle())) {
                close();
                return;
            }
            break;
        case kCsv:
            underLock([this] { showFreshWindow<PRO009>(ctx_.modal, ctx_, this); });
            break;
        case kMasters:
            underLock([this] {
                showFreshWindow<PRO003>(ctx_.modal, ctx_, this);
                MST_READ();
            });
            break;
        case kPrint:
            underLock([this] { printBoard(); });
            break;
        default:
            break;
    }
    Timer1.start();
}

void PRO001::SEARCH_OPEN() {
    Timer1.stop();
    showFreshWindow<PRO010>(ctx_.modal, ctx_, *this, this);
    TTBL_SET();
    Timer1.start();
}

bool PRO001::chooseDay(int roomIndex, QDate date) {
    const int year = CMB[1]->findText(QString::number(date.year()));
    if (roomIndex < 0 || roomIndex >= CMB[0]->count() || year < 0 || !date.isValid()) return false;
    // Each selection raises CMB_Click as the user's would. A day beyond 28 is left first, so that no step on the
    // way (the new year or month with the old day) is a date that does not exist and would be refused aloud.
    if (dayText().toInt() > 28) CMB[3]->setCurrentIndex(CMB[3]->findText(QStringLiteral("1")));
    CMB[0]->setCurrentIndex(roomIndex);
    CMB[1]->setCurrentIndex(year);
    CMB[2]->setCurrentIndex(CMB[2]->findText(QString::number(date.month())));
    CMB[3]->setCurrentIndex(CMB[3]->findText(QString::number(date.day())));
    return true;
}

std::vector<MasterEntry> PRO001::roomEntries() const {
    std::vector<MasterEntry> rooms;
    for (int i = 0; i < CMB[0]->count(); ++i) rooms.push_back({CMB[0]->itemData(i).toString(), CMB[0]->itemText(i)});
    return rooms;
}

int PRO001::chosenRoomIndex() const { return CMB[0]->currentIndex(); }

// An empty selector reads as 0, which no date has.
QDate PRO001::chosenDate() const { return QDate(yearText().toInt(), monthText().toInt(), dayText().toInt()); }

void PRO001::printBoard() {
    QString error;
    if (!ctx_.printer.printImage(grab().toImage(), &error)) ctx_.messages().notice(kPrintFailed, windowTitle());
}

void PRO001::Form_KeyPress(int& keyAscii) {
    if (keyAscii == 'L' || keyAscii == 'l') {
        Timer1.stop();
        LOCK_RESET();
        Timer1.start();
    }
    if (keyAscii == '\r') keyAscii = 0;
}

void PRO001::LOCK_RESET() {
    if (!ctx_.messages().confirm(texts::kLockResetQuestion, windowTitle())) return;
    try {
        releaseLock(ctx_.g);
    } catch (const DbError& e) {
        ctx_.messages().reportDatabaseFailure(e, ctx_.g.SYS_TITLE);
    }
}

void PRO001::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void PRO001::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Timer1.stop();
    // A lock left held would keep every other workstation out until someone presses L. The last tick's read may
    // still be out: a store that does not answer within a few seconds is left, and the lock with it.
    if (ctx_.g.DB && ctx_.g.DB->finishDetached(waits::kExitMs)) retryPendingRelease(ctx_.g, waits::kReleaseTryMs);
    ctx_.g.DB.reset();
}

}  // namespace kesola
