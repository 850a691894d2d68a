#include "store/engine/SqliteBackup.h"

#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include "store/engine/Database.h"
#include "store/engine/DbError.h"
#include "store/engine/FileSystem.h"

namespace kesola {

namespace {

// 8 MiB at SQLite's default page size: a few milliseconds of reading from the page cache, so the first slices keep
// a workstation's write waiting for no longer than that.
constexpr int kFirstSlicePages = 2048;
// While a workstation writes, the next slice cannot start (its pending lock keeps new readers out); the copy looks
// again after this pause.
constexpr int kBusyPauseMs = 2;
// A source that no slice can read for this long (a lock left by a crashed process, a hung share) ends the backup.
constexpr int kGiveUpAfterMs = 60'000;

class Connection {
  public:
    Connection(const QString& path, int flags) {
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db_, flags, nullptr);
        if (rc != SQLITE_OK) fail(QStringLiteral("cannot open %1").arg(path));
        // Waits for a workstation's write as a workstation waits for another's.
        sqlite3_busy_timeout(db_, kDefaultLockWaitMs);
    }
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    [[noreturn]] void fail(const QString& what) const {
        const int code = db_ ? sqlite3_errcode(db_) : SQLITE_CANTOPEN;
        const QString message = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
        throw DbError(QStringLiteral("%1: %2").arg(what, message),
                      (code & 0xff) == SQLITE_BUSY ? DbError::Kind::Busy : DbError::Kind::Other);
    }
    void run(const char* sql) const {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(QString::fromUtf8(sql));
    }

  private:
    sqlite3* db_ = nullptr;
};

class Backup {
  public:
    Backup(const Connection& to, const Connection& from)
        : to_(to), backup_(sqlite3_backup_init(to.handle(), "main", from.handle(), "main")) {
        if (!backup_) to.fail(QStringLiteral("cannot start the backup"));
    }
    ~Backup() {
        if (backup_) sqlite3_backup_finish(backup_);
    }
    Backup(const Backup&) = delete;
    Backup& operator=(const Backup&) = delete;

    void run(const std::function<void(const BackupProgress&)>& progress) {
        int slice = kFirstSlicePages;
        int lastRemaining = -1;
        BackupProgress state;
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        for (;;) {
            const int rc = sqlite3_backup_step(backup_, slice);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (sinceProgress.hasExpired(kGiveUpAfterMs))
                    throw DbError(QStringLiteral("the database stayed locked"), DbError::Kind::Busy);
                QThread::msleep(kBusyPauseMs);
                continue;
            }
            if (rc != SQLITE_OK && rc != SQLITE_DONE) finish(rc);
            sinceProgress.restart();
            const int remaining = sqlite3_backup_remaining(backup_);
            state.totalPages = sqlite3_backup_pagecount(backup_);
            state.copiedPages = state.totalPages - remaining;
            // The copy started again: a workstation wrote between two slices. (Without a new start every slice
            // leaves fewer pages to go; with one right after the first slice, as many as before.)
            if (rc == SQLITE_OK && lastRemaining >= 0 && remaining >= lastRemaining) {
                ++state.restarts;
                slice *= 2;
            }
            lastRemaining = remaining;
            if (progress) progress(state);
            if (rc == SQLITE_DONE) return finish(rc);
        }
    }

  private:
    void finish(int stepResult) {
        const int rc = sqlite3_backup_finish(backup_);
        backup_ = nullptr;
        if (stepResult != SQLITE_DONE || rc != SQLITE_OK) to_.fail(QStringLiteral("the backup failed"));
    }

    const Connection& to_;
    sqlite3_backup* backup_;
};

}  // namespace

void backupDatabaseFile(const QString& source, const QString& destination,
                        const std::function<void(const BackupProgress&)>& progress) {
    // Read-write, as a workstation opens it: a journal left by a crashed writer must be rolled back before reading.
    Connection from(source, SQLITE_OPEN_READWRITE);
    from.run("SELECT count(*) FROM sqlite_master");
    // The new file is made here, not by SQLite, so that one that appeared meanwhile is never written over.
    createNewFile(destination);
    try {
        {
            Connection to(destination, SQLITE_OPEN_READWRITE);
            to.run("PRAGMA journal_mode=OFF");
            to.run("PRAGMA synchronous=OFF");
            Backup(to, from).run(progress);
        }
        // The copy is written without a journal and without waiting for the disk at every slice; it is brought to
        // the disk once, when it is complete.
        syncFileToDisk(destination);
    } catch (...) {
        QFile::remove(destination);
        throw;
    }
}

}  // namespace kesola
