#pragma once

#include <QString>
#include <optional>

#include "store/History.h"

namespace kesola {

class Database;

// A performed step a scanner created (MPPS N-CREATE), as JISSHI keeps it: what identified the booking when the
// scanner began, to be compared with the booking that holds the key when the scanner reports the end.
struct PerformedStep {
    QString instanceUid;  // the SOP Instance UID of the N-CREATE
    QString code;         // the booking's key
    QString patientId;
    QString name;  // the booking's YNAME
    QString studyUid;
    QString aeTitle;  // the scanner that created it
    bool finished = false;
    bool operator==(const PerformedStep&) const = default;
};

// The step created under the SOP Instance UID, or none. Throws DbError.
std::optional<PerformedStep> findPerformedStep(Database& db, const QString& instanceUid);

enum class StepStart {
    Started,
    // A step with that SOP Instance UID exists already.
    Duplicate,
    // The booking under the key is no longer the one the step was checked against (name or ID changed, cancelled).
    BookingChanged,
};

// Records the step and the history row "検査開始" of its booking in one write transaction, after checking inside it
// that the booking under the key still has the step's name and patient ID. Requires: outside a transaction; a
// database that keeps performed steps (IdentityForm::Recorded). Throws DbError; nothing is written then.
StepStart startPerformedStep(Database& db, const PerformedStep& step, const HistoryActor& actor);

// Marks the step finished (completed or discontinued): it takes no further N-SET. Throws DbError.
void finishPerformedStep(Database& db, const QString& instanceUid);

}  // namespace kesola
