#include "worklist/PerformedStepCommands.h"

#include <dcmtk/dcmdata/dcdatset.h>

#include <QDate>

#include "store/engine/DbError.h"

namespace kesola::worklist {

StepReply PerformedStepCommands::refuse(Uint16 status, const QString& comment, const QString& why) {
    context_.logFailure(why);
    return {status, comment};
}

// What PerformedSteps made of the request, logged and counted; a store that fails refuses it, and is opened afresh
// for the next command.
template <typename Step>
StepReply PerformedStepCommands::answer(const char* request, Step step) {
    try {
        const StepAnswer answer = step(context_.store.database());
        if (!answer.journal.isEmpty()) context_.logFailure(answer.journal);
        if (!answer.done.isEmpty()) done_ << answer.done;
        return {answer.status, answer.comment};
    } catch (const DbError& e) {
        context_.store.drop();
        return refuse(STATUS_N_ProcessingFailure, QStringLiteral("worklist database unavailable"),
                      QStringLiteral("MPPS %1 に失敗しました: データベースに書けません (%2)")
                          .arg(QString::fromLatin1(request), e.message()));
    }
}

StepReply PerformedStepCommands::create(DcmDataset* dataset, const QString& instanceUid) {
    return answer("N-CREATE", [&](Database& db) {
        return steps_.create(db, dataset, instanceUid, context_.calling, QDate::currentDate());
    });
}

StepReply PerformedStepCommands::set(DcmDataset* dataset, const QString& instanceUid) {
    return answer("N-SET", [&](Database& db) { return steps_.set(db, dataset, instanceUid, context_.calling); });
}

}  // namespace kesola::worklist
