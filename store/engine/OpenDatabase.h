#pragma once

#include <QString>
#include <memory>

#include "store/engine/QtSqlDatabase.h"

namespace kesola {

// Opens the store named by the settings file's line: a line that begins with "postgresql://" is a libpq
// connection URI and opens the PostgreSQL store (see PostgresDatabase.h); any other line is the path of a database
// file and opens the SQLite store. Throws DbError when it cannot be opened; never creates anything.
std::unique_ptr<QtSqlDatabase> openDatabase(const QString& location);

}  // namespace kesola
