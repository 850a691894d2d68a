#pragma once

#include <QString>

namespace kesola {

// The calendar check of the date selectors. Returns "NG" when the chosen day does not exist in the chosen month,
// otherwise the empty text. Empty selector texts mean "any value" (the export window offers them); with all three
// given it is the board's check. The leap rule is divisibility by 4, exact over the offered years 2001-2099.
QString DATE_CHECK(const QString& year, const QString& month, const QString& day);

}  // namespace kesola
