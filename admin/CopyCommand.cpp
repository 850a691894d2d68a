#include "admin/CopyCommand.h"

#include <QMap>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "admin/AdminStores.h"
#include "store/PatientRegister.h"
#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"

namespace kesola {

namespace {

// Rows are read a page at a time in key order (memory stays flat for millions of reservations) and written
// several hundred to a statement (one round trip each, well below SQLite's limit of bound values).
constexpr int kPageRows = 5000;
constexpr int kRowsPerInsert = 500;

using TableCounts = QMap<QString, qint64>;

// The record set reads NULL as empty text; the copy keeps them apart, so each column comes with a NULL marker.
QString nullMarker(const QString& column) { return column + QStringLiteral("__NULL"); }

QString pageStatement(const TableSchema& table, bool afterKey) {
    QStringList columns;
    for (const QString& c : table.columns) {
        columns << c << QStringLiteral("CASE WHEN %1 IS NULL THEN '1' ELSE '0' END AS %2").arg(c, nullMarker(c));
    }
    return QStringLiteral("SELECT %1 FROM %2 %3ORDER BY %4 LIMIT %5")
        .arg(columns.join(QStringLiteral(", ")), table.name,
             afterKey ? QStringLiteral("WHERE ") + table.keyColumn + QStringLiteral(" > ? ") : QString(),
             table.keyColumn)
        .arg(kPageRows);
}

void insertRows(QtSqlDatabase& to, const TableSchema& table, const QList<QVariantList>& rows) {
    const QString marks = u'(' + QStringList(table.columns.size(), QStringLiteral("?")).join(u',') + u')';
    QVariantList params;
    for (const QVariantList& row : rows) params += row;
    to.execute(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                   .arg(table.name, table.columns.join(u','), QStringList(rows.size(), marks).join(u',')),
               params);
}

QVariantList readRow(const RecordSet& rs, const TableSchema& table) {
    QVariantList row;
    for (const QString& c : table.columns) {
        if (rs.field(nullMarker(c)) == QStringLiteral("1")) {
            row << QVariant();
        } else {
            // Qt binds a null QString as NULL; an empty value must stay an empty text.
            const QString value = rs.field(c);
            row << QVariant(value.isNull() ? QStringLiteral("") : value);
        }
    }
    return row;
}

using Tables = std::vector<const TableSchema*>;

// The seven tables, and the patient IDs, their records and the patient register where the database keeps them.
// Requires: outside a transaction.
Tables copiedTables(Database& db) {
    Tables tables;
    for (const TableSchema& table : allTables()) tables.push_back(&table);
    // The IDs go with what each was given to, and the bookings with their study UIDs and the scanners' steps: a
    // database moved to another engine keeps offering the same study for the same booking.
    if (identityFormOf(db) == IdentityForm::Recorded) {
        for (const TableSchema* table : {&recordedPatientIdTable(), &studyTable(), &performedStepTable()})
            tables.push_back(table);
    } else if (hasPatientIdTable(db)) {
        tables.push_back(&patientIdTable());
    }
    if (hasPatientRegisterTable(db)) tables.push_back(&patientRegisterTable());
    return tables;
}

TableCounts countAll(Database& db, const Tables& tables) {
    TableCounts counts;
    for (const TableSchema* table : tables) counts.insert(table->name, countRows(db, table->name));
    return counts;
}

qint64 total(const TableCounts& counts) {
    qint64 sum = 0;
    for (qint64 n : counts) sum += n;
    return sum;
}

QString describe(const TableCounts& counts) {
    QStringList parts;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        if (it.value() > 0) parts << QStringLiteral("%1: %2").arg(it.key()).arg(it.value());
    }
    return parts.join(QStringLiteral(", "));
}

void printCounts(const Tables& tables, const TableCounts& counts, QTextStream& out) {
    for (const TableSchema* table : tables) {
        out << QStringLiteral("  %1 %2 rows\n").arg(table->name, -8).arg(counts.value(table->name), 9);
    }
}

// Copies everything while SOURCE is held still; returns the counts of SOURCE as they were during the copy.
TableCounts copyAll(QtSqlDatabase& from, QtSqlDatabase& to, const Tables& tables, bool tablesCreated) {
    // The write lock on SOURCE keeps workstations from changing it mid-copy; nothing is written, it is rolled back.
    WriteTransaction holdSource(from);
    const TableCounts counts = countAll(from, tables);
    WriteTransaction writing(to);
    if (tablesCreated) {
        // The new schema came with its own SYSTEM and LOCKTBL rows; SOURCE's replace them.
        to.execute(QStringLiteral("DELETE FROM SYSTEM"));
        to.execute(QStringLiteral("DELETE FROM LOCKTBL"));
    }
    for (const TableSchema* table : tables) {
        const qint64 copied = copyTableRows(from, to, *table);
        if (copied != counts.value(table->name)) {
            throw DbError(QStringLiteral("%1: %2 rows read, %3 expected")
                              .arg(table->name)
                              .arg(copied)
                              .arg(counts.value(table->name)));
        }
    }
    writing.commit();
    return counts;
}

// Returns the tables that differ, or an empty text when DEST holds exactly SOURCE's counts.
QString compare(const TableCounts& expected, const TableCounts& found) {
    QStringList differences;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (it.value() != found.value(it.key())) {
            differences << QStringLiteral("%1 has %2 rows, %3 expected")
                               .arg(it.key())
                               .arg(found.value(it.key()))
                               .arg(it.value());
        }
    }
    return differences.join(QStringLiteral("; "));
}

}  // namespace

qint64 countRows(Database& db, const QString& table) {
    auto rs = db.select(QStringLiteral("SELECT count(*) AS N FROM ") + table);
    const qint64 n = rs->field(QStringLiteral("N")).toLongLong();
    rs->close();
    return n;
}

qint64 copyTableRows(QtSqlDatabase& from, QtSqlDatabase& to, const QString& tableName) {
    const TableSchema* table = findTable(tableName);
    if (!table) throw DbError(QStringLiteral("no such table: %1").arg(tableName));
    return copyTableRows(from, to, *table);
}

qint64 copyTableRows(QtSqlDatabase& from, QtSqlDatabase& to, const TableSchema& schema) {
    const TableSchema* table = &schema;
    qint64 copied = 0;
    QString lastKey;
    for (bool firstPage = true;; firstPage = false) {
        auto rs =
            from.selectNative(pageStatement(*table, !firstPage), firstPage ? QVariantList() : QVariantList{lastKey});
        QList<QVariantList> batch;
        int pageRows = 0;
        for (; !rs->eof(); rs->moveNext(), ++pageRows) {
            batch << readRow(*rs, *table);
            lastKey = rs->field(table->keyColumn);
            if (batch.size() == kRowsPerInsert) {
                insertRows(to, *table, batch);
                copied += batch.size();
                batch.clear();
            }
        }
        rs->close();
        if (!batch.isEmpty()) {
            insertRows(to, *table, batch);
            copied += batch.size();
        }
        if (pageRows < kPageRows) return copied;
    }
}

int runCopy(const QString& source, const QString& destination, QTextStream& out, QTextStream& err) {
    std::unique_ptr<QtSqlDatabase> from;
    Tables tables;
    try {
        from = openDatabase(source);
        tables = copiedTables(*from);
        countAll(*from, tables);
    } catch (const DbError& e) {
        err << "kesola-admin: cannot read " << shown(source) << ": " << e.message() << "\n";
        return 1;
    }
    TargetStore target;
    bool tablesCreated = false;
    try {
        target = openTarget(destination);
        requireUnicode(*target.db);
        if (hasAnyTable(*target.db)) {
            const TableCounts present = countAll(*target.db, copiedTables(*target.db));
            if (total(present) > 0) {
                err << "kesola-admin: " << shown(destination) << " already holds rows (" << describe(present)
                    << "); it is left untouched. Copy only into an empty database.\n";
                return 1;
            }
        } else {
            createSchema(*target.db, kDefaultTitle);
            tablesCreated = true;
        }
        const auto copies = [&](const TableSchema& table) {
            return std::find(tables.begin(), tables.end(), &table) != tables.end();
        };
        if (!hasPatientIdTable(*target.db) && copies(patientIdTable())) createPatientIdTable(*target.db);
        if (!hasPatientRegisterTable(*target.db) && copies(patientRegisterTable()))
            createPatientRegisterTable(*target.db);
        const TableCounts counts = copyAll(*from, *target.db, tables, tablesCreated);
        const QString differences = compare(counts, countAll(*target.db, tables));
        if (!differences.isEmpty()) throw DbError(QStringLiteral("the copy does not match: ") + differences);
        target.db->refreshStatistics();
        out << "copied " << shown(source) << " to " << shown(destination) << "\n";
        printCounts(tables, counts, out);
        out << "every count verified\n";
        return 0;
    } catch (const DbError& e) {
        err << "kesola-admin: cannot copy to " << shown(destination) << ": " << e.message() << "\n";
        discardTarget(target, destination, tablesCreated);
        return 1;
    }
}

}  // namespace kesola
