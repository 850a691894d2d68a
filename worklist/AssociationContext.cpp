#include "worklist/AssociationContext.h"

#include "store/engine/OpenDatabase.h"
#include "worklist/ServiceLog.h"

namespace kesola::worklist {

Database& StoreConnection::database() {
    if (connection_ && !connection_->stillTheStoreNamed()) connection_.reset();
    if (!connection_) connection_ = openDatabase(location_);
    return *connection_;
}

void AssociationContext::logFailure(const QString& what) const {
    logLine(QStringLiteral("%1 (%2): %3").arg(calling, peer, what));
}

}  // namespace kesola::worklist
