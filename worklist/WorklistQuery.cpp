#include "worklist/WorklistQuery.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>

#include <QByteArray>
#include <QRegularExpression>
#include <algorithm>

#include "worklist/DicomText.h"

namespace kesola::worklist {

namespace {

const QString kModality = QStringLiteral("MR");

QByteArray rawValue(DcmItem& item, const DcmTagKey& tag) {
    OFString value;
    if (item.findAndGetOFStringArray(tag, value).bad()) return {};
    return QByteArray(value.c_str(), static_cast<qsizetype>(value.size()));
}

QString asciiValue(DcmItem& item, const DcmTagKey& tag) { return QString::fromLatin1(rawValue(item, tag)).trimmed(); }

bool isUniversal(const QString& key) { return key.isEmpty() || key == QStringLiteral("*"); }

bool hasWildcard(const QString& key) { return key.contains(u'*') || key.contains(u'?'); }

std::optional<QDate> dateOf(const QString& text) {
    if (text.size() != 8) return std::nullopt;
    const QDate date = QDate::fromString(text, QStringLiteral("yyyyMMdd"));
    if (!date.isValid()) return std::nullopt;
    return date;
}

// "YYYYMMDD", "YYYYMMDD-YYYYMMDD", "-YYYYMMDD" or "YYYYMMDD-"; none for anything else.
std::optional<std::pair<QDate, QDate>> dateRangeOf(const QString& text) {
    const qsizetype dash = text.indexOf(u'-');
    if (dash < 0) {
        const auto day = dateOf(text);
        if (!day) return std::nullopt;
        return std::pair{*day, *day};
    }
    const QString first = text.left(dash);
    const QString last = text.mid(dash + 1);
    if (first.isEmpty() && last.isEmpty()) return std::nullopt;
    const auto from = first.isEmpty() ? std::optional<QDate>(QDate()) : dateOf(first);
    const auto to = last.isEmpty() ? std::optional<QDate>(QDate()) : dateOf(last);
    if (!from || !to) return std::nullopt;
    if (from->isValid() && to->isValid() && *from > *to) return std::nullopt;
    return std::pair{*from, *to};
}

// One end of a TM range: "HH", "HHMM", "HHMMSS" or "HHMMSS.F" to "HHMMSS.FFFFFF", filled up to the start of what
// it leaves out (`upper`: to its end, so that "12" as an upper end takes 12:59:59.999). None for anything else.
std::optional<QTime> timeOf(const QString& text, bool upper) {
    static const QRegularExpression tm(QStringLiteral(R"(^(\d\d)(\d\d)?(\d\d)?(?:\.(\d{1,6}))?$)"));
    const auto match = tm.match(text);
    if (!match.hasMatch() || (match.hasCaptured(4) && !match.hasCaptured(3))) return std::nullopt;
    const auto part = [&](int i, int missing) { return match.hasCaptured(i) ? match.captured(i).toInt() : missing; };
    const int milliseconds =
        match.hasCaptured(4) ? match.captured(4).leftJustified(3, u'0').left(3).toInt() : (upper ? 999 : 0);
    const QTime time(part(1, 0), part(2, upper ? 59 : 0), part(3, upper ? 59 : 0), milliseconds);
    if (!time.isValid()) return std::nullopt;
    return time;
}

// "T", "T1-T2", "-T2" or "T1-": a single time takes everything its precision leaves open.
std::optional<std::pair<QTime, QTime>> timeRangeOf(const QString& text) {
    const qsizetype dash = text.indexOf(u'-');
    const QString first = dash < 0 ? text : text.left(dash);
    const QString last = dash < 0 ? text : text.mid(dash + 1);
    if (first.isEmpty() && last.isEmpty()) return std::nullopt;
    const auto from = first.isEmpty() ? std::optional<QTime>(QTime(0, 0)) : timeOf(first, false);
    const auto to = last.isEmpty() ? std::optional<QTime>(QTime(23, 59, 59, 999)) : timeOf(last, true);
    if (!from || !to || *from > *to) return std::nullopt;
    return std::pair{*from, *to};
}

// A person name of wildcards and delimiters alone asks for any name, as an empty one does.
bool isUniversalName(const QByteArray& name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return c == '*' || c == '^' || c == '=' || c == ' '; });
}

// The person name as matched: the first group that holds anything, spaces as component delimiters, trailing
// empty components dropped, compatibility forms and letter case folded.
QString nameForMatching(const QString& personName) {
    QString name;
    for (const QString& group : personName.split(u'=')) {
        if (!group.isEmpty()) {
            name = group;
            break;
        }
    }
    name.replace(QChar(0x3000), u'^').replace(u' ', u'^');
    while (name.endsWith(u'^')) name.chop(1);
    return name.normalized(QString::NormalizationForm_KC).toUpper();
}

bool keyMatches(const QString& key, const QString& value) {
    if (isUniversal(key)) return true;
    return hasWildcard(key) ? wildcardMatch(key, value) : key == value.trimmed();
}

// Whether an exact key names a reservation key: 13 digits.
std::optional<QString> exactReservationKey(const QString& key) {
    if (key.size() != 13 || hasWildcard(key)) return std::nullopt;
    for (QChar c : key) {
        if (!c.isDigit()) return std::nullopt;
    }
    return key;
}

}  // namespace

bool wildcardMatch(const QString& pattern, const QString& value) {
    // Iterative matching with one backtrack point: linear in practice, never exponential on hostile patterns.
    qsizetype p = 0, v = 0, starP = -1, starV = 0;
    while (v < value.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == value[v])) {
            ++p;
            ++v;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starV = v;
        } else if (starP >= 0) {
            p = starP + 1;
            v = ++starV;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

std::variant<WorklistQuery, QString> parseWorklistQuery(DcmDataset& identifier) {
    WorklistQuery query;
    const QString charset = asciiValue(identifier, DCM_SpecificCharacterSet);
    const auto name = decodeDicomText(rawValue(identifier, DCM_PatientName), charset);
    if (!name) return QStringLiteral("Patient's Name not readable in Specific Character Set '%1'").arg(charset);
    query.patientName = name->trimmed();
    query.patientId = asciiValue(identifier, DCM_PatientID);
    query.accessionNumber = asciiValue(identifier, DCM_AccessionNumber);
    DcmItem* step = nullptr;
    if (identifier.findAndGetSequenceItem(DCM_ScheduledProcedureStepSequence, step, 0).good() && step) {
        query.modality = asciiValue(*step, DCM_Modality);
        query.stationAeTitle = asciiValue(*step, DCM_ScheduledStationAETitle);
        query.stepId = asciiValue(*step, DCM_ScheduledProcedureStepID);
        const QString date = asciiValue(*step, DCM_ScheduledProcedureStepStartDate);
        if (!date.isEmpty()) {
            query.dates = dateRangeOf(date);
            if (!query.dates)
                return QStringLiteral("Scheduled Procedure Step Start Date '%1' is not a date or range").arg(date);
        }
        const QString time = asciiValue(*step, DCM_ScheduledProcedureStepStartTime);
        if (!time.isEmpty()) {
            query.times = timeRangeOf(time);
            if (!query.times)
                return QStringLiteral("Scheduled Procedure Step Start Time '%1' is not a time or range").arg(time);
        }
        query.performingPhysicianNamed = !isUniversalName(rawValue(*step, DCM_ScheduledPerformingPhysicianName));
    }
    return query;
}

StoreRead storeReadFor(const WorklistQuery& query, const WorklistSettings& settings, QDate today) {
    StoreRead read;
    for (const Station& station : settings.stations) {
        if (keyMatches(query.stationAeTitle, station.aeTitle) && !read.roomCodes.contains(station.roomCode)) {
            read.roomCodes << station.roomCode;
        }
    }
    if (!keyMatches(query.modality, kModality)) read.roomCodes.clear();
    if (!query.dates) {
        const auto key = exactReservationKey(query.accessionNumber);
        const auto stepKey = key ? key : exactReservationKey(query.stepId);
        const QDate keyDay = stepKey ? dateOf(stepKey->mid(1, 8)).value_or(QDate()) : QDate();
        read.from = keyDay.isValid() ? keyDay : today;
        read.to = keyDay.isValid() ? keyDay : today.addDays(kLongestDateRange - 1);
        return read;
    }
    auto [from, to] = *query.dates;
    read.cut = !from.isValid() || !to.isValid() || from.daysTo(to) >= kLongestDateRange;
    if (!from.isValid()) from = to.addDays(1 - kLongestDateRange);
    if (!to.isValid() || from.daysTo(to) >= kLongestDateRange) to = from.addDays(kLongestDateRange - 1);
    read.from = from;
    read.to = to;
    return read;
}

std::optional<QString> stationFor(const QString& roomCode, const WorklistQuery& query,
                                  const WorklistSettings& settings) {
    for (const Station& station : settings.stations) {
        if (station.roomCode == roomCode && keyMatches(query.stationAeTitle, station.aeTitle)) return station.aeTitle;
    }
    return std::nullopt;
}

bool matches(const WorklistQuery& query, const ScheduledBooking& booking) {
    if (!keyMatches(query.accessionNumber, booking.code) || !keyMatches(query.stepId, booking.code)) return false;
    if (!keyMatches(query.patientId, booking.patientId)) return false;
    if (query.performingPhysicianNamed) return false;
    if (query.dates) {
        const QDate day = QDate::fromString(booking.code.mid(1, 8), QStringLiteral("yyyyMMdd"));
        const auto [from, to] = *query.dates;
        if ((from.isValid() && day < from) || (to.isValid() && day > to)) return false;
    }
    if (query.times) {
        const QTime start = QTime::fromString(booking.code.mid(9, 4), QStringLiteral("HHmm"));
        if (start < query.times->first || start > query.times->second) return false;
    }
    if (isUniversal(query.patientName)) return true;
    const QString wanted = nameForMatching(query.patientName);
    return wildcardMatch(wanted, nameForMatching(personNameOf(booking.booking.YNAME)));
}

}  // namespace kesola::worklist
