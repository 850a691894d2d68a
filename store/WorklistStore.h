#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

#include "store/BookingStore.h"

namespace kesola {

class Database;

// A booking as the scanners' worklist offers it: the row and what it refers to, by name.
struct ScheduledBooking {
    QString code;  // the 13-character reservation key
    Booking booking;
    QString patientId;       // the booking's KANJYAID: "" when it has none
    QString departmentName;  // KA's KNAME, "" when the code has no department row
    QString bodyPartName;    // BU's BNAME, "" when the code has no body-part row
};

// The bookings of the given rooms from `from` to `to` (both included) that are not done yet (JYOKYO other than
// "2"), in key order. One index range of keys per room: the cost follows the rows of those days, never the size
// of the book. The patient ID, department and body part are joined in the same read. Requires: from <= to.
// Throws DbError.
std::vector<ScheduledBooking> readScheduledBookings(Database& db, const QStringList& roomCodes, QDate from, QDate to);

}  // namespace kesola
