#pragma once

#include <QString>
#include <QTextStream>

namespace kesola {

// kesola-admin backup DATABASE DEST: a copy of a running database in a new database file, while the workstations
// go on booking.
// A database file is copied with SQLite's online backup (SqliteBackup.h): the copy is the file at one moment, and
// a workstation's write waits for one slice of the copy at most. A server database is copied row by row from one
// REPEATABLE READ snapshot into a new file, which `copy` puts back on a server.
// Before it says done, the command checks the copy: SQLite's integrity check, the seven tables and the history
// table, and the rows of each (the same counts as in the server's snapshot). A copy that fails a check is removed.
// DEST must not exist. progressOnTerminal shows how far the copy has come on err when it takes long.
// Returns the exit status (0 done, 1 refused or failed).
int runBackup(const QString& database, const QString& destination, QTextStream& out, QTextStream& err,
              bool progressOnTerminal);

}  // namespace kesola
