#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace kesola {

class QtSqlDatabase;

// kesola-admin check DATABASE [--quiet]: whether a database file or a server database is sound.
// Prints one line per problem and returns 1 when there is any, 0 when there is none (2 for a wrong command line).
// The problems: the engine's integrity check (SQLite's integrity_check; on a server, invalid indexes and tables
// that cannot be read), a missing table or MAIN_KEY index, a missing SYSTEM or LOCKTBL row, reservation keys that
// do not parse or start outside 7:00-19:50, and reservations that name a department, body part or room that does
// not exist (the room is the key's first digit, a ROOM code). Without --quiet it also says what it checked and
// whether the workstation lock is held; --quiet prints the problems alone, for cron and monitoring.
// A database file is checked in a copy of one moment of it, made by the online backup under TMPDIR (which needs room
// for it), so that the workstations go on writing meanwhile.
int runCheck(const QStringList& args, QTextStream& out, QTextStream& err);

// The problems of an open database, one text each; empty when it is sound. Never throws: a check that fails to
// run is a problem of its own.
QStringList databaseProblems(QtSqlDatabase& db);

// What is wrong with one reservation key, or an empty text when it is a valid key of a slot of the timetable.
QString reservationKeyProblem(const QString& code);

}  // namespace kesola
