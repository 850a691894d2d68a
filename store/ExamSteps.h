#pragma once

#include <QString>
#include <functional>

#include "store/History.h"

namespace kesola {

class Database;
struct Booking;

// What a scanner reports of an examination (its Modality Performed Procedure Step), written with the same rules
// as a workstation's writes.

enum class ExamStepOutcome {
    Recorded,
    // No booking is stored under the key (never booked, or cancelled since).
    NoSuchBooking,
    // The booking could not be set done: it changed under every try, or its stored day holds an overlap that the
    // registration rules refuse.
    NotStored,
    // The booking under the key is another patient's than the one the step was begun for.
    OtherPatient,
};

// The history names `actor` as the one who made the change (a scanner: its AE title and the service).

// Records a step that changes nothing but the history (the examination started, or was broken off): one history
// row naming the action, with the booking as it stands before and after, in one write transaction. Nothing is
// written when no booking is stored under the key. Throws DbError; nothing is written then.
ExamStepOutcome recordExamStep(Database& db, const QString& key, const QString& action, const HistoryActor& actor);

// Sets the booking done (JYOKYO "2") as the reservation window would: the booking is read, then stored with the
// new status in place of what was read, in one write transaction with its history row. With `stillThePatient`
// given, the booking read must pass it (OtherPatient otherwise); the write then happens only while the row is still
// the one read. Throws DbError; nothing is written then.
ExamStepOutcome completeExam(Database& db, const QString& key, const HistoryActor& actor,
                             const std::function<bool(const Booking&)>& stillThePatient = {});

}  // namespace kesola
