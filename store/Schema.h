#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "store/engine/Database.h"

namespace kesola {

// The seven tables of the reservation book. Every column is text; CODE columns order as bytes.
const std::vector<TableSchema>& allTables();

// The schema of one table, or nullptr for a name that is not one of the seven.
const TableSchema* findTable(const QString& name);

// The schema of one of the seven tables. Throws DbError for any other name.
const TableSchema& tableNamed(const QString& name);

// Opens one of the seven tables for keyed access through MAIN_KEY. Throws DbError for any other name and when the
// table is missing.
std::unique_ptr<Table> openTable(Database& db, const QString& name);

// The engine's name of a table's MAIN_KEY index.
QString mainKeyIndexName(const QString& table);

// Creates the seven tables, their MAIN_KEY indexes, the single SYSTEM and LOCKTBL rows ("1", free lock), the
// history table RIREKI, the patient ID table KANJYA with its record, the tables KENSA and JISSHI, and the patient
// register KANJYAMST (PatientRegister.h).
// Requires: an empty database. Throws DbError.
void createSchema(Database& db, const QString& title);

// True when any of the seven tables already exists.
bool hasAnyTable(Database& db);

// The history table RIREKI: one row for every change made through the program (History.h). It is not one of the
// seven tables: a database made without it keeps working, and nothing is recorded there.
// NO is an integer the engine assigns, only growing; every other column is text.
const TableSchema& historyTable();

// Creates RIREKI with its MAIN_KEY index on NO and an index on NICHIJI (the history's periods). Requires: no RIREKI
// yet. Throws DbError.
void createHistoryTable(Database& db);

// True when the database holds RIREKI. Asks by reading it, so it must run outside a transaction: on the server a
// failed statement would end the transaction it ran in.
bool hasHistoryTable(Database& db);

// The patient ID table KANJYA: the patient ID (KANJYAID) of a booking, under the booking's key (CODE). Like RIREKI
// it is not one of the seven tables: a booking without an ID has no row, and a database made without the table
// keeps working, its bookings without IDs.
const TableSchema& patientIdTable();

// Creates KANJYA with its MAIN_KEY index on CODE and an index on KANJYAID. Requires: no KANJYA yet. Throws DbError.
void createPatientIdTable(Database& db);

// True when the database holds KANJYA. Like hasHistoryTable, it must run outside a transaction.
bool hasPatientIdTable(Database& db);

// KANJYA with the record of what each ID was given to: YNAME, the booking's name when the ID was saved. A booking
// made over the row by a workstation that knows nothing of IDs (an older version cancels and books the slot anew)
// has another name, and the ID is then not its own. A row without YNAME was written before the record was kept (or
// by a workstation that does not keep it) and stays the booking's.
const TableSchema& recordedPatientIdTable();

// The study of a booking, KENSA: its Study Instance UID (STUDYUID), made once when the booking is first saved or
// offered to a scanner, and the name of the booking it was made for (YNAME). Corrections keep the UID; a row whose
// name is not the booking's belongs to a booking cancelled under the same key, and a new UID takes its place.
const TableSchema& studyTable();

// The performed steps the scanners reported, JISSHI, by the SOP Instance UID of their N-CREATE (UID): the booking
// (CODE), the patient ID, name and study UID it was offered with, the calling AE title (AE), the state (JYOTAI: "1"
// in progress, "2" completed or discontinued) and when it was created (NICHIJI). It links an N-SET to its N-CREATE
// across restarts of the service, and across services sharing one server.
const TableSchema& performedStepTable();

// How much of the patients' identity a database keeps: nothing (made before KANJYA), the IDs alone (KANJYA as
// first added), or the IDs with what they were given to, the studies and the performed steps. Asks by reading, so
// it must run outside a transaction. Throws DbError when the store cannot say (busy, gone).
enum class IdentityForm { NoPatientIds, PatientIdsOnly, Recorded };
IdentityForm identityFormOf(Database& db);

// True when the database holds KANJYA's YNAME, KENSA and JISSHI. Throws DbError as identityFormOf does.
bool hasIdentityRecords(Database& db);

// Adds those of KANJYA's YNAME, KENSA and JISSHI that the database lacks (one transaction). Requires: KANJYA.
// Throws DbError.
void createIdentityRecords(Database& db);

// Records, for every patient ID row without the record, the name of the booking stored under its key (rows without
// a booking keep none). Returns how many rows were recorded. Requires: IdentityForm::Recorded. Throws DbError.
int recordPatientIdOwners(Database& db);

inline const QString kDefaultTitle = QStringLiteral("ＭＲＩ予約システム");

}  // namespace kesola
