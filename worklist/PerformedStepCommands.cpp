#include "worklist/PerformedStepCommands.h"

#include <dcmtk/dcmdata/dcdatset.h>

#include "store/ExamSteps.h"
#include "store/History.h"
#include "store/engine/DbError.h"

namespace kesola::worklist {

namespace {

const QString kServiceUser = QStringLiteral("kesola-worklist");

}  // namespace

StepReply PerformedStepCommands::refuse(Uint16 status, const QString& comment, const QString& why) {
    context_.logFailure(why);
    return {status, comment};
}

StepReply PerformedStepCommands::create(DcmDataset* dataset, const QString& instanceUid) {
    if (!dataset)
        return refuse(STATUS_N_MissingAttribute, QStringLiteral("no attribute list"),
                      QStringLiteral("MPPS N-CREATE に属性がありません"));
    if (stepStatusOf(*dataset) != StepStatus::InProgress) {
        return refuse(STATUS_N_InvalidAttributeValue, QStringLiteral("status must be IN PROGRESS"),
                      QStringLiteral("MPPS N-CREATE を断りました: 状態が IN PROGRESS ではありません"));
    }
    if (steps_.isKnown(instanceUid)) {
        return refuse(STATUS_N_DuplicateSOPInstance, QStringLiteral("duplicate SOP instance"),
                      QStringLiteral("MPPS N-CREATE を断りました: %1 はもうあります").arg(instanceUid));
    }
    const QStringList keys = scheduledStepKeysOf(*dataset);
    const HistoryActor actor{context_.calling, kServiceUser};
    try {
        for (const QString& key : keys) {
            if (recordExamStep(context_.store.database(), key, history_actions::kExamStarted, actor) !=
                ExamStepOutcome::Recorded) {
                continue;
            }
            steps_.add(instanceUid, key);
            done_ << QStringLiteral("検査開始 %1").arg(key);
            return {};
        }
    } catch (const DbError& e) {
        context_.store.drop();
        return refuse(STATUS_N_ProcessingFailure, QStringLiteral("worklist database unavailable"),
                      QStringLiteral("MPPS N-CREATE に失敗しました: データベースに書けません (%1)").arg(e.message()));
    }
    return refuse(STATUS_N_ProcessingFailure, QStringLiteral("no scheduled step with this accession number"),
                  QStringLiteral("MPPS N-CREATE を断りました: 予約が見つかりません (%1)")
                      .arg(keys.isEmpty() ? QStringLiteral("番号なし") : keys.join(u' ')));
}

StepReply PerformedStepCommands::set(DcmDataset* dataset, const QString& instanceUid) {
    const auto key = steps_.openStep(instanceUid);
    if (!key) {
        const bool known = steps_.isKnown(instanceUid);
        return refuse(
            known ? STATUS_N_ProcessingFailure : STATUS_N_NoSuchSOPInstance,
            known ? QStringLiteral("performed procedure step already finished")
                  : QStringLiteral("no such performed procedure step"),
            QStringLiteral("MPPS N-SET を断りました: %1 は%2")
                .arg(instanceUid, known ? QStringLiteral("もう終わっています") : QStringLiteral("知らない検査です")));
    }
    const StepStatus status = dataset ? stepStatusOf(*dataset) : StepStatus::Absent;
    if (status == StepStatus::Absent || status == StepStatus::InProgress) return {};
    if (status == StepStatus::Other) {
        return refuse(STATUS_N_InvalidAttributeValue, QStringLiteral("unknown performed procedure step status"),
                      QStringLiteral("MPPS N-SET を断りました: 知らない状態です"));
    }
    const HistoryActor actor{context_.calling, kServiceUser};
    try {
        const bool completed = status == StepStatus::Completed;
        Database& database = context_.store.database();
        const ExamStepOutcome outcome = completed
                                            ? completeExam(database, *key, actor)
                                            : recordExamStep(database, *key, history_actions::kExamDiscontinued, actor);
        if (outcome != ExamStepOutcome::Recorded) {
            return refuse(
                STATUS_N_ProcessingFailure, QStringLiteral("booking could not be updated"),
                QStringLiteral("MPPS N-SET に失敗しました: 予約 %1 は%2")
                    .arg(*key, outcome == ExamStepOutcome::NoSuchBooking ? QStringLiteral("取り消されています")
                                                                         : QStringLiteral("書き換えられませんでした")));
        }
        steps_.finish(instanceUid);
        done_ << (completed ? QStringLiteral("検査完了 %1") : QStringLiteral("検査中止 %1")).arg(*key);
        return {};
    } catch (const DbError& e) {
        context_.store.drop();
        return refuse(STATUS_N_ProcessingFailure, QStringLiteral("worklist database unavailable"),
                      QStringLiteral("MPPS N-SET に失敗しました: データベースに書けません (%1)").arg(e.message()));
    }
}

}  // namespace kesola::worklist
