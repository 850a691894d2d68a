#include "admin/AdminStores.h"

#include <QFile>
#include <QFileInfo>

#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/PostgresUri.h"
#include "store/engine/SqliteDatabase.h"

namespace kesola {

TargetStore openTarget(const QString& location) {
    TargetStore target;
    if (isPostgresUri(location) || QFileInfo::exists(location)) {
        target.db = openDatabase(location);
    } else {
        target.db = SqliteDatabase::create(location);
        target.createdFile = true;
    }
    return target;
}

void discardTarget(TargetStore& target, const QString& location, bool tablesCreated) {
    if (target.createdFile) {
        target.db.reset();
        QFile::remove(location);
        return;
    }
    if (!tablesCreated || !target.db) return;
    for (const TableSchema& table : allTables()) {
        try {
            target.db->execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(table.name));
        } catch (const DbError&) {
        }
    }
}

void requireUnicode(Database& db) {
    const QString encoding = db.encodingProblem();
    if (!encoding.isEmpty()) {
        throw DbError(QStringLiteral("the database's encoding is %1; Japanese names need UTF8 "
                                     "(create it with: createdb --encoding=UTF8 --template=template0 NAME)")
                          .arg(encoding));
    }
}

QString shown(const QString& location) { return withoutPassword(location); }

}  // namespace kesola
