#pragma once

#include <QDate>
#include <QString>
#include <vector>

#include "store/MasterList.h"

class QTreeWidgetItem;

namespace kesola {

struct FoundBooking;
struct FreeSlot;

// The master names a result row shows instead of codes.
struct MasterNames {
    const std::vector<MasterEntry>& rooms;
    const std::vector<MasterEntry>& departments;
    const std::vector<MasterEntry>& bodyParts;
};

// A row of the result list: date with its weekday, start, end, room, name, age, sex, department, body part and
// status. A code without a master name shows as the code.
QTreeWidgetItem* bookingItem(const FoundBooking& found, const MasterNames& names);
// A free start: date, start, end and room; the rest empty.
QTreeWidgetItem* freeSlotItem(const FreeSlot& slot, int minutes, const MasterEntry& room);

// Where a result row lies: the room's code and the day.
struct ResultPlace {
    QString roomCode;
    QDate date;
};
ResultPlace placeOf(const QTreeWidgetItem& item);

}  // namespace kesola
