#include "worklist/BookingsWithoutId.h"

#include <QSet>
#include <QStringList>
#include <algorithm>
#include <mutex>

namespace kesola::worklist {

namespace {

// The bookings already named today.
struct NamedToday {
    std::mutex mutex;
    QDate day;
    QSet<QString> codes;
};

NamedToday& namedToday() {
    static NamedToday named;
    return named;
}

}  // namespace

void leaveOutBookingsWithoutId(std::vector<ScheduledBooking>& bookings, const WorklistSettings& settings, QDate today,
                               const std::function<void(const QString&)>& journal) {
    if (settings.withoutId == WithoutPatientId::Serve) return;
    const auto without = [](const ScheduledBooking& s) { return s.patientId.isEmpty(); };
    QStringList toName;
    {
        NamedToday& named = namedToday();
        std::lock_guard lock(named.mutex);
        if (named.day != today) {
            named.day = today;
            named.codes.clear();
        }
        for (const ScheduledBooking& s : bookings) {
            if (without(s) && !named.codes.contains(s.code)) {
                named.codes.insert(s.code);
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
