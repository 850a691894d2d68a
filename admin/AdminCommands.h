#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>

namespace kesola {

// The commands of kesola-admin. args excludes the program name. Returns the exit status.
//   init DATABASE [--title TEXT] [--demo]   create the tables in a new file or an empty server database
//   copy SOURCE DEST                        copy every row from one store to another
//   backup DATABASE DEST                    a checked copy of a running database in a new file
//   check DATABASE [--quiet]                report what is wrong with a database
// DATABASE, SOURCE and DEST are file paths or postgresql:// URIs.
int runAdmin(const QStringList& args, QTextStream& out, QTextStream& err, QDate today = QDate::currentDate());

QString adminUsage();

}  // namespace kesola
