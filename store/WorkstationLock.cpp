#include "store/WorkstationLock.h"

#include <QElapsedTimer>
#include <QThread>
#include <functional>

#include "store/History.h"
#include "store/MessageService.h"
#include "store/Pro000.h"
#include "store/Schema.h"
#include "store/Texts.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"
#include "store/engine/Waits.h"

namespace kesola {

namespace {

const QString kNg = QStringLiteral("NG");

void writeFree(Database& db) {
    auto table = openTable(db, QStringLiteral("LOCKTBL"));
    if (!table->seek(QStringLiteral("1"))) throw DbError(QStringLiteral("LOCKTBL has no row with the key '1'"));
    table->edit();
    table->setField(QStringLiteral("LOCK"), QStringLiteral("0"));
    table->update();
    table->close();
}

// A workstation that keeps the lock after its window closed blocks every other one, so the release keeps trying
// through a busy database. It runs on the user-interface thread, so it gives up after waits::kReleaseMs in all (each
// try waiting at most waits::kReleaseTryMs for the other's lock); the user can still free the lock with L.

void releaseWithRetry(Database& db, const std::function<void(Database&)>& write = writeFree) {
    QElapsedTimer elapsed;
    elapsed.start();
    const ScopedLockWait shortWait(db, waits::kReleaseTryMs);
    for (;;) {
        try {
            write(db);
            return;
        } catch (const DbError& e) {
            if (!e.isBusy() || elapsed.elapsed() + waits::kReleaseTryMs > waits::kReleaseMs) throw;
            QThread::msleep(50);
        }
    }
}

// Most attempts while workstations contend meet a held lock. Reading it first needs only the database's shared
// lock, so the waiting workstations do not keep taking the write lock from each other and from the holder's
// release; the take itself stays the one atomic statement.
bool seenHeld(Database& db) {
    auto rs = db.select(QStringLiteral("SELECT * FROM LOCKTBL WHERE ID = '1';"));
    const bool held = !rs->eof() && rs->field(QStringLiteral("LOCK")) == QStringLiteral("1");
    rs->close();
    return held;
}

// The forced release is a change another workstation did not ask for, so it goes into the history with it.
void writeFreeRecorded(Database& db) {
    HistoryWriter history(db);
    WriteTransaction transaction(db);
    const TableSchema& lockTable = *findTable(QStringLiteral("LOCKTBL"));
    const QString before = history.rowUnder(lockTable, QStringLiteral("1"));
    writeFree(db);
    history.record(history_actions::kLockReleased, lockTable, QStringLiteral("1"), before);
    transaction.commit();
}

// A store that stays busy through the take's wait is another machine writing, which is what the lock's message
// says; the command does not open.
bool take(Database& db) {
    try {
        const ScopedLockWait shortWait(db, waits::kLockTakeMs);
        return !seenHeld(db) && db.takeLock();
    } catch (const DbError& e) {
        if (e.isBusy()) return false;
        throw;
    }
}

}  // namespace

void releaseLock(Pro000& g) { releaseWithRetry(requireDatabase(g), writeFreeRecorded); }

QString LOCK_SET(Pro000& g, int mode) {
    try {
        Database& db = requireDatabase(g);
        if (mode == 0) {
            g.releasePending = true;
            releaseWithRetry(db);
            g.releasePending = false;
            return {};
        }
        if (take(db)) return {};
        g.messages->notice(texts::kLockHeld, g.SYS_TITLE);
        return kNg;
    } catch (const DbError& e) {
        g.messages->reportDatabaseFailure(e, g.SYS_TITLE);
        return mode == 0 ? QString() : kNg;
    }
}

void retryPendingRelease(Pro000& g, int waitMs) {
    if (!g.releasePending || !g.DB) return;
    try {
        Database& db = requireDatabase(g);
        const ScopedLockWait shortWait(db, waitMs);
        writeFree(db);
        g.releasePending = false;
    } catch (const DbError&) {
        // Said once when the release first failed; the next tick tries again.
    }
}

}  // namespace kesola
