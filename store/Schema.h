#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace kesola {

class Database;

// The seven tables of the reservation book. Every column is text; CODE columns order as bytes.
struct TableSchema {
    QString name;
    QString keyColumn;  // the column of the unique index MAIN_KEY
    QStringList columns;
};

const std::vector<TableSchema>& allTables();

// The schema of one table, or nullptr for a name that is not one of the seven.
const TableSchema* findTable(const QString& name);

// The engine's name of a table's MAIN_KEY index.
QString mainKeyIndexName(const QString& table);

// Creates the seven tables, their MAIN_KEY indexes and the single SYSTEM and LOCKTBL rows ("1", free lock).
// Requires: an empty database. Throws DbError.
void createSchema(Database& db, const QString& title);

// True when any of the seven tables already exists.
bool hasAnyTable(Database& db);

inline const QString kDefaultTitle = QStringLiteral("ＭＲＩ予約システム");

}  // namespace kesola
