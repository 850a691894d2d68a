#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>
#include <variant>

#include "store/WorklistStore.h"
#include "worklist/WorklistSettings.h"

class DcmDataset;

namespace kesola::worklist {

// The matching keys of one Modality Worklist C-FIND that the worklist serves. An empty text is universal matching;
// a text may hold the wildcards * and ? (single value matching otherwise).
struct WorklistQuery {
    // Scheduled Procedure Step Start Date: none when universal; an open end is an invalid QDate.
    std::optional<std::pair<QDate, QDate>> dates;
    // Scheduled Procedure Step Start Time: none when universal; each end as precise as the query gave it (an open
    // end is the start or the end of the day). Matched on every day by itself: no combined date-time matching.
    std::optional<std::pair<QTime, QTime>> times;
    // A Scheduled Performing Physician's Name other than a universal one (empty, or wildcards alone). The bookings
    // name no physician, so such a query matches nothing.
    bool performingPhysicianNamed = false;
    QString modality;
    QString stationAeTitle;
    QString patientName;  // decoded from the query's character set
    QString patientId;
    QString accessionNumber;
    QString stepId;  // Scheduled Procedure Step ID
};

// Reads the matching keys of a C-FIND identifier. A text naming what is wrong (in English, for the scanner's Error
// Comment) when a key cannot be read: a date that is not one, a name in a character set the worklist cannot read.
std::variant<WorklistQuery, QString> parseWorklistQuery(DcmDataset& identifier);

// The days and rooms the store is asked for. Universal date matching means every day, bounded to today and the
// kLongestDateRange - 1 days after it; an open range and a range longer than kLongestDateRange days are cut to
// kLongestDateRange days from their known end (`cut` then says so, for the log). An exact accession number or step
// ID without a date asks for that key's own day. No rooms when no station matches.
struct StoreRead {
    QStringList roomCodes;
    QDate from;
    QDate to;
    bool cut = false;
};
inline constexpr int kLongestDateRange = 366;
StoreRead storeReadFor(const WorklistQuery& query, const WorklistSettings& settings, QDate today);

// The station AE title a booking of the room is offered to under this query: the first station of the room whose AE
// title matches the query's, or none.
std::optional<QString> stationFor(const QString& roomCode, const WorklistQuery& query,
                                  const WorklistSettings& settings);

// True when the booking matches every key of the query (the station apart: see stationFor).
bool matches(const WorklistQuery& query, const ScheduledBooking& booking);

// DICOM wildcard matching: * any run of characters, ? any one character; the rest compared as it is.
bool wildcardMatch(const QString& pattern, const QString& value);

}  // namespace kesola::worklist
