#include "store/OpenDatabase.h"

#include "store/SqliteDatabase.h"

namespace kesola {

std::unique_ptr<Database> openDatabase(const QString& location) { return SqliteDatabase::open(location); }

}  // namespace kesola
