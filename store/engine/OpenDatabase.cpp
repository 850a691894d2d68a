#include "store/OpenDatabase.h"

#include "store/PostgresDatabase.h"
#include "store/PostgresUri.h"
#include "store/SqliteDatabase.h"

namespace kesola {

std::unique_ptr<Database> openDatabase(const QString& location) {
    if (isPostgresUri(location)) return PostgresDatabase::open(location);
    return SqliteDatabase::open(location);
}

}  // namespace kesola
