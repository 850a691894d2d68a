#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "store/BookingStore.h"

namespace kesola {

class Database;

// A booking as the scanners' worklist offers it: the row and what it refers to, by name.
struct ScheduledBooking {
    QString code;  // the 13-character reservation key
    Booking booking;
    QString patientId;       // the booking's own KANJYAID: "" when it has none (see findBooking)
    QString departmentName;  // KA's KNAME, "" when the code has no department row
    QString bodyPartName;    // BU's BNAME, "" when the code has no body-part row
    // The booking's Study Instance UID from KENSA; "" until keepStudyUids made it. A database that keeps no studies
    // (not yet upgraded) gets a UID derived from the key, the patient ID and the name instead.
    QString studyUid;
};

// The bookings of the given rooms from `from` to `to` (both included) that are not done yet (JYOKYO other than
// "2"), in key order. One index range of keys per room: the cost follows the rows of those days, never the size
// of the book. The patient ID, study, department and body part are joined in the same read. Requires: from <= to;
// outside a transaction. Throws DbError.
std::vector<ScheduledBooking> readScheduledBookings(Database& db, const QStringList& roomCodes, QDate from, QDate to);

// The booking under one key as readScheduledBookings reads it, done or not (JYOKYO tells); none when no booking is
// stored there. Requires: outside a transaction. Throws DbError.
std::optional<ScheduledBooking> readScheduledBooking(Database& db, const QString& key);

// Gives every booking without a study UID (the first time it is offered) one of its own, stored in KENSA in one
// transaction; one that another service stored meanwhile is taken instead. Requires: outside a transaction.
// Throws DbError; nothing is stored then.
void keepStudyUids(Database& db, std::vector<ScheduledBooking>& bookings);

// The bookings of the given rooms from `from` to `to` that are not done and have no patient ID of their own, in key
// order: what a receptionist still has to complete before the scanner can take them. Throws DbError.
std::vector<ScheduledBooking> readBookingsWithoutPatientId(Database& db, const QStringList& roomCodes, QDate from,
                                                           QDate to);

}  // namespace kesola
