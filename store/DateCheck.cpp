#include "store/DateCheck.h"

#include "store/Numbers.h"

namespace kesola {

namespace {

const QString kNg = QStringLiteral("NG");

bool isThirtyDayMonth(int month) { return month == 4 || month == 6 || month == 9 || month == 11; }

}  // namespace

QString DATE_CHECK(const QString& year, const QString& month, const QString& day) {
    if (month.isEmpty() || day.isEmpty()) return {};
    const int m = toInt16(month).value_or(0);
    const int d = toInt16(day).value_or(0);
    if (isThirtyDayMonth(m)) return d > 30 ? kNg : QString();
    if (m != 2) return {};
    if (year.isEmpty()) return d > 29 ? kNg : QString();  // some year of the range is a leap year
    const bool leap = toInt16(year).value_or(1) % 4 == 0;
    return d > (leap ? 29 : 28) ? kNg : QString();
}

}  // namespace kesola
