#pragma once

#include <QString>
#include <optional>

namespace kesola {

// The timetable: 78 ten-minute cells from 7:00 to 19:50, 13 rows of 6.
inline constexpr int kCellCount = 78;
inline constexpr int kCellsPerHour = 6;
inline constexpr int kFirstHour = 7;

inline int cellHour(int cell) { return kFirstHour + cell / kCellsPerHour; }
inline int cellMinute(int cell) { return 10 * (cell % kCellsPerHour); }

// The 9-character prefix shared by every reservation of one room and day: room number, year, two-digit month,
// two-digit day. roomCode is the room's CODE in the room master ("1" to "9"), whatever place the room has in a
// selector: a room blanked in the room editor, or a gap in the codes, never moves another room's bookings.
QString dayKeyPrefix(const QString& roomCode, const QString& year, const QString& month, const QString& day);

// The 13-character reservation key: the day prefix, two-digit hour, two-digit minute.
QString reservationKey(const QString& roomCode, const QString& year, const QString& month, const QString& day,
                       const QString& hour, const QString& minute);

// The cell in which a stored key starts: (hour - 7) * 6 + minute / 10, from characters 10-11 and the last two
// characters. No value when those are not numbers. The result may lie outside 0..77.
std::optional<int> startCellOfKey(const QString& code);

}  // namespace kesola
