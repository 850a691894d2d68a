#include "worklist/WorklistFind.h"

#include <dcmtk/dcmdata/dcdatset.h>

#include <QDate>

#include "store/WorklistStore.h"
#include "store/engine/DbError.h"
#include "worklist/WorklistAnswer.h"
#include "worklist/WorklistQuery.h"

namespace kesola::worklist {

namespace {

constexpr Uint16 kStatusDatabaseUnavailable = 0xC001;

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
    std::vector<ScheduledBooking> bookings;
    try {
        bookings = readScheduledBookings(context.store.database(), read.roomCodes, read.from, read.to);
    } catch (const DbError& e) {
        context.store.drop();
        context.logFailure(QStringLiteral("C-FIND に失敗しました: データベースを読めません (%1)").arg(e.message()));
        return {kStatusDatabaseUnavailable, QStringLiteral("worklist database unavailable")};
    }
    FindEnd end;
    for (const ScheduledBooking& booking : bookings) {
        const auto station = stationFor(booking.code.left(1), query, context.settings);
        if (!station || !matches(query, booking)) continue;
        const WorklistItem item = worklistItemOf(booking, *station, context.settings);
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
    return end;
}

}  // namespace kesola::worklist
