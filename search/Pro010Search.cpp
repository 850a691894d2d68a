// The search window's two searches and the jump to the board.
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <algorithm>

#include "search/Pro010.h"
#include "search/SearchList.h"
#include "search/SearchTexts.h"
#include "store/Clock.h"
#include "store/DateCheck.h"
#include "store/NameMatch.h"
#include "store/ReservationKey.h"
#include "store/ReservationSearch.h"
#include "store/Texts.h"
#include "store/WorklistStore.h"
#include "store/engine/DbError.h"
#include "ui/WindowKit.h"

namespace kesola {

namespace {

using namespace search_texts;

constexpr int kLongestMinutes = 120;

void selectDate(QComboBox* year, QComboBox* month, QComboBox* day, QDate date) {
    year->setCurrentIndex(year->findText(QString::number(date.year())));
    month->setCurrentIndex(month->findText(QString::number(date.month())));
    day->setCurrentIndex(day->findText(QString::number(date.day())));
}

// The chosen date; an invalid date when a selector is empty or the day does not exist in the month.
QDate chosenDate(const QComboBox* year, const QComboBox* month, const QComboBox* day) {
    if (DATE_CHECK(year->currentText(), month->currentText(), day->currentText()) == QStringLiteral("NG")) return {};
    return QDate(year->currentText().toInt(), month->currentText().toInt(), day->currentText().toInt());
}

bool nothingChosen(std::initializer_list<const QComboBox*> selectors) {
    for (const QComboBox* s : selectors) {
        if (!s->currentText().isEmpty()) return false;
    }
    return true;
}

}  // namespace

int boardRoomIndex(const std::vector<MasterEntry>& rooms, const QString& roomCode) {
    for (int i = 0; i < static_cast<int>(rooms.size()); ++i) {
        if (rooms[i].code == roomCode) return i;
    }
    return -1;
}

void PRO010::fillSelectors() {
    fillDateSelectors(CMB[kFromYear], CMB[kFromMonth], CMB[kFromDay], false);
    fillDateSelectors(CMB[kToYear], CMB[kToMonth], CMB[kToDay], true);
    fillDateSelectors(CMB[kFirstYear], CMB[kFirstMonth], CMB[kFirstDay], false);
    const QDate today = ctx_.g.clock->today();
    selectDate(CMB[kFromYear], CMB[kFromMonth], CMB[kFromDay], today.addMonths(-1));
    // Free slots are looked for from the day the board shows, unless that day has passed.
    const QDate boardDate = board_.chosenDate();
    selectDate(CMB[kFirstYear], CMB[kFirstMonth], CMB[kFirstDay],
               boardDate.isValid() ? std::max(boardDate, today) : today);
    for (int minutes = 10; minutes <= kLongestMinutes; minutes += 10) {
        CMB[kDurationSelector]->addItem(QString::number(minutes));
    }
    CMB[kDurationSelector]->setCurrentIndex(-1);
}

void PRO010::readMasters() {
    try {
        Database& db = requireDatabase(ctx_.g);
        rooms_ = readMasterList(db, QStringLiteral("ROOM"), QStringLiteral("RNAME"));
        departments_ = readMasterList(db, QStringLiteral("KA"), QStringLiteral("KNAME"));
        bodyParts_ = readMasterList(db, QStringLiteral("BU"), QStringLiteral("BNAME"));
    } catch (const DbError& e) {
        // The window still opens; the searches say again what fails.
        reportFailure(e);
    }
    // Only a room the board lists can be shown there after a jump.
    boardRooms_ = board_.roomEntries();
    for (const MasterEntry& room : boardRooms_) CMB[kRoomSelector]->addItem(room.name);
    CMB[kRoomSelector]->setCurrentIndex(board_.chosenRoomIndex());
}

void PRO010::NAME_SEARCH() {
    const QString title = windowTitle();
    // A refused search leaves no answers to an earlier question on show.
    LST->clear();
    if (normalisedName(TXT->text()).isEmpty()) {
        ctx_.messages().notice(kEnterName, title);
        TXT->setFocus();
        return;
    }
    const QDate from = chosenDate(CMB[kFromYear], CMB[kFromMonth], CMB[kFromDay]);
    const bool openEnd = nothingChosen({CMB[kToYear], CMB[kToMonth], CMB[kToDay]});
    const QDate to = openEnd ? QDate(kLastYear, 12, 31) : chosenDate(CMB[kToYear], CMB[kToMonth], CMB[kToDay]);
    if (!from.isValid() || !to.isValid()) {
        ctx_.messages().notice(texts::kWrongDate, title);
        return;
    }
    if (from > to) {
        ctx_.messages().notice(kWrongPeriod, title);
        return;
    }
    try {
        const std::vector<FoundBooking> found = findPatientBookings(requireDatabase(ctx_.g), TXT->text(), from, to);
        if (found.empty()) {
            ctx_.messages().notice(kNothingFound, title);
            return;
        }
        showBookings(found);
    } catch (const DbError& e) {
        reportFailure(e);
    }
}

void PRO010::FREE_SEARCH() {
    static_assert(kFreeSlotSearchYears == 1, "the message of no free slot says how far the search looks");
    const QString title = windowTitle();
    LST->clear();
    const int room = CMB[kRoomSelector]->currentIndex();
    if (room < 0) {
        ctx_.messages().notice(texts::kChooseRoom, title);
        return;
    }
    if (CMB[kDurationSelector]->currentText().isEmpty()) {
        ctx_.messages().notice(kChooseDuration, title);
        return;
    }
    const QDate first = chosenDate(CMB[kFirstYear], CMB[kFirstMonth], CMB[kFirstDay]);
    if (!first.isValid()) {
        ctx_.messages().notice(texts::kWrongDate, title);
        return;
    }
    const QDate today = ctx_.g.clock->today();
    if (first < today) {
        ctx_.messages().notice(kPastDate, title);
        return;
    }
    const int minutes = CMB[kDurationSelector]->currentText().toInt();
    // Today's starts that have passed are no longer free to book.
    const QTime notBefore = first == today ? ctx_.g.clock->now() : QTime(0, 0);
    try {
        const auto found = findFreeSlots(requireDatabase(ctx_.g), boardRooms_[room].code, minutes, first, notBefore);
        if (found.empty()) {
            ctx_.messages().notice(kNoFreeSlot, title);
            return;
        }
        for (const FreeSlot& slot : found) {
            LST->addTopLevelItem(freeSlotItem(slot, minutes, boardRooms_[room]));
        }
        LST->setCurrentItem(LST->topLevelItem(0));
    } catch (const DbError& e) {
        reportFailure(e);
    }
}

void PRO010::NO_ID_SEARCH() {
    const QString title = windowTitle();
    LST->clear();
    const QDate day = chosenDate(CMB[kFirstYear], CMB[kFirstMonth], CMB[kFirstDay]);
    if (!day.isValid()) {
        ctx_.messages().notice(texts::kWrongDate, title);
        return;
    }
    QStringList roomCodes;
    for (const MasterEntry& room : rooms_) roomCodes << room.code;
    try {
        std::vector<FoundBooking> found;
        for (ScheduledBooking& s : readBookingsWithoutPatientId(requireDatabase(ctx_.g), roomCodes, day, day)) {
            found.push_back({s.code, day, startCellOfKey(s.code).value_or(0), std::move(s.booking)});
        }
        if (found.empty()) {
            ctx_.messages().notice(kEveryBookingHasId, title);
            return;
        }
        std::stable_sort(found.begin(), found.end(),
                         [](const FoundBooking& a, const FoundBooking& b) { return a.startCell < b.startCell; });
        showBookings(found);
    } catch (const DbError& e) {
        reportFailure(e);
    }
}

void PRO010::showBookings(const std::vector<FoundBooking>& found) {
    const MasterNames names{rooms_, departments_, bodyParts_};
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(found.size()));
    for (const FoundBooking& booking : found) items << bookingItem(booking, names);
    LST->addTopLevelItems(items);
    LST->setCurrentItem(LST->topLevelItem(0));
}

void PRO010::LST_Jump() {
    const QTreeWidgetItem* item = LST->currentItem();
    if (!item) return;
    const ResultPlace place = placeOf(*item);
    const int room = boardRoomIndex(boardRooms_, place.roomCode);
    if (room < 0) {
        ctx_.messages().notice(kRoomNotOnBoard, windowTitle());
        return;
    }
    if (!board_.chooseDay(room, place.date)) {
        ctx_.messages().notice(kDayNotOnBoard, windowTitle());
        return;
    }
    close();
}

void PRO010::reportFailure(const DbError& e) { ctx_.messages().reportDatabaseFailure(e, windowTitle()); }

}  // namespace kesola
