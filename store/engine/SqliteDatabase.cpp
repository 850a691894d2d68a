#include "store/engine/SqliteDatabase.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <algorithm>
#include <utility>
#include <vector>

#include "store/engine/ColumnLookup.h"
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
    return ok ? kindOfCode(code) : DbError::Kind::Other;
}

DbError::Kind SqliteDatabase::kindOfCode(int resultCode) {
    // The low byte is the primary code also when the driver reports an extended one.
    switch (resultCode & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return DbError::Kind::Busy;
        case SQLITE_CONSTRAINT:
            return DbError::Kind::Constraint;
        case SQLITE_READONLY:
            return DbError::Kind::ReadOnly;
        default:
            return DbError::Kind::Other;
    }
}

namespace {

// A forward walk over one statement run by SQLite itself on the connection Qt SQL opened. The statement is
// finalized when the walk is closed or destroyed, so no shared lock outlives it.
class SqliteRowReader : public RecordSet {
  public:
    SqliteRowReader(std::shared_ptr<void> connection, sqlite3* db, const TranslatedSql& statement)
        : connection_(std::move(connection)), db_(db) {
        const QByteArray sql = statement.sql.toUtf8();
        check(sqlite3_prepare_v2(db_, sql.constData(), static_cast<int>(sql.size()), &stmt_, nullptr));
        for (int i = 0; i < statement.params.size(); ++i) {
            const QByteArray value = statement.params[i].toString().toUtf8();
            check(sqlite3_bind_text(stmt_, i + 1, value.constData(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
        }
        QStringList names;
        for (int c = 0; c < sqlite3_column_count(stmt_); ++c) names << QString::fromUtf8(sqlite3_column_name(stmt_, c));
        columns_ = ColumnLookup(names);
        step();
        empty_ = atEnd_;
    }
    ~SqliteRowReader() override { close(); }

    bool isEmpty() const override { return empty_; }
    bool eof() const override { return atEnd_; }
    QString field(const QString& name) const override {
        const int column = atEnd_ ? -1 : columns_.indexOf(name);
        if (column < 0) return {};
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column)) : QString();
    }
    void moveNext() override {
        if (!atEnd_) step();
    }
    QStringList fieldNames() const override { return columns_.names(); }
    void close() override {
        atEnd_ = true;
        if (stmt_) sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }

  private:
    void step() {
        const int result = sqlite3_step(stmt_);
        atEnd_ = result != SQLITE_ROW;
        if (!atEnd_) return;
        if (result != SQLITE_DONE) check(result);
    }
    void check(int result) {
        if (result == SQLITE_OK) return;
        const QString message = QString::fromUtf8(sqlite3_errmsg(db_));
        close();
        throw DbError(message, SqliteDatabase::kindOfCode(result));
    }
    std::shared_ptr<void> connection_;  // released after the statement
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    ColumnLookup columns_;
    bool atEnd_ = true;
    bool empty_ = true;
};

}  // namespace

std::unique_ptr<RecordSet> SqliteDatabase::selectLong(const QString& jetSql) {
    const QVariant handle = driverHandle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) return select(jetSql);
    sqlite3* db = *static_cast<sqlite3* const*>(handle.constData());
    if (!db) return select(jetSql);
    const TranslatedSql translated = translateJetSql(jetSql, kJetDialect);
    statementStarts(translated.sql);
    return std::make_unique<SqliteRowReader>(connectionKeeper(), db, translated);
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
    return fileIdentity(path);
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
