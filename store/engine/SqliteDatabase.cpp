#include "store/engine/SqliteDatabase.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <algorithm>

#include "store/engine/DbError.h"

namespace kesola {

namespace {

// The file engine steps through the rows as they are read and prepares every statement. Preparing reads the
// schema, and another workstation's write may hold the file's lock for a moment.
const EngineDialect kDialect{SqliteDatabase::kJetDialect, true, true, true, &SqliteDatabase::kindOf};

}  // namespace

DbError::Kind SqliteDatabase::kindOf(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    if (!ok) return DbError::Kind::Other;
    // The low byte is the primary code also when the driver reports an extended one.
    switch (code & 0xff) {
        case 5:  // SQLITE_BUSY
        case 6:  // SQLITE_LOCKED
            return DbError::Kind::Busy;
        case 19:  // SQLITE_CONSTRAINT
            return DbError::Kind::Constraint;
        default:
            return DbError::Kind::Other;
    }
}

std::unique_ptr<SqliteDatabase> SqliteDatabase::connect(const QString& path) {
    const QString name = newConnectionName();
    std::unique_ptr<SqliteDatabase> db;
    {
        QSqlDatabase handle = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        handle.setDatabaseName(path);
        handle.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kDefaultLockWaitMs));
        if (!handle.open()) {
            const QSqlError error = handle.lastError();
            const QString text = error.text();
            handle = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw DbError(text, kindOf(error));
        }
        db.reset(new SqliteDatabase(handle, kDialect));
    }
    // WAL needs shared memory, which network folders do not offer between machines; the rollback journal works
    // wherever the file's locks do. Reading the journal mode is also the first read of the file, so a file that
    // is not a database fails here.
    db->execute(QStringLiteral("PRAGMA journal_mode=DELETE"));
    db->execute(QStringLiteral("PRAGMA synchronous=FULL"));
    db->selectNative(QStringLiteral("SELECT count(*) FROM sqlite_master"), {})->close();
    db->path_ = path;
    db->identity_ = identityOf(path);
    return db;
}

void SqliteDatabase::setLockWait(int milliseconds) {
    noteLockWait(milliseconds);
    execute(QStringLiteral("PRAGMA busy_timeout = %1").arg(std::max(0, milliseconds)));
}

std::optional<SqliteDatabase::FileIdentity> SqliteDatabase::identityOf(const QString& path) {
    // The device and the file number: a file put in the path's place has another number even when its contents
    // and times are the same.
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino)};
}

bool SqliteDatabase::stillTheStoreNamed() const {
    const auto now = identityOf(path_);
    return now && identity_ && *now == *identity_;
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

// BEGIN IMMEDIATE lets one writer at a time in while readers go on, so a check made inside a write transaction
// (is the slot still free?) still holds when its write commits.
void SqliteDatabase::beginWriteTransaction() { execute(QStringLiteral("BEGIN IMMEDIATE")); }
void SqliteDatabase::commitTransaction() { execute(QStringLiteral("COMMIT")); }
void SqliteDatabase::rollbackTransaction() { execute(QStringLiteral("ROLLBACK")); }

// A deferred transaction takes the shared lock at its first read and keeps it to the end.
void SqliteDatabase::beginReadSnapshot() {
    execute(QStringLiteral("BEGIN"));
    selectNative(QStringLiteral("SELECT count(*) FROM sqlite_master"), {})->close();
}

QStringList SqliteDatabase::integrityProblems() {
    QStringList problems;
    auto rs = selectNative(QStringLiteral("PRAGMA integrity_check"), {});
    for (; !rs->eof(); rs->moveNext()) {
        const QString line = rs->field(QStringLiteral("integrity_check"));
        if (line != QStringLiteral("ok")) problems << line;
    }
    rs->close();
    return problems;
}

bool SqliteDatabase::hasIndex(const QString& name) {
    auto rs = selectNative(QStringLiteral("SELECT count(*) AS N FROM sqlite_master WHERE type = 'index' AND name = ? "
                                          "COLLATE NOCASE"),
                           {name});
    const bool found = rs->field(QStringLiteral("N")).toInt() > 0;
    rs->close();
    return found;
}

}  // namespace kesola
