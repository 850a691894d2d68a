#pragma once

#include <QStringList>
#include <QTextStream>

namespace kesola {

// kesola-admin upgrade DATABASE: adds the history table RIREKI and the patient ID table KANJYA to a database made
// without them; changes no row.
int runUpgrade(const QString& location, QTextStream& out, QTextStream& err);

// kesola-admin history DATABASE [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--room N] [--code PREFIX] [--csv FILE]:
// the recorded changes, oldest first, one line each; with --csv also a Shift-JIS CSV file of the same rows.
// args starts with "history".
int runHistory(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace kesola
