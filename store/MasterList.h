#pragma once

#include <QString>
#include <vector>

namespace kesola {

class Database;

struct MasterEntry {
    QString code;
    QString name;  // as stored, untrimmed
};

// The rows of a master table (ROOM, KA or BU) whose name is not blank, in code order, read with the statement
// every selector of the system uses. Throws DbError.
std::vector<MasterEntry> readMasterList(Database& db, const QString& table, const QString& nameField);

// The years the date selectors offer.
inline constexpr int kFirstYear = 2001;
inline constexpr int kLastYear = 2099;

}  // namespace kesola
