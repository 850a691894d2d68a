#pragma once

#include <QDate>
#include <QSet>
#include <QString>
#include <functional>
#include <mutex>
#include <vector>

#include "store/WorklistStore.h"
#include "worklist/WorklistSettings.h"

namespace kesola::worklist {

// The bookings that have no patient ID yet. With without_id = skip they are not offered: the journal names each
// such booking once a day, the first time a scanner's query would have found it, so that IT can ask reception to
// complete it. Shared by every association.
class BookingsWithoutId {
  public:
    explicit BookingsWithoutId(const WorklistSettings& settings) : settings_(settings) {}

    // Removes the bookings without a patient ID (nothing with without_id = serve), and calls `journal` with one line
    // for each one not yet named today.
    void leaveOut(std::vector<ScheduledBooking>& bookings, QDate today,
                  const std::function<void(const QString&)>& journal);

  private:
    const WorklistSettings& settings_;
    std::mutex mutex_;
    QDate day_;
    QSet<QString> named_;
};

}  // namespace kesola::worklist
