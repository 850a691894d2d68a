#pragma once

#include <QElapsedTimer>
#include <memory>

#include "store/QtSqlDatabase.h"

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

  protected:
    void beforeStatement() override;
    QString onFailure(const QSqlError& error, const QString& message) override;

    void setLockWait(int milliseconds) override;

  private:
    using QtSqlDatabase::QtSqlDatabase;
    void configureSession();
    void reconnect();

    bool lost_ = false;
    int lockWaitMs_ = kDefaultLockWaitMs;  // kept for the sessions of later reconnections
    bool reconnecting_ = false;
    QString lastConnectFailure_;
    QElapsedTimer sinceAttempt_;
};

}  // namespace kesola
