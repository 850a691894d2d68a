#pragma once

#include <memory>

#include "store/engine/Database.h"

namespace kesola {

class QtSqlDatabase;

// Keyed access to one table of the schema through its MAIN_KEY column, built on the engine's own statements:
// a seek is one SELECT by key, a commit one INSERT or UPDATE of the assigned fields, a delete one DELETE by key,
// every value bound. It holds no statement between calls; the database must outlive it.
std::unique_ptr<Table> makeKeyedTable(QtSqlDatabase& db, const TableSchema& schema);

}  // namespace kesola
