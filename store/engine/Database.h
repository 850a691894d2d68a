#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>

class QObject;

#include "store/engine/Waits.h"

namespace kesola {

// A forward-only, read-only walk over the rows of one SELECT.
// Every operation throws DbError when the engine fails. Closing (or destroying) the record set finishes the
// statement, so that no reader keeps the database's shared lock past the procedure that opened it.
class RecordSet {
  public:
    virtual ~RecordSet() = default;
    // True when the statement returned no row at all.
    virtual bool isEmpty() const = 0;
    // True once the walk has passed the last row.
    virtual bool eof() const = 0;
    // The field of the current row; a missing column or NULL reads as the empty text.
    virtual QString field(const QString& name) const = 0;
    virtual void moveNext() = 0;
    virtual void close() = 0;
    // The names of the statement's columns, in their order; empty when the record set cannot tell.
    virtual QStringList fieldNames() const { return {}; }
};

// A table opened for keyed access through its unique index MAIN_KEY.
// Typical use: seek(key); if noMatch() addNew() else edit(); setField(...)...; update(); close().
class Table {
  public:
    virtual ~Table() = default;
    // Seeks "=" the key value; returns true when a row was found.
    virtual bool seek(const QString& key) = 0;
    virtual bool noMatch() const = 0;
    // A field of the found (or edited) row; NULL reads as the empty text.
    virtual QString field(const QString& name) const = 0;
    // Begins editing the found row. Requires: a successful seek.
    virtual void edit() = 0;
    // Begins a new row; every field starts NULL.
    virtual void addNew() = 0;
    // Assigns a field of the row being edited or added. Requires: edit() or addNew().
    virtual void setField(const QString& name, const QString& value) = 0;
    // Writes the row being edited or added, through bound parameters.
    virtual void update() = 0;
    // Deletes the found row. Requires: a successful seek.
    virtual void deleteRow() = 0;
    virtual void close() = 0;
};

// A table that keyed access serves: its name, the column of its unique index MAIN_KEY, and every column.
struct TableSchema {
    QString name;
    QString keyColumn;
    QStringList columns;
};

// One open connection to the shared store. Implemented by each engine (the SQLite file, PostgreSQL);
// callers never see which one they hold.
class Database {
  public:
    virtual ~Database() = default;

    // Runs a read-only statement written in the Jet dialect (LIKE with '*', LEFT$, MID$); the engine translates
    // it and binds every quoted literal as a parameter.
    virtual std::unique_ptr<RecordSet> select(const QString& jetSql) = 0;

    // The same read as select, for a statement whose many rows are walked once from start to end (an export): the
    // engine may hand them out by a leaner path than select's. Same contract as select.
    virtual std::unique_ptr<RecordSet> selectLong(const QString& jetSql) { return select(jetSql); }

    // Runs a read-only statement in the SQL both engines share (no Jet dialect), with positional '?' parameters
    // for every value; the search's readers use it for what the Jet statements cannot say (several key ranges).
    virtual std::unique_ptr<RecordSet> selectNative(const QString& sql, const QVariantList& params) = 0;

    // Opens a table for keyed access through MAIN_KEY. Throws DbError when the table is missing. The schema must
    // outlive the table.
    virtual std::unique_ptr<Table> openTable(const TableSchema& table) = 0;

    // Runs one native statement with positional '?' parameters; returns the number of rows it changed.
    virtual int execute(const QString& sql, const QVariantList& params = {}) = 0;

    // Takes the workstation lock in one atomic statement. Returns true when this call took it, false when it was
    // already held. Throws DbError on failure, also when the lock row is missing.
    virtual bool takeLock() = 0;

    // A transaction that holds the write lock from its start (SQLite: BEGIN IMMEDIATE), so a check made inside it
    // still holds when its write commits.
    virtual void beginWriteTransaction() = 0;
    // Throws DbError; one with commitOutcomeUnknown() when the connection was lost while the commit was being
    // answered, so that the transaction may have been stored.
    virtual void commitTransaction() = 0;
    virtual void rollbackTransaction() = 0;

    // What follows a text column's type so that it orders as bytes ("" where that is the engine's default).
    virtual QString byteOrderCollation() const = 0;

    // The type of an integer key column whose values the engine assigns to new rows, each larger than every
    // value it assigned before (a value given explicitly is kept).
    virtual QString growingKeyType() const = 0;

    // The name of the database's text encoding when it cannot hold every character (Japanese names would be
    // refused); "" when it can. Throws DbError.
    virtual QString encodingProblem() = 0;

    // Brings the engine's statistics up to date after a bulk load, so that it plans the day query from the
    // rows really stored (nothing where the engine needs no statistics). Throws DbError.
    virtual void refreshStatistics() = 0;

    // How long a statement waits for another connection's lock before it fails as busy (kDefaultLockWaitMs
    // unless set). Throws DbError when the engine refuses the setting.
    virtual void setLockWait(int milliseconds) = 0;

    // True while this connection still reaches the store its location names. A file that was deleted, or replaced
    // by another file under the same path (a backup put back), is no longer it: every write would go into a file
    // nobody else sees. Cheap enough for every repaint: it asks the file system, never the file's contents.
    virtual bool stillTheStoreNamed() const { return true; }

    // "SQLite" or "PostgreSQL"; for messages and tests only: no code decides anything by it.
    virtual QString engineName() const = 0;

    // Runs `work` on this database without waiting for it, and then `done` on the calling thread, unless `context`
    // is gone by then. A connection served by a thread of its own (see ThreadedDatabase.h) runs `work` there,
    // after every call made before, so `work` must use nothing but the database it is given and what it captured
    // by value; `done` runs from the caller's event loop. Elsewhere both run at once, before this returns.
    // `work` must not throw.
    virtual void runDetached(std::function<void(Database&)> work, QObject* context, std::function<void()> done) {
        (void)context;
        work(*this);
        done();
    }
    // Waits at most `milliseconds` for the work sent by runDetached to have run; true when none is left.
    virtual bool finishDetached(int milliseconds) {
        (void)milliseconds;
        return true;
    }
};

// What a statement waits for another connection's lock unless told otherwise.
inline constexpr int kDefaultLockWaitMs = waits::kWriteMs;

// Shortens the lock wait for a scope, and restores the default at its end.
class ScopedLockWait {
  public:
    ScopedLockWait(Database& db, int milliseconds) : db_(db) { db_.setLockWait(milliseconds); }
    ~ScopedLockWait() {
        try {
            db_.setLockWait(kDefaultLockWaitMs);
        } catch (...) {
        }
    }
    ScopedLockWait(const ScopedLockWait&) = delete;
    ScopedLockWait& operator=(const ScopedLockWait&) = delete;

  private:
    Database& db_;
};

// Rolls back unless committed, so an early return or a throw never leaves a transaction open.
class WriteTransaction {
  public:
    explicit WriteTransaction(Database& db) : db_(db) { db_.beginWriteTransaction(); }
    ~WriteTransaction() {
        if (!done_) {
            try {
                db_.rollbackTransaction();
            } catch (...) {
            }
        }
    }
    void commit() {
        db_.commitTransaction();
        done_ = true;
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

  private:
    Database& db_;
    bool done_ = false;
};

}  // namespace kesola
