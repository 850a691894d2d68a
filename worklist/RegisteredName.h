#pragma once

#include <QString>
#include <map>
#include <vector>

#include "store/PatientRegister.h"
#include "store/WorklistStore.h"

class DcmDataset;

namespace kesola {
class Database;
}

namespace kesola::worklist {

// What the patient register adds to a worklist item: the name in DICOM's three component groups and the birth
// date. A booking whose ID the register does not hold goes out without them.

// The register's row for a booking's patient ID; none for a booking without an ID, an ID the register does not
// hold, or a database without the register. Throws DbError.
std::optional<RegisteredPatient> registeredPatientOf(Database& db, const QString& patientId);

// The register's rows of the bookings' patient IDs, by ID (a day's worklist holds a few dozen); empty when the
// database has no register. Requires: outside a transaction. Throws DbError.
std::map<QString, RegisteredPatient> registeredPatientsOf(Database& db, const std::vector<ScheduledBooking>& bookings);

// The romaji of a kana name, made by ICU's transliterator (Katakana-Latin) in Hepburn as Japanese passports write
// it: the long vowels ou, oo and uu without their second letter, in ASCII upper case ("ヤマダ　タロウ" becomes
// "YAMADA TARO").
QString romajiOf(const QString& kana);

// Patient's Name (PN) with all three groups, alphabetic=ideographic=phonetic, family^given in each: the romaji
// of the register's kana, the booking's name split as personNameOf splits it (the register's kanji name when
// the booking's is ASCII alone), and the register's kana, each split at its first space.
// For example YAMADA^TARO=山田^太郎=ヤマダ^タロウ.
QString threeGroupPersonName(const QString& storedName, const RegisteredPatient& patient);

// Patient's Name as the worklist offers the booking: in three groups for a patient the register holds, else as
// personNameOf makes it of the stored name.
QString offeredPersonName(const QString& storedName, const std::optional<RegisteredPatient>& registered);

// Patient's Birth Date (DA, YYYYMMDD) from the register; "" when its date is not a date.
QString dicomBirthDateOf(const RegisteredPatient& patient);

// Why a scanner's MPPS N-CREATE names another patient than the register's row for the booking's patient ID: its
// Patient's Birth Date (0010,0030) is given and is not the register's. "" when they agree, or when there is nothing
// to compare (no birth date sent, no register row).
QString birthDateMismatch(DcmDataset& nCreate, const std::optional<RegisteredPatient>& patient);

}  // namespace kesola::worklist
