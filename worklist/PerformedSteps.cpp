#include "worklist/PerformedSteps.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcsequen.h>

namespace kesola::worklist {

namespace {

QString trimmedValue(DcmItem& item, const DcmTagKey& tag) {
    OFString value;
    if (item.findAndGetOFStringArray(tag, value).bad()) return {};
    return QString::fromLatin1(value.c_str(), static_cast<qsizetype>(value.size())).trimmed();
}

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

PerformedSteps::Add PerformedSteps::add(const QString& instanceUid, const QString& reservationKey) {
    std::lock_guard lock(mutex_);
    return steps_.try_emplace(instanceUid, Step{reservationKey}).second ? Add::Added : Add::Duplicate;
}

std::optional<QString> PerformedSteps::openStep(const QString& instanceUid) const {
    std::lock_guard lock(mutex_);
    const auto found = steps_.find(instanceUid);
    if (found == steps_.end() || found->second.finished) return std::nullopt;
    return found->second.key;
}

bool PerformedSteps::isKnown(const QString& instanceUid) const {
    std::lock_guard lock(mutex_);
    return steps_.count(instanceUid) > 0;
}

void PerformedSteps::finish(const QString& instanceUid) {
    std::lock_guard lock(mutex_);
    const auto found = steps_.find(instanceUid);
    if (found != steps_.end()) found->second.finished = true;
}

}  // namespace kesola::worklist
