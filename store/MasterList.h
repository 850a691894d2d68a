#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "store/History.h"

namespace kesola {

class Database;
class RecordSet;

struct MasterEntry {
    QString code;
    QString name;  // as stored, untrimmed
};

// The rows of a master table (ROOM, KA or BU) whose name is not blank, in code order, read with the statement
// every selector of the system uses. Throws DbError.
std::vector<MasterEntry> readMasterList(Database& db, const QString& table, const QString& nameField);

// Walks every row of a master table (ROOM, KA, BU or BYOTO) that the statement every selector uses reads: codes
// "00" to "99", in code order; blank names included. Throws DbError; the record set is closed either way.
void forEachMasterRow(Database& db, const QString& table, const std::function<void(const RecordSet&)>& eachRow);

// What a master editor's "変更" writes: the name stored in the record under the code of a master table (ROOM, KA or
// BU), with the fields that follow the name (the department's colours), a new record when there is none; an empty
// name deletes the record instead. The record and its history row are written in one transaction, or nothing is.
// Returns false when there was nothing to do: an empty name for a code without a record. Throws DbError.
bool storeMasterName(Database& db, const QString& table, const QString& nameField, const QString& code,
                     const QString& name, const RowFields& fieldsAfterName = {});

// The years the date selectors offer.
inline constexpr int kFirstYear = 2001;
inline constexpr int kLastYear = 2099;

}  // namespace kesola
