#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <mutex>
#include <optional>

class DcmDataset;

namespace kesola::worklist {

// Performed Procedure Step Status (0040,0252) of an MPPS N-CREATE or N-SET.
enum class StepStatus { Absent, InProgress, Completed, Discontinued, Other };
StepStatus stepStatusOf(DcmDataset& dataset);

// The reservation keys an N-CREATE names in its Scheduled Step Attributes Sequence: each item's Accession Number
// and Scheduled Procedure Step ID, trimmed, without empty or repeated ones, in order.
QStringList scheduledStepKeysOf(DcmDataset& dataset);

// The performed steps the scanners have created, by SOP Instance UID, shared by every association: an N-SET names
// only the UID its N-CREATE gave.
class PerformedSteps {
  public:
    enum class Add { Added, Duplicate };
    Add add(const QString& instanceUid, const QString& reservationKey);
    // The reservation key of a step that may still be set; none for an unknown or finished one.
    std::optional<QString> openStep(const QString& instanceUid) const;
    bool isKnown(const QString& instanceUid) const;
    // A step that was completed or discontinued takes no further N-SET.
    void finish(const QString& instanceUid);

  private:
    struct Step {
        QString key;
        bool finished = false;
    };
    mutable std::mutex mutex_;
    std::map<QString, Step> steps_;
};

}  // namespace kesola::worklist
