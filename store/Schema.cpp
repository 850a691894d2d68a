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

// Reservation keys order as bytes wherever they are kept, a performed step's CODE too.
QString columnDefinition(const TableSchema& table, const QString& column, const QString& keyCollation) {
    QString def = column + QStringLiteral(" TEXT");
    if (column == table.keyColumn) return def + keyCollation + QStringLiteral(" NOT NULL");
    if (column == QStringLiteral("CODE")) def += keyCollation;
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
        // One count, whatever columns the table gains later: the statement stays prepared on a server.
        db.select(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE 1=0").arg(name))->close();
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

const TableSchema& recordedPatientIdTable() {
    static const TableSchema table{QStringLiteral("KANJYA"),
                                   QStringLiteral("CODE"),
                                   {QStringLiteral("CODE"), QStringLiteral("KANJYAID"), QStringLiteral("YNAME")}};
    return table;
}

const TableSchema& studyTable() {
    static const TableSchema table{QStringLiteral("KENSA"),
                                   QStringLiteral("CODE"),
                                   {QStringLiteral("CODE"), QStringLiteral("STUDYUID"), QStringLiteral("YNAME")}};
    return table;
}

const TableSchema& performedStepTable() {
    static const TableSchema table{
        QStringLiteral("JISSHI"),
        QStringLiteral("UID"),
        {QStringLiteral("UID"), QStringLiteral("CODE"), QStringLiteral("KANJYAID"), QStringLiteral("YNAME"),
         QStringLiteral("STUDYUID"), QStringLiteral("AE"), QStringLiteral("JYOTAI"), QStringLiteral("NICHIJI")}};
    return table;
}

namespace {

void addIdentityRecords(Database& db) {
    db.execute(QStringLiteral("ALTER TABLE KANJYA ADD COLUMN YNAME TEXT"));
    addKeyedTable(db, studyTable());
    addKeyedTable(db, performedStepTable());
}

bool columnReadable(Database& db, const QString& table, const QString& column) {
    try {
        db.select(QStringLiteral("SELECT %1 FROM %2 WHERE 1=0").arg(column, table))->close();
        return true;
    } catch (const DbError& e) {
        if (e.kind() != DbError::Kind::Other) throw;
        return false;
    }
}

}  // namespace

IdentityForm identityFormOf(Database& db) {
    // The record, KENSA and JISSHI come in one transaction; the column alone tells them.
    if (columnReadable(db, patientIdTable().name, QStringLiteral("YNAME"))) return IdentityForm::Recorded;
    return hasPatientIdTable(db) ? IdentityForm::PatientIdsOnly : IdentityForm::NoPatientIds;
}

bool hasIdentityRecords(Database& db) {
    return identityFormOf(db) == IdentityForm::Recorded && tableReadable(db, studyTable().name) &&
           tableReadable(db, performedStepTable().name);
}

void createIdentityRecords(Database& db) {
    // What a database half made by hand already has is kept.
    const bool recorded = columnReadable(db, patientIdTable().name, QStringLiteral("YNAME"));
    const bool studies = tableReadable(db, studyTable().name);
    const bool steps = tableReadable(db, performedStepTable().name);
    WriteTransaction tx(db);
    if (!recorded) db.execute(QStringLiteral("ALTER TABLE KANJYA ADD COLUMN YNAME TEXT"));
    if (!studies) addKeyedTable(db, studyTable());
    if (!steps) addKeyedTable(db, performedStepTable());
    tx.commit();
}

int recordPatientIdOwners(Database& db) {
    WriteTransaction tx(db);
    const int recorded = db.execute(
        QStringLiteral("UPDATE KANJYA SET YNAME = (SELECT KESOLA.YNAME FROM KESOLA WHERE KESOLA.CODE = KANJYA.CODE) "
                       "WHERE (YNAME IS NULL OR YNAME = '') AND EXISTS (SELECT 1 FROM KESOLA WHERE KESOLA.CODE = "
                       "KANJYA.CODE)"));
    tx.commit();
    return recorded;
}

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
    addIdentityRecords(db);
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
