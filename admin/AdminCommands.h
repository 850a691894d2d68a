#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>

namespace kesola {

// The commands of kesola-admin. args excludes the program name. Returns the exit status.
//   init PATH [--title TEXT] [--demo]   create a new database
int runAdmin(const QStringList& args, QTextStream& out, QTextStream& err, QDate today = QDate::currentDate());

QString adminUsage();

}  // namespace kesola
