#pragma once

#include <QString>
#include <memory>

#include "store/engine/Database.h"

namespace kesola {

// Opens the store named by the settings line, as openDatabase() does, on a connection thread of its own (see
// ConnectionThread.h): every call of the database, and of the record sets and tables it hands out, runs there while
// the caller waits without freezing its windows. runDetached() runs work there without waiting, for the board's
// repaint. Throws DbError as openDatabase() does.
std::unique_ptr<Database> openOnOwnThread(const QString& location);

}  // namespace kesola
