#include "store/engine/OpenDatabase.h"

#include "store/engine/PostgresDatabase.h"
#include "store/engine/PostgresUri.h"
#include "store/engine/SqliteDatabase.h"

namespace kesola {

std::unique_ptr<QtSqlDatabase> openDatabase(const QString& location) {
    if (isPostgresUri(location)) return PostgresDatabase::open(location);
    return SqliteDatabase::open(location);
}

}  // namespace kesola
