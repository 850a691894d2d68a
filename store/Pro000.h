#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "store/engine/Database.h"

namespace kesola {

class MessageService;
class Clock;

// The globals of the shared module, set at start-up and read by every window for the whole run.
// PATH_APP ends with the platform's folder separator ("/" here, "\" on Windows); start-up sets it (see AppFolders.h)
// together with systemSettingsFile, unless the caller has already chosen PATH_APP.
struct Pro000 {
    QString PATH_APP;
    QString PATH_DB;
    std::unique_ptr<Database> DB;  // null while no database could be opened
    // Set while the store PATH_DB names has gone away under the running program, or could not be opened at start-up;
    // it is opened as soon as it is there.
    bool storeGone = false;
    // Set while the lock this workstation took could not be given back; later ticks try again.
    bool releasePending = false;
    QString SYS_TITLE;
    std::int16_t SEL_CELL = 0;
    QString systemSettingsFile;  // the workstation's settings file, read when PATH_APP holds none; empty for none

    MessageService* messages = nullptr;  // required
    const Clock* clock = nullptr;        // required
};

// The open database. Throws DbError ("データベースが開かれていません。") while none is open, and also while the open
// one is no longer the store PATH_DB names (its file deleted or replaced), so that nothing is written where no
// other workstation looks.
Database& requireDatabase(const Pro000& g);

// Opens the store as the program does, on a connection thread of its own (see ThreadedDatabase.h). A database that
// holds none of the system's tables (a 0-byte file, an empty SQLite file) is not the reservation book and counts as not
// opened. Throws DbError.
std::unique_ptr<Database> openStore(const QString& location);

// True when the store refuses writes (a read-only file, a read-only role, a standby server): a write transaction
// that changes nothing is tried and rolled back. False also when it cannot tell (busy, gone). Never throws.
bool storeRefusesWrites(Database& db);

// Keeps DB the store PATH_DB names: drops a database that no longer is (deleted or replaced), and opens again
// the one at PATH_DB after such a loss, once it is there. Cheap while nothing changed: the board calls it at
// every tick. Returns true when DB changed.
bool followStoreNamed(Pro000& g);

}  // namespace kesola
