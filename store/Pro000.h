#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "store/engine/Database.h"

namespace kesola {

class MessageService;
class Clock;

// The globals of the shared module, set at start-up and read by every window for the whole run.
// PATH_APP ends with the platform's folder separator ("/" here, "\" on Windows); start-up sets it to the program's
// folder unless the caller has already chosen one.
struct Pro000 {
    QString PATH_APP;
    QString PATH_DB;
    std::unique_ptr<Database> DB;  // null while no database could be opened
    QString SYS_TITLE;
    std::int16_t SEL_CELL = 0;

    MessageService* messages = nullptr;  // required
    const Clock* clock = nullptr;        // required
};

// The open database. Throws DbError ("データベースが開かれていません。") while none is open.
Database& requireDatabase(const Pro000& g);

}  // namespace kesola
