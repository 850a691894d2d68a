#include "store/ExamSteps.h"

#include "store/BookingStore.h"
#include "store/History.h"
#include "store/Schema.h"
#include "store/engine/Database.h"

namespace kesola {

namespace {

const QString kReservations = QStringLiteral("KESOLA");
const QString kDone = QStringLiteral("2");
// A workstation may change the booking between the read and the write; the read is then simply taken again.
constexpr int kCompletionTries = 3;

}  // namespace

ExamStepOutcome recordExamStep(Database& db, const QString& key, const QString& action, const HistoryActor& actor) {
    // Asked before the transaction: on the server a failed question (a table not there yet) ends the transaction.
    const IdentityForm form = identityFormOf(db);
    HistoryWriter history(db, actor);
    WriteTransaction transaction(db);
    if (!readBooking(db, key, form)) return ExamStepOutcome::NoSuchBooking;
    const TableSchema& reservations = tableNamed(kReservations);
    history.record(action, reservations, key, history.rowUnder(reservations, key));
    transaction.commit();
    return ExamStepOutcome::Recorded;
}

ExamStepOutcome completeExam(Database& db, const QString& key, const HistoryActor& actor,
                             const std::function<bool(const Booking&)>& stillThePatient) {
    for (int attempt = 0; attempt < kCompletionTries; ++attempt) {
        const std::optional<Booking> read = findBooking(db, key);
        if (!read) return ExamStepOutcome::NoSuchBooking;
        if (stillThePatient && !stillThePatient(*read)) return ExamStepOutcome::OtherPatient;
        Booking done = *read;
        done.JYOKYO = kDone;
        switch (storeBooking(db, key, done, read, actor)) {
            case StoreOutcome::Stored:
                return ExamStepOutcome::Recorded;
            case StoreOutcome::ChangedMeanwhile:
                continue;
            case StoreOutcome::OverlapsLater:
            case StoreOutcome::SlotTaken:
                return ExamStepOutcome::NotStored;
        }
    }
    return ExamStepOutcome::NotStored;
}

}  // namespace kesola
