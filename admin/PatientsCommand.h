#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>

namespace kesola {

// kesola-admin patients import DATABASE FILE [--dry-run]: takes the hospital information system's patient file
// (PatientFile.h) into the patient register in one transaction. A file with any line that cannot be taken changes
// nothing, and every such line is listed as FILE:LINE: why. Registered patients whose row differs are replaced,
// each replacement recorded in the history. --dry-run reads and checks everything, says what an import would do
// and writes nothing.
// kesola-admin patients export DATABASE FILE: writes the register in the same format (cp932).
// args excludes the program name. Returns the exit status.
int runPatients(const QStringList& args, QTextStream& out, QTextStream& err, QDate today);

}  // namespace kesola
