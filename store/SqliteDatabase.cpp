#include "store/SqliteDatabase.h"

#include <QFileInfo>
#include <QSqlError>
#include <algorithm>

#include "store/DbError.h"

namespace kesola {

std::unique_ptr<SqliteDatabase> SqliteDatabase::connect(const QString& path) {
    const QString name = newConnectionName();
    std::unique_ptr<SqliteDatabase> db;
    {
        QSqlDatabase handle = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        handle.setDatabaseName(path);
        handle.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kDefaultLockWaitMs));
        if (!handle.open()) {
            const QString text = handle.lastError().text();
            handle = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw DbError(text);
        }
        db.reset(new SqliteDatabase(handle, SqlDialect::Sqlite));
    }
    // WAL needs shared memory, which network folders do not offer between machines; the rollback journal works
    // wherever the file's locks do. Reading the journal mode is also the first read of the file, so a file that
    // is not a database fails here.
    db->execute(QStringLiteral("PRAGMA journal_mode=DELETE"));
    db->execute(QStringLiteral("PRAGMA synchronous=FULL"));
    db->selectNative(QStringLiteral("SELECT count(*) FROM sqlite_master"), {})->close();
    return db;
}

void SqliteDatabase::setLockWait(int milliseconds) {
    execute(QStringLiteral("PRAGMA busy_timeout = %1").arg(std::max(0, milliseconds)));
}

std::unique_ptr<SqliteDatabase> SqliteDatabase::open(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) throw DbError(QStringLiteral("database file not found: %1").arg(path));
    if (!info.isFile()) throw DbError(QStringLiteral("not a database file: %1").arg(path));
    return connect(path);
}

std::unique_ptr<SqliteDatabase> SqliteDatabase::create(const QString& path) {
    if (QFileInfo::exists(path)) throw DbError(QStringLiteral("file already exists: %1").arg(path));
    return connect(path);
}

}  // namespace kesola
