#include "search/SearchList.h"

#include <QLocale>
#include <QTreeWidgetItem>

#include "store/Numbers.h"
#include "store/ReservationKey.h"
#include "store/ReservationSearch.h"
#include "store/Texts.h"

namespace kesola {

namespace {

constexpr int kRoomCodeRole = Qt::UserRole;
constexpr int kDateRole = Qt::UserRole + 1;

QString dateText(QDate date) {
    return date.toString(QStringLiteral("yyyy/MM/dd")) + u'(' +
           QLocale(QLocale::Japanese).dayName(date.dayOfWeek(), QLocale::ShortFormat) + u')';
}

// The time `minutesAfterFirstCell` minutes after 7:00, as "9:30"; a span may end after 19:50.
QString timeText(int minutesAfterFirstCell) {
    const int minutes = kFirstHour * 60 + minutesAfterFirstCell;
    return QString::number(minutes / 60) + u':' + twoDigits(minutes % 60);
}

QString nameOf(const std::vector<MasterEntry>& list, const QString& code) {
    for (const MasterEntry& entry : list) {
        if (entry.code == code) return entry.name;
    }
    return code;
}

QString sexText(const QString& code) {
    if (code == QStringLiteral("1")) return texts::kMale;
    if (code == QStringLiteral("2")) return texts::kFemale;
    return code;
}

QString statusText(const QString& code) {
    if (code == QStringLiteral("1")) return texts::kNotYetDone;
    if (code == QStringLiteral("2")) return texts::kDone;
    return code;
}

QTreeWidgetItem* placedItem(QDate date, const QString& roomCode, const QStringList& columns) {
    auto* item = new QTreeWidgetItem(columns);
    item->setData(0, kRoomCodeRole, roomCode);
    item->setData(0, kDateRole, date);
    return item;
}

}  // namespace

QTreeWidgetItem* bookingItem(const FoundBooking& found, const MasterNames& names) {
    const Booking& b = found.booking;
    const int start = found.startCell * 10;
    const QString roomCode = roomCodeOfKey(found.code);
    return placedItem(found.date, roomCode,
                      {dateText(found.date), timeText(start), timeText(start + toInt16(b.Min).value_or(0)),
                       nameOf(names.rooms, roomCode), b.YNAME, b.AGE, sexText(b.SEX), nameOf(names.departments, b.KA),
                       nameOf(names.bodyParts, b.BUI), statusText(b.JYOKYO)});
}

QTreeWidgetItem* freeSlotItem(const FreeSlot& slot, int minutes, const MasterEntry& room) {
    const int start = slot.startCell * 10;
    return placedItem(slot.date, room.code,
                      {dateText(slot.date), timeText(start), timeText(start + minutes), room.name});
}

ResultPlace placeOf(const QTreeWidgetItem& item) {
    return {item.data(0, kRoomCodeRole).toString(), item.data(0, kDateRole).toDate()};
}

}  // namespace kesola
