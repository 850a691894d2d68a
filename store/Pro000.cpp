#include "store/Pro000.h"

#include "store/Schema.h"
#include "store/Texts.h"
#include "store/engine/DbError.h"
#include "store/engine/ThreadedDatabase.h"

namespace kesola {

Database& requireDatabase(const Pro000& g) {
    if (!g.DB || !g.DB->stillTheStoreNamed()) throw DbError(texts::kNoDatabaseOpen);
    return *g.DB;
}

std::unique_ptr<Database> openStore(const QString& location) {
    std::unique_ptr<Database> db = openOnOwnThread(location);
    if (!hasAnyTable(*db)) throw DbError(QStringLiteral("no table of the reservation book: %1").arg(location));
    return db;
}

bool storeRefusesWrites(Database& db) {
    try {
        const ScopedLockWait shortWait(db, waits::kRepaintMs);
        WriteTransaction transaction(db);
        db.execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = LOCK WHERE ID = '1'"));
    } catch (const DbError& e) {
        return e.kind() == DbError::Kind::ReadOnly;
    }
    return false;
}

bool followStoreNamed(Pro000& g) {
    bool changed = false;
    if (g.DB && !g.DB->stillTheStoreNamed()) {
        g.DB.reset();
        g.storeGone = true;
        // The lock still to be given back was taken in the store that went; the one now there is not ours.
        g.releasePending = false;
        changed = true;
    }
    if (g.DB || !g.storeGone) return changed;
    try {
        g.DB = openStore(g.PATH_DB);
    } catch (const DbError&) {
        return changed;
    }
    g.storeGone = false;
    return true;
}

}  // namespace kesola
