#include "worklist/WorklistFind.h"

#include <dcmtk/dcmdata/dcdatset.h>

#include <QDate>
#include <algorithm>

#include "store/WorklistStore.h"
#include "store/engine/DbError.h"
#include "worklist/BookingsWithoutId.h"
#include "worklist/RegisteredName.h"
#include "worklist/WorklistAnswer.h"
#include "worklist/WorklistQuery.h"

namespace kesola::worklist {

namespace {

constexpr Uint16 kStatusDatabaseUnavailable = 0xC001;
// A long range is read from the store a month at a time, so that a year's query holds one month of bookings at
// once, never the year.
constexpr int kDaysReadAtOnce = 31;

QString dayText(QDate day) { return day.toString(QStringLiteral("yyyyMMdd")); }

}  // namespace

FindEnd findWorklistItems(DcmDataset& identifier, const AssociationContext& context,
                          const std::function<AnswerSent(DcmDataset& answer)>& send) {
    auto parsed = parseWorklistQuery(identifier);
    if (const auto* error = std::get_if<QString>(&parsed)) {
        context.logFailure(QStringLiteral("C-FIND を断りました: ") + *error);
        return {STATUS_FIND_Error_DataSetDoesNotMatchSOPClass, *error};
    }
    const WorklistQuery& query = std::get<WorklistQuery>(parsed);
    const StoreRead read = storeReadFor(query, context.settings, QDate::currentDate());
    if (read.cut) {
        context.logFailure(QStringLiteral("C-FIND の日付の範囲を %1 から %2 までの %3 日に縮めました")
                               .arg(dayText(read.from), dayText(read.to))
                               .arg(kLongestDateRange));
    }
    FindEnd end;
    for (QDate first = read.from; first <= read.to && !read.roomCodes.isEmpty() && !query.performingPhysicianNamed;
         first = first.addDays(kDaysReadAtOnce)) {
        const QDate last = std::min(read.to, first.addDays(kDaysReadAtOnce - 1));
        std::vector<ScheduledBooking> bookings;
        std::map<QString, RegisteredPatient> registered;
        try {
            bookings = readScheduledBookings(context.store.database(), read.roomCodes, first, last);
            leaveOutBookingsWithoutId(bookings, context.settings, QDate::currentDate(),
                                      [&context](const QString& line) { context.logFailure(line); });
            // A booking first offered gets its study UID now, kept for every later query and its examination.
            keepStudyUids(context.store.database(), bookings);
            registered = registeredPatientsOf(context.store.database(), bookings);
        } catch (const DbError& e) {
            context.store.drop();
            context.logFailure(QStringLiteral("C-FIND に失敗しました: データベースを読めません (%1)").arg(e.message()));
            return {kStatusDatabaseUnavailable, QStringLiteral("worklist database unavailable"), end.found};
        }
        for (const ScheduledBooking& booking : bookings) {
            const auto station = stationFor(booking.code.left(1), query, context.settings);
            if (!station || !matches(query, booking)) continue;
            const auto patient = registered.find(booking.patientId);
            const WorklistItem item = worklistItemOf(
                booking, *station, context.settings,
                patient == registered.end() ? std::nullopt : std::optional<RegisteredPatient>(patient->second));
            if (!item.outsideNote.isEmpty())
                context.logFailure(QStringLiteral("予約 %1: ").arg(booking.code) + item.outsideNote);
            const auto answer = answerTo(identifier, item);
            const AnswerSent sent = send(*answer);
            if (sent == AnswerSent::Broken) {
                end.broken = true;
                return end;
            }
            ++end.found;
            if (sent == AnswerSent::Cancelled) {
                end.status = STATUS_FIND_Cancel_MatchingTerminatedDueToCancelRequest;
                return end;
            }
        }
    }
    return end;
}

}  // namespace kesola::worklist
