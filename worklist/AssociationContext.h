#pragma once

#include <QString>
#include <memory>

#include "store/engine/QtSqlDatabase.h"
#include "worklist/WorklistSettings.h"

namespace kesola::worklist {

// The connection to the store of one service thread, which serves one association at a time: opened at its first
// use, opened again when the file it reads is no longer the one the settings name (deleted, or put back from a
// backup), and dropped after any failure, so that a store that comes back is served again at the next command.
class StoreConnection {
  public:
    explicit StoreConnection(QString location) : location_(std::move(location)) {}
    // Throws DbError when the store cannot be opened.
    Database& database();
    void drop() { connection_.reset(); }

  private:
    QString location_;
    std::unique_ptr<QtSqlDatabase> connection_;
};

// What the commands of one association share: the service's settings, the thread's store, and the peer that each of
// the association's log lines names.
struct AssociationContext {
    const WorklistSettings& settings;
    StoreConnection& store;
    QString calling;  // the peer's AE title
    QString peer;     // its address

    void logFailure(const QString& what) const;
};

}  // namespace kesola::worklist
