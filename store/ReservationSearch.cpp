#include "store/ReservationSearch.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "store/NameMatch.h"
#include "store/Numbers.h"
#include "store/PatientId.h"
#include "store/PatientRegister.h"
#include "store/ReservationKey.h"
#include "store/Schema.h"
#include "store/engine/Database.h"

namespace kesola {

namespace {

constexpr int kRoomCodes = 9;
constexpr int kDatesPerRead = 31;

QString keyDate(QDate date) { return date.toString(QStringLiteral("yyyyMMdd")); }

QDate dateOfKey(const QString& code) { return QDate::fromString(code.mid(1, 8), QStringLiteral("yyyyMMdd")); }

// The keys of one room from `from` up to, not including, `end`: a range of the MAIN_KEY index, which orders as
// bytes on every engine.
QString keyRange(const Database& db) {
    const QString bound = QStringLiteral("?") + db.byteOrderCollation();
    return QStringLiteral("(CODE >= %1 AND CODE < %1)").arg(bound);
}

Booking bookingOf(const RecordSet& rows) {
    return {rows.field(QStringLiteral("Min")),    rows.field(QStringLiteral("KA")),
            rows.field(QStringLiteral("YNAME")),  rows.field(QStringLiteral("BUI")),
            rows.field(QStringLiteral("SEX")),    rows.field(QStringLiteral("AGE")),
            rows.field(QStringLiteral("JYOKYO")), rows.field(QStringLiteral("ETC"))};
}

void markOccupied(std::vector<bool>& cells, const QString& code, const QString& minutes) {
    const auto start = startCellOfKey(code);
    if (!start) return;
    // A row shorter than ten minutes still holds its start cell, as on the board.
    const int span = std::max(1, toInt16(minutes).value_or(0) / 10);
    for (int c = std::max(0, *start); c < std::min(*start + span, kCellCount); ++c) cells[c] = true;
}

// How much a character of the typed name narrows the rows: an ideograph more than kana, kana more than a digit.
int narrowing(QChar c) {
    if (c.script() == QChar::Script_Han) return 3;
    if (c.script() == QChar::Script_Katakana) return 2;
    return 1;
}

// A condition that every row whose name can match holds, so that the engine passes over the others before a name
// is read and normalised: the stored name holds one of the forms of the typed name's most telling character.
// "" when no character can be looked for.
QString nameNarrowing(const QString& wanted, QVariantList& params) {
    QStringList best;
    int bestScore = 0;
    for (QChar c : wanted) {
        const QStringList forms = storedFormsOf(c);
        if (!forms.isEmpty() && narrowing(c) >= bestScore) {
            best = forms;
            bestScore = narrowing(c);
        }
    }
    if (best.isEmpty()) return {};
    QStringList likes;
    for (const QString& form : best) {
        likes << QStringLiteral("YNAME LIKE ?");
        params << QStringLiteral("%") + form + QStringLiteral("%");
    }
    return QStringLiteral(" AND (") + likes.join(QStringLiteral(" OR ")) + u')';
}

// The bookings whose patient ID the register holds with a kana name that contains the typed kana (a name typed in
// kana finds a booking whose name was typed in kanji), unless already found.
void addBookingsByRegisteredKana(Database& db, const QString& wanted, QDate from, QDate to,
                                 std::vector<FoundBooking>& found) {
    const bool kanaOnly = std::all_of(wanted.begin(), wanted.end(), [](QChar c) {
        return c.script() == QChar::Script_Katakana || c == QChar(0x30FC);
    });
    if (!kanaOnly || !hasPatientIdTable(db) || !hasPatientRegisterTable(db)) return;
    // The register keeps a space between family and given name, the typed text has none: every typed letter in
    // order narrows the rows, and the normalised comparison decides.
    QString pattern = QStringLiteral("%");
    for (QChar c : wanted) pattern += QString(c) + u'%';
    auto rows = db.selectNative(QStringLiteral("SELECT KESOLA.*, KANJYAMST.KANA AS REGISTERED_KANA FROM KANJYAMST "
                                               "JOIN KANJYA ON KANJYA.KANJYAID = KANJYAMST.KANJYAID "
                                               "JOIN KESOLA ON KESOLA.CODE = KANJYA.CODE WHERE KANJYAMST.KANA LIKE ?"),
                                {pattern});
    for (; !rows->eof(); rows->moveNext()) {
        const QString code = rows->field(QStringLiteral("CODE"));
        const QDate date = dateOfKey(code);
        if (date < from || date > to || !nameContains(rows->field(QStringLiteral("REGISTERED_KANA")), wanted)) continue;
        if (std::any_of(found.begin(), found.end(), [&](const auto& f) { return f.code == code; })) continue;
        found.push_back({code, date, startCellOfKey(code).value_or(0), bookingOf(*rows)});
    }
    rows->close();
}

// Every way of writing the ID's letters in either case.
QStringList caseVariants(const QString& id) {
    QStringList variants{QString()};
    for (QChar c : id) {
        const QChar lower = c.toLower();
        QStringList longer;
        for (const QString& v : variants) {
            longer << v + c;
            if (lower != c) longer << v + lower;
        }
        variants = longer;
    }
    return variants;
}

// IDs are kept as they were typed, in either case, and looked up in either case. For an ID of a few letters the
// engine looks up each way of writing it in the index on KANJYAID; the rare ID of many letters is compared in
// capitals over the whole table, which no index serves.
QString patientIdCondition(const QString& normalisedId, QVariantList& params) {
    constexpr int kMostLettersLookedUp = 10;  // 1024 index lookups
    const auto letters =
        std::count_if(normalisedId.cbegin(), normalisedId.cend(), [](QChar c) { return c.isLetter(); });
    if (letters > kMostLettersLookedUp) {
        params << normalisedId;
        return QStringLiteral("UPPER(KANJYA.KANJYAID) = ?");
    }
    const QStringList variants = caseVariants(normalisedId);
    for (const QString& v : variants) params << v;
    QStringList marks(variants.size(), QStringLiteral("?"));
    return QStringLiteral("KANJYA.KANJYAID IN (") + marks.join(u',') + u')';
}

}  // namespace

QString roomCodeOfKey(const QString& code) { return code.left(1); }

std::vector<FoundBooking> findPatientBookings(Database& db, const QString& typedName, QDate from, QDate to) {
    const QString wanted = normalisedName(typedName);
    // One index range per room code: the period is a range of keys within each room, never a scan of all rows.
    QStringList ranges;
    QVariantList params;
    const QString first = keyDate(from);
    const QString afterLast = keyDate(to.addDays(1));
    for (int room = 1; room <= kRoomCodes; ++room) {
        ranges << keyRange(db);
        params << QString::number(room) + first << QString::number(room) + afterLast;
    }
    const QString narrowed = nameNarrowing(wanted, params);
    auto rows = db.selectNative(
        QStringLiteral("SELECT * FROM KESOLA WHERE (") + ranges.join(QStringLiteral(" OR ")) + u')' + narrowed, params);
    std::vector<FoundBooking> found;
    const auto add = [&found](const RecordSet& row) {
        const QString code = row.field(QStringLiteral("CODE"));
        found.push_back({code, dateOfKey(code), startCellOfKey(code).value_or(0), bookingOf(row)});
    };
    for (; !rows->eof(); rows->moveNext()) {
        if (nameContains(rows->field(QStringLiteral("YNAME")), wanted)) add(*rows);
    }
    rows->close();
    const QString typedId = normalisedPatientId(typedName);
    const IdentityForm form = typedId.isEmpty() ? IdentityForm::NoPatientIds : identityFormOf(db);
    if (isValidPatientId(typedId) && form != IdentityForm::NoPatientIds) {
        QVariantList idParams;
        const QString idCondition = patientIdCondition(typedId, idParams);
        // An ID given to another booking under the same key is not found with the booking there now.
        const QString ownId = form == IdentityForm::Recorded ? QStringLiteral(
                                                                   " AND (KANJYA.YNAME IS NULL OR KANJYA.YNAME = '' OR "
                                                                   "KANJYA.YNAME = KESOLA.YNAME)")
                                                             : QString();
        auto byId = db.selectNative(
            QStringLiteral("SELECT KESOLA.* FROM KANJYA JOIN KESOLA ON KESOLA.CODE = KANJYA.CODE WHERE ") +
                idCondition + ownId,
            idParams);
        for (; !byId->eof(); byId->moveNext()) {
            const QString code = byId->field(QStringLiteral("CODE"));
            const QDate date = dateOfKey(code);
            const bool listed = std::any_of(found.begin(), found.end(), [&](const auto& f) { return f.code == code; });
            if (!listed && date >= from && date <= to) add(*byId);
        }
        byId->close();
    }
    addBookingsByRegisteredKana(db, wanted, from, to, found);
    std::sort(found.begin(), found.end(), [](const FoundBooking& a, const FoundBooking& b) {
        return std::tie(a.date, a.startCell, a.code) < std::tie(b.date, b.startCell, b.code);
    });
    return found;
}

std::vector<int> freeStartsOfDay(const std::vector<bool>& occupied, int cells) {
    std::vector<int> starts;
    int freeRun = 0;
    for (int c = 0; c < kCellCount; ++c) {
        freeRun = occupied[c] ? 0 : freeRun + 1;
        if (freeRun >= cells) starts.push_back(c - cells + 1);
    }
    return starts;
}

int firstCellNotBefore(QTime time) {
    constexpr int kCellMs = 10 * 60 * 1000;
    const int sinceFirstCell = time.msecsSinceStartOfDay() - kFirstHour * 60 * 60 * 1000;
    if (sinceFirstCell <= 0) return 0;
    return std::min((sinceFirstCell + kCellMs - 1) / kCellMs, kCellCount);
}

std::vector<FreeSlot> findFreeSlots(Database& db, const QString& roomCode, int minutes, QDate firstDate,
                                    QTime notBefore, int wanted) {
    const int cells = minutes / 10;
    const int firstDateCell = firstCellNotBefore(notBefore);
    const int searchDays = static_cast<int>(firstDate.daysTo(firstDate.addYears(kFreeSlotSearchYears))) + 1;
    const QString statement = QStringLiteral("SELECT CODE, Min FROM KESOLA WHERE ") + keyRange(db);
    std::vector<FreeSlot> freeSlots;
    for (int offset = 0; offset < searchDays && static_cast<int>(freeSlots.size()) < wanted; offset += kDatesPerRead) {
        const QDate from = firstDate.addDays(offset);
        const int dates = std::min(kDatesPerRead, searchDays - offset);
        std::map<QDate, std::vector<bool>> occupied;
        for (int d = 0; d < dates; ++d) occupied[from.addDays(d)] = std::vector<bool>(kCellCount, false);
        auto rows = db.selectNative(statement, {roomCode + keyDate(from), roomCode + keyDate(from.addDays(dates))});
        for (; !rows->eof(); rows->moveNext()) {
            const QString code = rows->field(QStringLiteral("CODE"));
            auto day = occupied.find(dateOfKey(code));
            if (day != occupied.end()) markOccupied(day->second, code, rows->field(QStringLiteral("Min")));
        }
        rows->close();
        for (const auto& [date, cellsTaken] : occupied) {
            if (static_cast<int>(freeSlots.size()) >= wanted) break;
            const int earliest = date == firstDate ? firstDateCell : 0;
            for (int start : freeStartsOfDay(cellsTaken, cells)) {
                if (start >= earliest) freeSlots.push_back({date, start});
            }
        }
    }
    return freeSlots;
}

}  // namespace kesola
