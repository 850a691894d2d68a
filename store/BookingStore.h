#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "store/History.h"
#include "store/Schema.h"

namespace kesola {

class Database;
class RecordSet;

// The Jet statement that reads one day of one room: every row whose key starts with the 9-character day prefix
// (room, year, month, day; see ReservationKey.h), in CODE order. The board runs it twice a second, so it must stay
// the one indexed range read that the engine turns it into.
QString dayStatement(const QString& dayPrefix);

// The day's stored reservations of one room, in CODE order (the board's repaint, the registration's re-check).
// Throws DbError.
std::unique_ptr<RecordSet> readDay(Database& db, const QString& dayPrefix);

// One row of the reservation table KESOLA, as the reservation window reads and writes it, with the booking's patient
// ID from KANJYA ("" for none). The ward (BYOTO) is not part of it: the window always writes "N" and never reads it.
struct Booking {
    QString Min;
    QString KA;
    QString YNAME;
    QString BUI;
    QString SEX;
    QString AGE;
    QString JYOKYO;
    QString ETC;
    QString KANJYAID{};  // may be left out where a booking is written without one
    bool operator==(const Booking&) const = default;
    // The row of KESOLA alone.
    Booking withoutPatientId() const {
        Booking b = *this;
        b.KANJYAID.clear();
        return b;
    }
};

// The four filter keys of the export, each compared by LIKE with a piece of CODE: "*" matches any value.
struct ExportFilter {
    QString room = QStringLiteral("*");
    QString year = QStringLiteral("*");
    QString month = QStringLiteral("*");
    QString day = QStringLiteral("*");
};

// The export's statement in the Jet dialect, the keys quoted as literals (the layer binds them).
QString exportStatement(const ExportFilter& filter);

// The booking stored under the 13-character reservation key, or none. Its patient ID is the one saved with it: an ID
// row given to another booking under the same key (one an older workstation cancelled) is not read as its own.
// Requires: outside a transaction (it asks what the database keeps). Throws DbError.
std::optional<Booking> findBooking(Database& db, const QString& key);

// The same, for a caller that asked identityFormOf before its transaction began. Throws DbError.
std::optional<Booking> readBooking(Database& db, const QString& key, IdentityForm form);

// What a reservation window found under its key when it opened: the booking it loaded, or none for a free cell.
// The lock records no owner, so L on another board frees a live lock; a write therefore checks that the row is
// still what the window showed, or it would overwrite or delete another workstation's booking unseen.
using ShownBooking = std::optional<Booking>;

enum class StoreOutcome {
    Stored,
    // The row under the key is no longer what the window showed: another workstation booked, changed or
    // cancelled it meanwhile.
    ChangedMeanwhile,
    // Another booking of the room and day starts inside the new span (after its first cell).
    OverlapsLater,
    // An earlier booking's span reaches the first cell of the new one.
    SlotTaken,
};

// Stores the booking under the key in one transaction: a new row, or the row already under that key with every
// field replaced; its patient ID row in KANJYA is written, replaced or removed (for an empty ID) with it, whatever
// row was there before, and carries the booking's name as what it was given to. Where the database keeps studies,
// the booking keeps the Study Instance UID made for it, and a new booking under the key gets a new one. Inside the
// transaction the row under the key is compared with `shown` first (ChangedMeanwhile when it differs), then the day's
// stored bookings are checked, so that a booking made while the painted board was stale (the workstation lock forced
// free at the wrong moment) is still refused; then nothing is written. Only cells 0 to 77 are examined: a span may run
// past 19:50. Throws DbError; the transaction is then rolled back and nothing is written. When the connection is lost
// while the commit is being answered, the store is asked (waiting for it to come back for as long as a write may wait)
// whether the booking was stored: Stored when it was, DbError when it was not, and a DbError with
// commitOutcomeUnknown() when the store did not come back in time. A patient ID given to a database that keeps
// none (made before KANJYA; kesola-admin upgrade adds it) throws DbError and writes nothing.
// The history records the change as made by `actor` (by default this workstation and its user).
StoreOutcome storeBooking(Database& db, const QString& key, const Booking& booking, const ShownBooking& shown,
                          const std::optional<HistoryActor>& actor = std::nullopt);

enum class CancelOutcome {
    Cancelled,
    // No booking is stored under the key.
    NothingToCancel,
    // The booking stored under the key is not the one the window showed.
    ChangedMeanwhile,
};

// Deletes the booking, any patient ID row and its study under the key in one transaction, only when it is still
// exactly `shown`.
// Throws DbError; the transaction is then rolled back and nothing is deleted.
CancelOutcome deleteBooking(Database& db, const QString& key, const ShownBooking& shown);

}  // namespace kesola
