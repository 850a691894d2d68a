#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <vector>

#include "store/BookingStore.h"

namespace kesola {

class Database;

// The reservation key's first character is the room's code ("1" to "9").
QString roomCodeOfKey(const QString& code);

// One stored booking the patient search found.
struct FoundBooking {
    QString code;  // the 13-character reservation key
    QDate date;
    int startCell = 0;
    Booking booking;
};

// Every booking from `from` to `to` (both included) whose name contains the typed text, compared in the
// normalised form of NameMatch.h, or whose patient ID is the typed text in any width and letter case
// (normalisedPatientId), or (a text of kana alone) whose patient's kana name in the register contains it; in order of
// date, start time and room.
// Requires: a typed text that is not empty once normalised. Throws DbError.
std::vector<FoundBooking> findPatientBookings(Database& db, const QString& typedName, QDate from, QDate to);

// A start at which a room is free for the whole duration.
struct FreeSlot {
    QDate date;
    int startCell = 0;
    bool operator==(const FreeSlot&) const = default;
};

// The starts of one day at which `cells` ten-minute cells are free and the span ends by 20:00, earliest first.
// occupied[i] is true for each cell 0..77 a booking covers.
std::vector<int> freeStartsOfDay(const std::vector<bool>& occupied, int cells);

// How far the free-slot search looks ahead: from its first date to the same date a year later, both included.
inline constexpr int kFreeSlotSearchYears = 1;

// The first `wanted` starts (or more: the last day's are all listed) from firstDate on at which the room is free
// for the whole duration and done by 20:00, none on firstDate before notBefore; fewer when the days up to
// kFreeSlotSearchYears after firstDate hold no more. Requires: minutes a multiple of 10 from 10 to 120. Throws
// DbError.
std::vector<FreeSlot> findFreeSlots(Database& db, const QString& roomCode, int minutes, QDate firstDate,
                                    QTime notBefore = QTime(0, 0), int wanted = 10);

// The first cell that starts at `time` or later; kCellCount when the last start of the day (19:50) has passed.
int firstCellNotBefore(QTime time);

}  // namespace kesola
