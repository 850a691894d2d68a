#pragma once

#include <memory>

#include "store/QtSqlDatabase.h"

namespace kesola {

// The embedded store: one SQLite file shared by the workstations.
class SqliteDatabase : public QtSqlDatabase {
  public:
    // Opens an existing database file. Never creates one: a missing path, a folder, or a file that is not a
    // SQLite database throws DbError.
    static std::unique_ptr<SqliteDatabase> open(const QString& path);

    // Creates a new, empty database file. Throws DbError when the file already exists or cannot be made.
    static std::unique_ptr<SqliteDatabase> create(const QString& path);

    void setLockWait(int milliseconds) override;

  private:
    using QtSqlDatabase::QtSqlDatabase;
    static std::unique_ptr<SqliteDatabase> connect(const QString& path);
};

}  // namespace kesola
