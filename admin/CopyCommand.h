#pragma once

#include <QString>
#include <QTextStream>

namespace kesola {

class Database;
class QtSqlDatabase;
struct TableSchema;

// kesola-admin copy SOURCE DEST: every row of the seven tables, from a file to a server or back (or file to file,
// server to server). DEST is a new file, an existing database whose tables are all empty, or an empty server
// database (the tables are then created). A destination that already holds any row is refused.
// The rows go in one transaction, so DEST ends up with all of them or none; while they are copied no workstation
// can write to SOURCE. The counts of every table are printed and checked against SOURCE afterwards.
// Returns the exit status (0 done, 1 refused or failed).
int runCopy(const QString& source, const QString& destination, QTextStream& out, QTextStream& err);

// The rows of one table, copied in key order through bound parameters. Returns how many were copied.
// Requires: both tables exist; the caller holds the transactions. Throws DbError.
qint64 copyTableRows(QtSqlDatabase& from, QtSqlDatabase& to, const QString& table);
// The same for any table that keyed access serves (the history table too).
qint64 copyTableRows(QtSqlDatabase& from, QtSqlDatabase& to, const TableSchema& table);

// The number of rows of a table. Throws DbError, also when the table is missing.
qint64 countRows(Database& db, const QString& table);

}  // namespace kesola
