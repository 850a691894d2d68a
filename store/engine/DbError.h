#pragma once

#include <QString>
#include <stdexcept>

namespace kesola {

// The one exception type of the database layer. It carries the engine's own message, which the windows
// show after their "データベースの処理に失敗しました。" line, and what kind of failure it was, which each engine
// sets from its own codes (SQLite's result codes, PostgreSQL's SQLSTATE). A caller that retries or chooses how to
// report asks the kind, never the message: the engines word the same failure differently.
class DbError : public std::runtime_error {
  public:
    enum class Kind {
        // Another connection's lock on the database, which goes away by itself (SQLite busy or locked,
        // PostgreSQL lock timeout or deadlock).
        Busy,
        // The connection to the server is gone (PostgreSQL connection failures, a server shutting down).
        ConnectionLost,
        // A write that a unique index refused.
        Constraint,
        // The store refuses every write: a read-only database file, a read-only role or a standby server.
        ReadOnly,
        Other,
    };

    explicit DbError(const QString& message, Kind kind = Kind::Other)
        : std::runtime_error(message.toStdString()), message_(message), kind_(kind) {}
    // The connection went after the commit was sent and before the server answered it: the server may have
    // stored the transaction (and, with synchronous replication, its standby with it) or not. Only the store can
    // tell, once it is reached again; a caller that reports success or failure must ask it first.
    static DbError lostDuringCommit(const QString& message) {
        DbError e(message, Kind::ConnectionLost);
        e.outcomeUnknown_ = true;
        return e;
    }
    const QString& message() const { return message_; }
    Kind kind() const { return kind_; }
    bool isBusy() const { return kind_ == Kind::Busy; }
    bool commitOutcomeUnknown() const { return outcomeUnknown_; }

  private:
    QString message_;
    Kind kind_;
    bool outcomeUnknown_ = false;
};

}  // namespace kesola
