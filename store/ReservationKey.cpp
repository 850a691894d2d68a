#include "store/ReservationKey.h"

#include "store/Numbers.h"

namespace kesola {

QString dayKeyPrefix(const QString& roomCode, const QString& year, const QString& month, const QString& day) {
    return roomCode + year + twoDigits(month) + twoDigits(day);
}

QString reservationKey(const QString& roomCode, const QString& year, const QString& month, const QString& day,
                       const QString& hour, const QString& minute) {
    return dayKeyPrefix(roomCode, year, month, day) + twoDigits(hour) + twoDigits(minute);
}

std::optional<int> startCellOfKey(const QString& code) {
    if (code.size() < 11) return std::nullopt;
    const auto hour = toInt16(code.mid(9, 2));
    const auto minute = toInt16(code.right(2));
    if (!hour || !minute) return std::nullopt;
    return (*hour - kFirstHour) * kCellsPerHour + *minute / 10;
}

}  // namespace kesola
