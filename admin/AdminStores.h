#pragma once

#include <QString>
#include <memory>

#include "store/engine/QtSqlDatabase.h"

namespace kesola {

// How kesola-admin reaches a store named on its command line: a database file path or a postgresql:// URI, the
// same two forms the settings file holds.

// A store that kesola-admin is about to fill. A missing file is created; a server database must already exist
// (the administrator makes it with createdb). Remembers whether it made the file, so that a failed command can
// leave nothing behind.
struct TargetStore {
    std::unique_ptr<QtSqlDatabase> db;
    bool createdFile = false;
};
TargetStore openTarget(const QString& location);

// Takes back what a failed command made in a target: removes a file it created, or drops the tables it created on
// the server. Never throws.
void discardTarget(TargetStore& target, const QString& location, bool tablesCreated);

// The server's encoding must hold Japanese text; a database made with another encoding would refuse the names.
// Throws DbError naming the encoding.
void requireUnicode(Database& db);

// What a location looks like in kesola-admin's output: a password written into a URI never appears.
QString shown(const QString& location);

}  // namespace kesola
