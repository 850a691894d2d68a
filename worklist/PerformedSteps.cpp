#include "worklist/PerformedSteps.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmnet/dimse.h>

#include <optional>

#include "store/BookingStore.h"
#include "store/ExamSteps.h"
#include "store/PerformedStepStore.h"
#include "store/Schema.h"
#include "store/WorklistStore.h"
#include "worklist/DicomText.h"
#include "worklist/RegisteredName.h"

namespace kesola::worklist {

namespace {

const QString kServiceUser = QStringLiteral("kesola-worklist");
const QString kDone = QStringLiteral("2");

QByteArray rawValue(DcmItem& item, const DcmTagKey& tag) {
    OFString value;
    if (item.findAndGetOFStringArray(tag, value).bad()) return {};
    return QByteArray(value.c_str(), static_cast<qsizetype>(value.size()));
}

QString trimmedValue(DcmItem& item, const DcmTagKey& tag) { return QString::fromLatin1(rawValue(item, tag)).trimmed(); }

StepAnswer refused(quint16 status, const QString& comment, const QString& journal) {
    return {status, comment, journal, {}};
}

// A person name's group as compared: trailing empty components and blanks left out.
QString comparableGroup(QString group) {
    group = group.trimmed();
    while (group.endsWith(u'^')) group.chop(1);
    return group.trimmed();
}

// Why the booking is not one the service would offer the scanner for its examination; "" when it is.
struct Refusal {
    QString comment;  // for the scanner, ASCII
    QString reason;   // for the journal
};

}  // namespace

StepStatus stepStatusOf(DcmDataset& dataset) {
    if (!dataset.tagExists(DCM_PerformedProcedureStepStatus)) return StepStatus::Absent;
    const QString status = trimmedValue(dataset, DCM_PerformedProcedureStepStatus);
    if (status == QStringLiteral("IN PROGRESS")) return StepStatus::InProgress;
    if (status == QStringLiteral("COMPLETED")) return StepStatus::Completed;
    if (status == QStringLiteral("DISCONTINUED")) return StepStatus::Discontinued;
    return StepStatus::Other;
}

QStringList scheduledStepKeysOf(DcmDataset& dataset) {
    QStringList keys;
    DcmSequenceOfItems* sequence = nullptr;
    if (dataset.findAndGetSequence(DCM_ScheduledStepAttributesSequence, sequence).bad() || !sequence) return keys;
    for (unsigned long i = 0; i < sequence->card(); ++i) {
        DcmItem* item = sequence->getItem(i);
        for (const DcmTagKey& tag : {DCM_AccessionNumber, DCM_ScheduledProcedureStepID}) {
            const QString key = trimmedValue(*item, tag);
            if (!key.isEmpty() && !keys.contains(key)) keys << key;
        }
    }
    return keys;
}

bool nameNamesBooking(const QString& personName, const QString& offeredName) {
    QStringList offered;
    for (const QString& group : offeredName.split(u'=')) {
        offered << comparableGroup(group) << comparableGroup(substituteOutsideJisX0208(group));
    }
    offered.removeAll(QString());
    for (const QString& group : personName.split(u'=')) {
        if (offered.contains(comparableGroup(group), Qt::CaseInsensitive)) return true;
    }
    return false;
}

namespace {

// The checks of an N-CREATE against the booking it names, in order; the first that fails is the answer.
std::optional<Refusal> refusalOf(const ScheduledBooking& s, const QString& offeredName, DcmDataset& dataset,
                                 const WorklistSettings& settings, const QString& callingAe, QDate today) {
    if (settings.roomOfStation(callingAe) != s.code.left(1)) {
        return Refusal{QStringLiteral("step scheduled for another station"),
                       QStringLiteral("予約 %1 は %2 の検査室のものではありません").arg(s.code, callingAe)};
    }
    const QDate date = QDate::fromString(s.code.mid(1, 8), QStringLiteral("yyyyMMdd"));
    const qint64 days = date.isValid() ? today.daysTo(date) : kMaxMppsDays + 1;
    if (days < -settings.mppsDays || days > settings.mppsDays) {
        return Refusal{
            QStringLiteral("step not scheduled for today"),
            QStringLiteral("予約 %1 は今日 (mpps_days = %2) の予約ではありません").arg(s.code).arg(settings.mppsDays)};
    }
    if (s.booking.JYOKYO == kDone) {
        return Refusal{QStringLiteral("step already done"), QStringLiteral("予約 %1 はもう済です").arg(s.code)};
    }
    if (s.patientId.isEmpty() && settings.withoutId == WithoutPatientId::Skip) {
        return Refusal{QStringLiteral("step has no patient ID"),
                       QStringLiteral("予約 %1 には患者 ID がありません").arg(s.code)};
    }
    const QString sentId = trimmedValue(dataset, DCM_PatientID);
    if (!sentId.isEmpty() && sentId != s.patientId) {
        return Refusal{
            QStringLiteral("patient ID does not match the step"),
            QStringLiteral("患者 ID %1 は予約 %2 の患者 ID「%3」と違います").arg(sentId, s.code, s.patientId)};
    }
    const QByteArray sentName = rawValue(dataset, DCM_PatientName);
    if (!sentName.trimmed().isEmpty()) {
        const auto name = decodeDicomText(sentName, QString::fromLatin1(rawValue(dataset, DCM_SpecificCharacterSet)));
        if (!name || !nameNamesBooking(*name, offeredName)) {
            return Refusal{QStringLiteral("patient name does not match the step"),
                           QStringLiteral("患者名「%1」は予約 %2 の患者「%3」と違います")
                               .arg(name.value_or(QStringLiteral("(読めません)")), s.code, s.booking.YNAME)};
        }
    }
    return std::nullopt;
}

// Where the step and the booking under its key now differ; "" when they do not.
std::optional<Refusal> changeSince(const PerformedStep& step, const std::optional<ScheduledBooking>& now) {
    if (!now) {
        return Refusal{QStringLiteral("booking cancelled since the step began"),
                       QStringLiteral("予約 %1 は検査開始の後に取り消されました").arg(step.code)};
    }
    if (now->patientId != step.patientId) {
        return Refusal{QStringLiteral("patient ID changed since the step began"),
                       QStringLiteral("予約 %1 の患者 ID が検査開始の後に「%2」から「%3」に変わりました")
                           .arg(step.code, step.patientId, now->patientId)};
    }
    if (now->booking.YNAME != step.name) {
        return Refusal{QStringLiteral("patient changed since the step began"),
                       QStringLiteral("予約 %1 の患者が検査開始の後に「%2」から「%3」に変わりました")
                           .arg(step.code, step.name, now->booking.YNAME)};
    }
    if (now->studyUid != step.studyUid) {
        return Refusal{QStringLiteral("study changed since the step began"),
                       QStringLiteral("予約 %1 は検査開始の後に取り直されました (検査 UID が違います)").arg(step.code)};
    }
    return std::nullopt;
}

}  // namespace

std::optional<PerformedStep> PerformedSteps::find(Database& db, bool inDatabase, const QString& instanceUid) const {
    if (inDatabase) return findPerformedStep(db, instanceUid);
    std::lock_guard lock(mutex_);
    const auto found = inMemory_.find(instanceUid);
    if (found == inMemory_.end()) return std::nullopt;
    return found->second;
}

StepStart PerformedSteps::start(Database& db, bool inDatabase, const PerformedStep& step) const {
    const HistoryActor actor{step.aeTitle, kServiceUser};
    if (inDatabase) return startPerformedStep(db, step, actor);
    {
        std::lock_guard lock(mutex_);
        if (inMemory_.count(step.instanceUid) > 0) return StepStart::Duplicate;
    }
    if (recordExamStep(db, step.code, history_actions::kExamStarted, actor) != ExamStepOutcome::Recorded)
        return StepStart::BookingChanged;
    std::lock_guard lock(mutex_);
    return inMemory_.try_emplace(step.instanceUid, step).second ? StepStart::Started : StepStart::Duplicate;
}

void PerformedSteps::finish(Database& db, bool inDatabase, const QString& instanceUid) const {
    if (inDatabase) return finishPerformedStep(db, instanceUid);
    std::lock_guard lock(mutex_);
    const auto found = inMemory_.find(instanceUid);
    if (found != inMemory_.end()) found->second.finished = true;
}

StepAnswer PerformedSteps::create(Database& db, DcmDataset* dataset, const QString& instanceUid,
                                  const QString& callingAe, QDate today) const {
    if (!dataset) {
        return refused(STATUS_N_MissingAttribute, QStringLiteral("no attribute list"),
                       QStringLiteral("MPPS N-CREATE に属性がありません"));
    }
    if (stepStatusOf(*dataset) != StepStatus::InProgress) {
        return refused(STATUS_N_InvalidAttributeValue, QStringLiteral("status must be IN PROGRESS"),
                       QStringLiteral("MPPS N-CREATE を断りました: 状態が IN PROGRESS ではありません"));
    }
    const bool inDatabase = identityFormOf(db) == IdentityForm::Recorded;
    if (find(db, inDatabase, instanceUid)) {
        return refused(STATUS_N_DuplicateSOPInstance, QStringLiteral("duplicate SOP instance"),
                       QStringLiteral("MPPS N-CREATE を断りました: %1 はもうあります").arg(instanceUid));
    }
    const QStringList keys = scheduledStepKeysOf(*dataset);
    std::optional<ScheduledBooking> booking;
    for (const QString& key : keys) {
        if ((booking = readScheduledBooking(db, key))) break;
    }
    if (!booking) {
        return refused(STATUS_N_ProcessingFailure, QStringLiteral("no scheduled step with this accession number"),
                       QStringLiteral("MPPS N-CREATE を断りました: 予約が見つかりません (%1)")
                           .arg(keys.isEmpty() ? QStringLiteral("番号なし") : keys.join(u' ')));
    }
    const std::optional<RegisteredPatient> registered = registeredPatientOf(db, booking->patientId);
    const QString offeredName = offeredPersonName(booking->booking.YNAME, registered);
    if (const auto refusal = refusalOf(*booking, offeredName, *dataset, settings_, callingAe, today)) {
        return refused(STATUS_N_ProcessingFailure, refusal->comment,
                       QStringLiteral("MPPS N-CREATE を断りました: ") + refusal->reason);
    }
    if (const QString mismatch = birthDateMismatch(*dataset, registered); !mismatch.isEmpty()) {
        return refused(
            STATUS_N_ProcessingFailure, QStringLiteral("patient birth date does not match the step"),
            QStringLiteral("MPPS N-CREATE を断りました: 患者が違います (%1: %2)").arg(booking->code, mismatch));
    }
    std::vector<ScheduledBooking> one{*booking};
    keepStudyUids(db, one);
    const PerformedStep step{instanceUid,          booking->code, booking->patientId, booking->booking.YNAME,
                             one.front().studyUid, callingAe};
    switch (start(db, inDatabase, step)) {
        case StepStart::Started:
            return {STATUS_Success, {}, {}, QStringLiteral("検査開始 %1").arg(step.code)};
        case StepStart::Duplicate:
            return refused(STATUS_N_DuplicateSOPInstance, QStringLiteral("duplicate SOP instance"),
                           QStringLiteral("MPPS N-CREATE を断りました: %1 はもうあります").arg(instanceUid));
        case StepStart::BookingChanged:
            break;
    }
    return refused(STATUS_N_ProcessingFailure, QStringLiteral("booking changed meanwhile"),
                   QStringLiteral("MPPS N-CREATE を断りました: 予約 %1 が書き換えられました").arg(step.code));
}

StepAnswer PerformedSteps::set(Database& db, DcmDataset* dataset, const QString& instanceUid,
                               const QString& callingAe) const {
    const bool inDatabase = identityFormOf(db) == IdentityForm::Recorded;
    const auto step = find(db, inDatabase, instanceUid);
    if (!step) {
        return refused(STATUS_N_NoSuchSOPInstance, QStringLiteral("no such performed procedure step"),
                       QStringLiteral("MPPS N-SET を断りました: %1 は知らない検査です").arg(instanceUid));
    }
    if (step->finished) {
        return refused(STATUS_N_ProcessingFailure, QStringLiteral("performed procedure step already finished"),
                       QStringLiteral("MPPS N-SET を断りました: %1 はもう終わっています").arg(instanceUid));
    }
    const StepStatus status = dataset ? stepStatusOf(*dataset) : StepStatus::Absent;
    if (status == StepStatus::Absent || status == StepStatus::InProgress) return {STATUS_Success, {}, {}, {}};
    if (status == StepStatus::Other) {
        return refused(STATUS_N_InvalidAttributeValue, QStringLiteral("unknown performed procedure step status"),
                       QStringLiteral("MPPS N-SET を断りました: 知らない状態です"));
    }
    if (const auto refusal = changeSince(*step, readScheduledBooking(db, step->code))) {
        return refused(STATUS_N_ProcessingFailure, refusal->comment,
                       QStringLiteral("MPPS N-SET を断りました: ") + refusal->reason);
    }
    const HistoryActor actor{callingAe, kServiceUser};
    const bool completed = status == StepStatus::Completed;
    const auto samePatient = [&step](const Booking& b) {
        return b.YNAME == step->name && b.KANJYAID == step->patientId;
    };
    const ExamStepOutcome outcome = completed
                                        ? completeExam(db, step->code, actor, samePatient)
                                        : recordExamStep(db, step->code, history_actions::kExamDiscontinued, actor);
    if (outcome != ExamStepOutcome::Recorded) {
        return refused(
            STATUS_N_ProcessingFailure, QStringLiteral("booking could not be updated"),
            QStringLiteral("MPPS N-SET に失敗しました: 予約 %1 は%2")
                .arg(step->code, outcome == ExamStepOutcome::NoSuchBooking ? QStringLiteral("取り消されています")
                                 : outcome == ExamStepOutcome::OtherPatient
                                     ? QStringLiteral("ほかの患者の予約になりました")
                                     : QStringLiteral("書き換えられませんでした")));
    }
    finish(db, inDatabase, instanceUid);
    return {STATUS_Success,
            {},
            {},
            (completed ? QStringLiteral("検査完了 %1") : QStringLiteral("検査中止 %1")).arg(step->code)};
}

}  // namespace kesola::worklist
