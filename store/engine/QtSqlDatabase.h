#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>

#include "store/Database.h"
#include "store/JetSql.h"

namespace kesola {

// The engine-neutral part of both stores: everything is plain Qt SQL with positional parameters; the dialect
// decides the Jet translation and how a write transaction starts.
class QtSqlDatabase : public Database {
  public:
    // Takes over an open connection; removes it from Qt's registry when destroyed.
    QtSqlDatabase(QSqlDatabase db, SqlDialect dialect);
    ~QtSqlDatabase() override;

    std::unique_ptr<RecordSet> select(const QString& jetSql) override;
    std::unique_ptr<Table> openTable(const QString& name) override;
    int execute(const QString& sql, const QVariantList& params = {}) override;
    bool takeLock() override;
    void beginWriteTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;
    QString engineName() const override;

    // Runs a native statement and walks its rows; used by the layer itself and by tests that look at plans.
    std::unique_ptr<RecordSet> selectNative(const QString& sql, const QVariantList& params);

    // A unique connection name for Qt's registry.
    static QString newConnectionName();

  protected:
    SqlDialect dialect() const { return dialect_; }

    // Called before every statement; an engine that lost its connection reconnects here (or throws DbError).
    virtual void beforeStatement() {}
    // Called with every failure before it is thrown; returns the message to carry (an engine may clean it).
    virtual QString onFailure(const QSqlError& error, const QString& message) {
        (void)error;
        return message;
    }
    // Closes the connection, forgets every prepared statement and opens it again. Throws DbError.
    void reopenConnection();
    bool connectionIsOpen() const { return db_.isOpen(); }
    // True between the BEGIN of a PostgreSQL write transaction and its COMMIT or ROLLBACK.
    bool inTransaction() const { return inTransaction_; }

  private:
    struct CachedStatement;
    std::shared_ptr<CachedStatement> prepared(const QString& sql);
    void prepareWithRetry(QSqlQuery& query, const QString& sql);
    [[noreturn]] void fail(const QSqlError& error, const QString& what);
    void lockAllTables();

    struct Connection;
    QSqlDatabase db_;
    std::shared_ptr<Connection> connection_;
    SqlDialect dialect_;
    bool inTransaction_ = false;
    QHash<QString, std::shared_ptr<CachedStatement>> statements_;
};

// Throws DbError with the engine's message of a failed query.
[[noreturn]] void throwQueryError(const QSqlQuery& query, const QString& what);

}  // namespace kesola
