#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <map>
#include <mutex>
#include <optional>

#include "store/PerformedStepStore.h"
#include "worklist/WorklistSettings.h"

class DcmDataset;

namespace kesola {
class Database;
}

namespace kesola::worklist {

// Performed Procedure Step Status (0040,0252) of an MPPS N-CREATE or N-SET.
enum class StepStatus { Absent, InProgress, Completed, Discontinued, Other };
StepStatus stepStatusOf(DcmDataset& dataset);

// The reservation keys an N-CREATE names in its Scheduled Step Attributes Sequence: each item's Accession Number
// and Scheduled Procedure Step ID, trimmed, without empty or repeated ones, in order.
QStringList scheduledStepKeysOf(DcmDataset& dataset);

// True when the Patient's Name a scanner sent (decoded, with its component groups) names the patient the worklist
// offered as offeredName: one of its groups is one of the offered groups (the romaji, the kanji or the kana of a
// registered patient; a console that shows no kanji sends the romaji alone), compared without trailing empty
// components and letter case, or is the kanji group as it went out with its characters outside JIS X 0208
// substituted.
bool nameNamesBooking(const QString& personName, const QString& offeredName);

// The answer to one MPPS request: its DIMSE status, the Error Comment for the scanner ("" for none), the journal's
// line ("" for none), and what was done for the association's closing line ("" for nothing).
struct StepAnswer {
    quint16 status = 0;
    QString comment;
    QString journal;
    QString done;
};

// The scanners' reports of their examinations (MPPS). A step is created only for a booking the service would offer
// the calling scanner: in its station's room, still to be done, dated today or within mpps_days of it, with a patient
// ID unless without_id = serve, and with the patient the N-CREATE names, if it names one. What identified the
// booking (key, patient ID, name, study UID) is kept in the database with the step (JISSHI); the N-SET is taken only
// while the booking under the key is still that one. A refusal writes nothing. A database not yet upgraded has no
// JISSHI: its steps are then kept in this service's memory, and a restart loses them.
class PerformedSteps {
  public:
    explicit PerformedSteps(const WorklistSettings& settings) : settings_(settings) {}

    // N-CREATE. Throws DbError when the store cannot be read or written; nothing is written then.
    StepAnswer create(Database& db, DcmDataset* dataset, const QString& instanceUid, const QString& callingAe,
                      QDate today) const;
    // N-SET. Throws DbError as create does.
    StepAnswer set(Database& db, DcmDataset* dataset, const QString& instanceUid, const QString& callingAe) const;

  private:
    std::optional<PerformedStep> find(Database& db, bool inDatabase, const QString& instanceUid) const;
    StepStart start(Database& db, bool inDatabase, const PerformedStep& step) const;
    void finish(Database& db, bool inDatabase, const QString& instanceUid) const;

    const WorklistSettings& settings_;
    mutable std::mutex mutex_;
    mutable std::map<QString, PerformedStep> inMemory_;
};

}  // namespace kesola::worklist
