#include "store/Schema.h"

#include "store/PatientRegister.h"
#include "store/engine/Database.h"
#include "store/engine/DbError.h"

namespace kesola {

const std::vector<TableSchema>& allTables() {
    static const std::vector<TableSchema> tables = {
        {QStringLiteral("ROOM"), QStringLiteral("CODE"), {QStringLiteral("CODE"), QStringLiteral("RNAME")}},
        {QStringLiteral("KA"),
         QStringLiteral("CODE"),
         {QStringLiteral("CODE"), QStringLiteral("KNAME"), QStringLiteral("BR"), QStringLiteral("BG"),
          QStringLiteral("BB"), QStringLiteral("FR"), QStringLiteral("FG"), QStringLiteral("FB")}},
        {QStringLiteral("BU"), QStringLiteral("CODE"), {QStringLiteral("CODE"), QStringLiteral("BNAME")}},
        {QStringLiteral("BYOTO"), QStringLiteral("CODE"), {QStringLiteral("CODE"), QStringLiteral("BNAME")}},
        {QStringLiteral("KESOLA"),
         QStringLiteral("CODE"),
         {QStringLiteral("CODE"), QStringLiteral("Min"), QStringLiteral("KA"), QStringLiteral("BYOTO"),
          QStringLiteral("YNAME"), QStringLiteral("BUI"), QStringLiteral("SEX"), QStringLiteral("AGE"),
          QStringLiteral("JYOKYO"), QStringLiteral("ETC")}},
        {QStringLiteral("LOCKTBL"), QStringLiteral("ID"), {QStringLiteral("ID"), QStringLiteral("LOCK")}},
        {QStringLiteral("SYSTEM"), QStringLiteral("ID"), {QStringLiteral("ID"), QStringLiteral("SNAME")}},
    };
    return tables;
}

const TableSchema* findTable(const QString& name) {
    for (const TableSchema& t : allTables()) {
        if (t.name.compare(name, Qt::CaseInsensitive) == 0) return &t;
    }
    return nullptr;
}

const TableSchema& tableNamed(const QString& name) {
    const TableSchema* schema = findTable(name);
    if (!schema) throw DbError(QStringLiteral("no such table: %1").arg(name));
    return *schema;
}

std::unique_ptr<Table> openTable(Database& db, const QString& name) { return db.openTable(tableNamed(name)); }

namespace {

QString columnDefinition(const TableSchema& table, const QString& column, const QString& keyCollation) {
    QString def = column + QStringLiteral(" TEXT");
    if (column == table.keyColumn) def += keyCollation + QStringLiteral(" NOT NULL");
    return def;
}

}  // namespace

QString mainKeyIndexName(const QString& table) { return QStringLiteral("MAIN_KEY_") + table; }

const TableSchema& historyTable() {
    static const TableSchema table{QStringLiteral("RIREKI"),
                                   QStringLiteral("NO"),
                                   {QStringLiteral("NO"), QStringLiteral("NICHIJI"), QStringLiteral("TANMATSU"),
                                    QStringLiteral("RIYOSHA"), QStringLiteral("SOSA"), QStringLiteral("TBL"),
                                    QStringLiteral("CODE"), QStringLiteral("MAE"), QStringLiteral("ATO")}};
    return table;
}

namespace {

void addHistoryTable(Database& db) {
    const TableSchema& table = historyTable();
    QStringList defs{QStringLiteral("NO ") + db.growingKeyType()};
    for (const QString& column : table.columns.mid(1)) {
        defs << column + QStringLiteral(" TEXT") +
                    (column == QStringLiteral("CODE") ? db.byteOrderCollation() : QString());
    }
    db.execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(table.name, defs.join(QStringLiteral(", "))));
    db.execute(QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (NO)").arg(mainKeyIndexName(table.name), table.name));
    db.execute(QStringLiteral("CREATE INDEX RIREKI_NICHIJI ON %1 (NICHIJI)").arg(table.name));
}

}  // namespace

const TableSchema& patientIdTable() {
    static const TableSchema table{
        QStringLiteral("KANJYA"), QStringLiteral("CODE"), {QStringLiteral("CODE"), QStringLiteral("KANJYAID")}};
    return table;
}

namespace {

void addKeyedTable(Database& db, const TableSchema& table) {
    QStringList defs;
    for (const QString& column : table.columns) defs << columnDefinition(table, column, db.byteOrderCollation());
    db.execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(table.name, defs.join(QStringLiteral(", "))));
    // Index names are unique per database (SQLite) or schema (PostgreSQL), so each table's MAIN_KEY carries
    // the table's name: MAIN_KEY_KESOLA, MAIN_KEY_ROOM, ...
    db.execute(QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                   .arg(mainKeyIndexName(table.name), table.name, table.keyColumn));
}

// Whether a table can be read; a store that is busy or gone cannot say, and that is not taken for "missing".
bool tableReadable(Database& db, const QString& name) {
    try {
        db.select(QStringLiteral("SELECT * FROM %1 WHERE 1=0").arg(name))->close();
        return true;
    } catch (const DbError& e) {
        if (e.kind() != DbError::Kind::Other) throw;
        return false;
    }
}

}  // namespace

namespace {

// The search looks bookings up by patient ID as well as by key.
void addPatientIdTable(Database& db) {
    addKeyedTable(db, patientIdTable());
    db.execute(QStringLiteral("CREATE INDEX KANJYA_KANJYAID ON KANJYA (KANJYAID)"));
}

}  // namespace

void createPatientIdTable(Database& db) {
    WriteTransaction tx(db);
    addPatientIdTable(db);
    tx.commit();
}

bool hasPatientIdTable(Database& db) { return tableReadable(db, patientIdTable().name); }

void createHistoryTable(Database& db) {
    WriteTransaction tx(db);
    addHistoryTable(db);
    tx.commit();
}

// A store that is busy or gone cannot say; the change must not go unrecorded for that.
bool hasHistoryTable(Database& db) { return tableReadable(db, historyTable().name); }

void createSchema(Database& db, const QString& title) {
    WriteTransaction tx(db);
    for (const TableSchema& table : allTables()) addKeyedTable(db, table);
    db.execute(QStringLiteral("INSERT INTO SYSTEM (ID, SNAME) VALUES ('1', ?)"), {title});
    db.execute(QStringLiteral("INSERT INTO LOCKTBL (ID, LOCK) VALUES ('1', '0')"));
    addHistoryTable(db);
    addPatientIdTable(db);
    addPatientRegisterTable(db);
    tx.commit();
}

bool hasAnyTable(Database& db) {
    for (const TableSchema& table : allTables()) {
        try {
            db.select(QStringLiteral("SELECT * FROM %1 WHERE 1=0").arg(table.name));
            return true;
        } catch (const DbError&) {
        }
    }
    return false;
}

}  // namespace kesola
