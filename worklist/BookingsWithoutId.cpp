#include "worklist/BookingsWithoutId.h"

#include <algorithm>

namespace kesola::worklist {

void BookingsWithoutId::leaveOut(std::vector<ScheduledBooking>& bookings, QDate today,
                                 const std::function<void(const QString&)>& journal) {
    if (settings_.withoutId == WithoutPatientId::Serve) return;
    const auto without = [](const ScheduledBooking& s) { return s.patientId.isEmpty(); };
    QStringList toName;
    {
        std::lock_guard lock(mutex_);
        if (day_ != today) {
            day_ = today;
            named_.clear();
        }
        for (const ScheduledBooking& s : bookings) {
            if (without(s) && !named_.contains(s.code)) {
                named_.insert(s.code);
                toName << s.code;
            }
        }
    }
    for (const QString& code : toName) {
        journal(QStringLiteral("予約 %1 は患者 ID がないため検査装置に出しません (without_id = skip)").arg(code));
    }
    bookings.erase(std::remove_if(bookings.begin(), bookings.end(), without), bookings.end());
}

}  // namespace kesola::worklist
