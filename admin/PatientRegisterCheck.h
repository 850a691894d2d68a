#pragma once

#include <QStringList>

namespace kesola {

class QtSqlDatabase;

// What kesola-admin check finds wrong in the patient register: a missing MAIN_KEY index, and rows whose ID, birth
// date or sex is not one the import would take. Appends one line per problem (at most 20 of a kind, then their
// number). Throws DbError.
void checkPatientRegister(QtSqlDatabase& db, QStringList& problems);

}  // namespace kesola
