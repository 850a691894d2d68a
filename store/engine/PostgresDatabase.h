#pragma once

#include <QElapsedTimer>
#include <memory>

#include "store/engine/QtSqlDatabase.h"

namespace kesola {

// The shared store on a PostgreSQL server, for installations where one shared file is not enough.
//
// The connection is named by a libpq URI (see PostgresUri.h). A password never comes from the URI: libpq reads it
// from the user's .pgpass file or the environment (PGPASSWORD, PGPASSFILE).
//
// A server that goes away does not end the run: the statement that meets the lost connection throws DbError
// (so the board paints nothing and an interactive command reports it), and a later statement connects again.
// While the server stays away, a new attempt is made at most once a second and the others repeat its failure.
// A write transaction that loses its connection fails as a whole: its remaining statements and its commit throw,
// and the connection comes back only after it has ended.
class PostgresDatabase : public QtSqlDatabase {
  public:
    // Connects to the server and database of the URI. Throws DbError when the URI is malformed, holds a
    // password, or the server cannot be reached; never creates anything.
    static std::unique_ptr<PostgresDatabase> open(const QString& uri);

    // How long a failed reconnection is repeated before the next attempt.
    static constexpr int kReconnectIntervalMs = 1000;

    // Ranges compare with COLLATE "C" (the database's own order follows its language); patterns become LIKE.
    static inline const JetDialect kJetDialect{QStringLiteral(" COLLATE \"C\""), false};

    // The kind of a failure by its SQLSTATE: 55P03 (lock_not_available, what lock_timeout raises) and 40P01
    // (deadlock) are busy, class 08 and 57P01-57P03 a lost connection, 23505 a constraint.
    static DbError::Kind kindOf(const QSqlError& error);

    // Also takes SHARE ROW EXCLUSIVE on every table of the schema: it conflicts with itself and with every INSERT,
    // UPDATE and DELETE, never with a SELECT, as SQLite's BEGIN IMMEDIATE lets one writer in while readers go on.
    void beginWriteTransaction() override;
    // A transaction that met an error answers COMMIT by rolling back, without an error of its own; the driver's
    // commit reports that as the failure it is.
    void commitTransaction() override;
    // A transaction lost with the connection was rolled back by the server already.
    void rollbackTransaction() override;
    QString byteOrderCollation() const override { return kJetDialect.byteOrderCollation; }
    QString encodingProblem() override;
    void refreshStatistics() override;
    QString engineName() const override { return QStringLiteral("PostgreSQL"); }

  protected:
    void beforeStatement() override;
    DbError failure(const QSqlError& error, const QString& message) override;

    void setLockWait(int milliseconds) override;

  private:
    using QtSqlDatabase::QtSqlDatabase;
    void configureSession();
    void reconnect();
    void lockAllTables();

    bool inTransaction_ = false;
    bool lost_ = false;
    int lockWaitMs_ = kDefaultLockWaitMs;  // kept for the sessions of later reconnections
    bool reconnecting_ = false;
    QString lastConnectFailure_;
    QElapsedTimer sinceAttempt_;
};

}  // namespace kesola
