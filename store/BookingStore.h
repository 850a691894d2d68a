#pragma once

#include <QString>
#include <optional>

namespace kesola {

class Database;

// One row of the reservation table KESOLA, as the reservation window reads and writes it. The ward (BYOTO) is
// not part of it: the window always writes "N" and never reads it.
struct Booking {
    QString Min;
    QString KA;
    QString YNAME;
    QString BUI;
    QString SEX;
    QString AGE;
    QString JYOKYO;
    QString ETC;
    bool operator==(const Booking&) const = default;
};

// The booking stored under the 13-character reservation key, or none. Throws DbError.
std::optional<Booking> findBooking(Database& db, const QString& key);

enum class StoreOutcome {
    Stored,
    // Another booking of the room and day starts inside the new span (after its first cell).
    OverlapsLater,
    // An earlier booking's span reaches the first cell of the new one.
    SlotTaken,
};

// Stores the booking under the key in one transaction: a new row, or the row already under that key with every
// field replaced. Inside the transaction the day's stored bookings are checked first, so that a booking made
// while the painted board was stale (the workstation lock forced free at the wrong moment) is still refused;
// then nothing is written. Only cells 0 to 77 are examined: a span may run past 19:50.
// Throws DbError; the transaction is then rolled back and nothing is written.
StoreOutcome storeBooking(Database& db, const QString& key, const Booking& booking);

// Deletes the booking under the key; false when there is none. Throws DbError.
bool deleteBooking(Database& db, const QString& key);

}  // namespace kesola
