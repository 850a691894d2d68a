#include "admin/AdminStores.h"

#include <QFile>
#include <QFileInfo>

#include "store/DbError.h"
#include "store/PostgresDatabase.h"
#include "store/PostgresUri.h"
#include "store/Schema.h"
#include "store/SqliteDatabase.h"

namespace kesola {

std::unique_ptr<QtSqlDatabase> openStore(const QString& location) {
    if (isPostgresUri(location)) return PostgresDatabase::open(location);
    return SqliteDatabase::open(location);
}

TargetStore openTarget(const QString& location) {
    TargetStore target;
    if (isPostgresUri(location)) {
        target.db = PostgresDatabase::open(location);
    } else if (QFileInfo::exists(location)) {
        target.db = SqliteDatabase::open(location);
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

void requireUnicode(QtSqlDatabase& db) {
    if (db.engineName() != QStringLiteral("PostgreSQL")) return;
    auto rs = db.selectNative(QStringLiteral("SHOW server_encoding"), {});
    const QString encoding = rs->field(QStringLiteral("server_encoding"));
    rs->close();
    if (encoding != QStringLiteral("UTF8")) {
        throw DbError(QStringLiteral("the database's encoding is %1; Japanese names need UTF8 "
                                     "(create it with: createdb --encoding=UTF8 --template=template0 NAME)")
                          .arg(encoding));
    }
}

QString shown(const QString& location) { return withoutPassword(location); }

}  // namespace kesola
