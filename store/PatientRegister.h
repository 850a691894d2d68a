#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "store/History.h"

namespace kesola {

class Database;
struct TableSchema;

namespace history_actions {
// A registered patient's row replaced by the hospital information system's newer one.
inline const QString kPatientChanged = QStringLiteral("患者変更");
}  // namespace history_actions

// The patient register KANJYAMST: one row per patient of the hospital, taken from the hospital information system's
// export, so that a booking and the scanners' worklist get the patient's names, birth date and sex from the ID.
// Like RIREKI and KANJYA it is not one of the seven tables: a database made without it keeps working, every ID then
// unknown. Every column is text:
//   KANJYAID     the patient ID (key of MAIN_KEY), the form of the reservation window's ID box (PatientId.h)
//   SHIMEI       the name in kanji, as the reservation window stores a name
//   KANA         the name in full-width katakana
//   SEINENGAPPI  the birth date, YYYYMMDD
//   SEX          the sex selector's code: "1" male, "2" female
//   KOSHIN       when the row was last written, yyyy-MM-dd HH:mm:ss
const TableSchema& patientRegisterTable();

// Creates KANJYAMST and its MAIN_KEY index inside the caller's transaction (the schema's creation).
void addPatientRegisterTable(Database& db);
// Creates KANJYAMST in a transaction of its own. Requires: no KANJYAMST yet. Throws DbError.
void createPatientRegisterTable(Database& db);
// True when the database holds KANJYAMST. Must run outside a transaction (see hasHistoryTable).
bool hasPatientRegisterTable(Database& db);

// One patient as the register holds it.
struct RegisteredPatient {
    QString KANJYAID;
    QString SHIMEI;
    QString KANA;
    QString SEINENGAPPI;
    QString SEX;
    bool operator==(const RegisteredPatient&) const = default;

    QDate birthDate() const { return QDate::fromString(SEINENGAPPI, QStringLiteral("yyyyMMdd")); }
};

// The register's row for the ID, or none (also when the database has no register). Requires: outside a
// transaction. Throws DbError.
std::optional<RegisteredPatient> findRegisteredPatient(Database& db, const QString& id);

// Age in whole years on the given day of a patient born on birthDate, one year more from each birthday on (born on
// 29 February: from 1 March in other years); -1 when the day comes before the birth or a date is not valid.
int ageOn(QDate birthDate, QDate day);

// The register's kanji name fills a booking's name, so it is held to the width of YNAME (cp932 bytes, blanks at
// either end not counted, TextWidth.h); the kana name to twice that.
constexpr int kRegisterNameBytes = 20;
constexpr int kRegisterKanaBytes = 40;

// What writePatients did.
struct RegisterWriteCounts {
    qint64 added = 0;
    qint64 changed = 0;
    qint64 unchanged = 0;
};

// Adds the patients that are not registered and replaces the rows of those that are and differ, each replacement
// recorded in the history as kPatientChanged. KOSHIN becomes `now` on every row written. Requires: inside a write
// transaction, the register present, IDs unique. Throws DbError.
RegisterWriteCounts writePatients(Database& db, const std::vector<RegisteredPatient>& patients, HistoryWriter& history,
                                  const QString& now);

// Calls `each` for every registered patient in ID order, a page at a time. Throws DbError.
void forEachRegisteredPatient(Database& db, const std::function<void(const RegisteredPatient&)>& each);

// A kana name as the register keeps it: hiragana as katakana, half-width katakana full-width (sound marks joined),
// half-width spaces as ideographic ones.
QString registerKana(const QString& kana);
// True when the text holds full-width katakana, the prolonged sound mark, the middle dot and ideographic spaces
// only, and at least one katakana.
bool isRegisterKana(const QString& kana);

}  // namespace kesola
