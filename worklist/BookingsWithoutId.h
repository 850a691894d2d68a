#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <vector>

#include "store/WorklistStore.h"
#include "worklist/WorklistSettings.h"

namespace kesola::worklist {

// With without_id = skip, removes the bookings that have no patient ID from what a query found (nothing with
// serve), and calls `journal` with one line for each such booking the first time on a day that a scanner's query
// would have found it, so that IT can ask reception to complete it. The day's memory is the service's, shared by
// every association.
void leaveOutBookingsWithoutId(std::vector<ScheduledBooking>& bookings, const WorklistSettings& settings, QDate today,
                               const std::function<void(const QString&)>& journal);

}  // namespace kesola::worklist
