#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>

#include "store/engine/Database.h"
#include "store/engine/DbError.h"
#include "store/engine/JetSql.h"

namespace kesola {

// What sets one engine's use of Qt SQL apart; each engine class supplies its own.
struct EngineDialect {
    JetDialect jet;
    // True when a record set steps through the rows as they are read; false when the whole result is fetched at
    // once because any other statement on the connection would cut a row-by-row walk short.
    bool stepsThroughRows = true;
    // False when a statement without parameters must run unprepared (PostgreSQL prepares no BEGIN, LOCK TABLE,
    // EXPLAIN or SHOW).
    bool preparesPlainStatements = true;
    // True when preparing a statement may meet another connection's lock without waiting for it, so that
    // preparation is tried again for a while. False where preparation already waits as long as any statement.
    bool retriesBusyPreparation = true;
    // The kind of a failure, read from the engine's own code in the error.
    DbError::Kind (*kindOf)(const QSqlError& error) = nullptr;
};

// What both engines share: plain Qt SQL with positional parameters. Everything in which they differ comes from
// the dialect or from the overrides of the engine classes (SqliteDatabase, PostgresDatabase); this class never
// asks which engine it is.
class QtSqlDatabase : public Database {
  public:
    // Takes over an open connection; removes it from Qt's registry when destroyed.
    QtSqlDatabase(QSqlDatabase db, const EngineDialect& dialect);
    ~QtSqlDatabase() override;

    std::unique_ptr<RecordSet> select(const QString& jetSql) override;
    std::unique_ptr<Table> openTable(const TableSchema& table) override;
    int execute(const QString& sql, const QVariantList& params = {}) override;
    bool takeLock() override;

    // Begins a read-only transaction in which every read sees the database as it was at the first one (the file
    // engine keeps writers out until it ends; the server lets them go on). End it with rollbackTransaction().
    // Throws DbError.
    virtual void beginReadSnapshot() = 0;

    // What the engine's own consistency check finds wrong in the stored pages and indexes, one text per problem;
    // empty when it finds nothing. Throws DbError when the check itself cannot run.
    virtual QStringList integrityProblems() = 0;

    // True when the database holds an index of this name (as it was written in CREATE INDEX). Throws DbError.
    virtual bool hasIndex(const QString& name) = 0;

    std::unique_ptr<RecordSet> selectNative(const QString& sql, const QVariantList& params) override;

    // A unique connection name for Qt's registry.
    static QString newConnectionName();

  protected:
    // Called before every statement; an engine that lost its connection reconnects here (or throws DbError).
    virtual void beforeStatement() {}
    // The error to throw for a failure of the engine; an engine may clean the message or learn from the failure.
    virtual DbError failure(const QSqlError& error, const QString& message);
    [[noreturn]] void fail(const QSqlError& error, const QString& what);
    // Closes the connection, forgets every prepared statement and opens it again. Throws DbError.
    void reopenConnection();
    bool connectionIsOpen() const { return db_.isOpen(); }
    // What the engine's lock wait was last set to; a busy preparation is retried no longer than that.
    void noteLockWait(int milliseconds) { lockWaitMs_ = milliseconds; }
    // For an engine's own reads past Qt SQL: the driver's native handle, and a keeper that holds the connection open
    // while it lives. statementStarts is called before each such statement, as before every other.
    QVariant driverHandle() const;
    std::shared_ptr<void> connectionKeeper() const;
    void statementStarts(const QString& sql);
    // Commits through the driver, which reports a transaction that the server rolled back. Throws DbError.
    // Requires: beforeStatement() has been called by the engine.
    void commitThroughDriver();

  private:
    struct CachedStatement;
    std::shared_ptr<CachedStatement> prepared(const QString& sql);
    void prepareWithRetry(QSqlQuery& query, const QString& sql);

    struct Connection;
    QSqlDatabase db_;
    std::shared_ptr<Connection> connection_;
    EngineDialect dialect_;
    QHash<QString, std::shared_ptr<CachedStatement>> statements_;
    int lockWaitMs_ = kDefaultLockWaitMs;
};

}  // namespace kesola
