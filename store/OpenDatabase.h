#pragma once

#include <QString>
#include <memory>

#include "store/Database.h"

namespace kesola {

// Opens the store named by the settings file's line: a database file path opens the SQLite store.
// Throws DbError when it cannot be opened; never creates anything.
std::unique_ptr<Database> openDatabase(const QString& location);

}  // namespace kesola
