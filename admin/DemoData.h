#pragma once

#include <QDate>

namespace kesola {

class Database;

// Fills a new database with two rooms, departments in distinct colours, body parts, and reservations on the
// days around `today` (those before today done, the rest not yet). Throws DbError.
void addDemoData(Database& db, QDate today);

}  // namespace kesola
