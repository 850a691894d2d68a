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
// history table RIREKI, the patient ID table KANJYA and the patient register KANJYAMST (PatientRegister.h).
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

inline const QString kDefaultTitle = QStringLiteral("ＭＲＩ予約システム");

}  // namespace kesola
