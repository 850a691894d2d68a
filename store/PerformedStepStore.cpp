#include "store/PerformedStepStore.h"

#include <QDateTime>

#include "store/BookingStore.h"
#include "store/Schema.h"
#include "store/engine/Database.h"

namespace kesola {

namespace {

const QString kInProgress = QStringLiteral("1");
const QString kFinished = QStringLiteral("2");

}  // namespace

std::optional<PerformedStep> findPerformedStep(Database& db, const QString& instanceUid) {
    auto table = db.openTable(performedStepTable());
    if (!table->seek(instanceUid)) {
        table->close();
        return std::nullopt;
    }
    PerformedStep step{instanceUid,
                       table->field(QStringLiteral("CODE")),
                       table->field(QStringLiteral("KANJYAID")),
                       table->field(QStringLiteral("YNAME")),
                       table->field(QStringLiteral("STUDYUID")),
                       table->field(QStringLiteral("AE")),
                       table->field(QStringLiteral("JYOTAI")) == kFinished};
    table->close();
    return step;
}

StepStart startPerformedStep(Database& db, const PerformedStep& step, const HistoryActor& actor) {
    HistoryWriter history(db, actor);
    WriteTransaction transaction(db);
    auto table = db.openTable(performedStepTable());
    if (table->seek(step.instanceUid)) return StepStart::Duplicate;
    const auto booking = readBooking(db, step.code, IdentityForm::Recorded);
    if (!booking || booking->YNAME != step.name || booking->KANJYAID != step.patientId)
        return StepStart::BookingChanged;
    table->addNew();
    table->setField(QStringLiteral("UID"), step.instanceUid);
    table->setField(QStringLiteral("CODE"), step.code);
    table->setField(QStringLiteral("KANJYAID"), step.patientId);
    table->setField(QStringLiteral("YNAME"), step.name);
    table->setField(QStringLiteral("STUDYUID"), step.studyUid);
    table->setField(QStringLiteral("AE"), step.aeTitle);
    table->setField(QStringLiteral("JYOTAI"), kInProgress);
    table->setField(QStringLiteral("NICHIJI"),
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    table->update();
    table->close();
    const TableSchema& reservations = tableNamed(QStringLiteral("KESOLA"));
    history.record(history_actions::kExamStarted, reservations, step.code, history.rowUnder(reservations, step.code));
    transaction.commit();
    return StepStart::Started;
}

void finishPerformedStep(Database& db, const QString& instanceUid) {
    db.execute(QStringLiteral("UPDATE JISSHI SET JYOTAI = ? WHERE UID = ?"), {kFinished, instanceUid});
}

}  // namespace kesola
