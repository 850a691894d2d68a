#include "store/QtSqlDatabase.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>
#include <utility>
#include <vector>

#include "store/DbError.h"
#include "store/KeyedTable.h"
#include "store/Schema.h"

namespace kesola {

namespace {

QString errorText(const QSqlError& error) {
    const QString db = error.databaseText().trimmed();
    return db.isEmpty() ? error.text().trimmed() : db;
}

bool isBusy(const QSqlError& error) {
    const QString text = errorText(error).toLower();
    return text.contains(QStringLiteral("locked")) || text.contains(QStringLiteral("busy"));
}

QString readValue(const QVariant& v) { return v.isNull() ? QString() : v.toString(); }

}  // namespace

[[noreturn]] void throwQueryError(const QSqlQuery& query, const QString& what) {
    const QString text = errorText(query.lastError());
    throw DbError(text.isEmpty() ? what : text);
}

// A prepared statement kept for the life of the connection, so the board's twice-a-second query is parsed once.
// It is finished after every use: an active statement would hold SQLite's shared lock.
// SQLite steps through the rows as they are read. PostgreSQL's driver reads forward-only results one row at a time
// from the connection, and any other statement on the same connection would cut such a walk short; so there the
// whole result is fetched at once and a procedure may read a table while it walks a record set, as with SQLite.
struct QtSqlDatabase::CachedStatement {
    CachedStatement(const QSqlDatabase& db, SqlDialect dialect) : query(db) {
        query.setForwardOnly(dialect == SqlDialect::Sqlite);
    }
    QSqlQuery query;
    bool inUse = false;
};

namespace {

class QtRecordSet : public RecordSet {
  public:
    // connection and owner keep the connection and the statement alive (a record set may outlive the Database
    // that opened it); inUse is cleared on close so the statement can serve the next read.
    QtRecordSet(std::shared_ptr<void> connection, std::shared_ptr<void> owner, QSqlQuery& query, bool* inUse)
        : connection_(std::move(connection)), owner_(std::move(owner)), q_(query), inUse_(inUse) {
        record_ = q_.record();
        atEnd_ = !q_.next();
        empty_ = atEnd_;
        if (!atEnd_ && q_.lastError().isValid()) throwQueryError(q_, QStringLiteral("read failed"));
    }
    ~QtRecordSet() override { close(); }

    bool isEmpty() const override { return empty_; }
    bool eof() const override { return atEnd_; }
    QString field(const QString& name) const override {
        if (atEnd_ || closed_) return {};
        const int index = columnIndex(name);
        return index < 0 ? QString() : readValue(q_.value(index));
    }
    void moveNext() override {
        if (atEnd_ || closed_) return;
        atEnd_ = !q_.next();
        if (atEnd_ && q_.lastError().isValid()) throwQueryError(q_, QStringLiteral("read failed"));
    }
    void close() override {
        if (closed_) return;
        closed_ = true;
        atEnd_ = true;
        q_.finish();
        if (inUse_) *inUse_ = false;
    }

  private:
    std::shared_ptr<void> connection_;  // released after the statement
    std::shared_ptr<void> owner_;
    QSqlQuery& q_;
    bool* inUse_;
    // Callers ask for the same few names on every row. The record's own lookup copies and compares every column
    // without regard to case, which costs more than reading the value; names as asked are compared exactly here.
    int columnIndex(const QString& name) const {
        for (const auto& [asked, index] : columns_) {
            if (asked == name) return index;
        }
        columns_.emplace_back(name, record_.indexOf(name));
        return columns_.back().second;
    }

    QSqlRecord record_;
    mutable std::vector<std::pair<QString, int>> columns_;
    bool atEnd_ = true;
    bool empty_ = true;
    bool closed_ = false;
};

void bindAll(QSqlQuery& query, const QVariantList& params) {
    // Positions are explicit: a cached statement is bound again on every run.
    for (int i = 0; i < params.size(); ++i) query.bindValue(i, params[i]);
}

}  // namespace

// Closes the connection and removes it from Qt's registry once neither the Database nor any record set it opened
// uses it any more.
struct QtSqlDatabase::Connection {
    explicit Connection(QSqlDatabase handle) : db(std::move(handle)), name(db.connectionName()) {}
    ~Connection() {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    QSqlDatabase db;
    QString name;
};

QtSqlDatabase::QtSqlDatabase(QSqlDatabase db, SqlDialect dialect)
    : db_(db), connection_(std::make_shared<Connection>(std::move(db))), dialect_(dialect) {}

QtSqlDatabase::~QtSqlDatabase() {
    statements_.clear();
    db_ = QSqlDatabase();
}

QString QtSqlDatabase::newConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("kesola-%1").arg(counter.fetchAndAddRelaxed(1));
}

void QtSqlDatabase::fail(const QSqlError& error, const QString& what) {
    const QString text = errorText(error);
    throw DbError(onFailure(error, text.isEmpty() ? what : text));
}

void QtSqlDatabase::reopenConnection() {
    statements_.clear();
    db_.close();
    if (!db_.open()) fail(db_.lastError(), QStringLiteral("cannot connect"));
}

void QtSqlDatabase::prepareWithRetry(QSqlQuery& query, const QString& sql) {
    // Another workstation's write holds the file's lock for a moment; preparing reads the schema and may meet it.
    for (int attempt = 0;; ++attempt) {
        if (query.prepare(sql)) return;
        if (!isBusy(query.lastError()) || attempt >= 50) fail(query.lastError(), QStringLiteral("prepare failed"));
        QThread::msleep(100);
    }
}

std::shared_ptr<QtSqlDatabase::CachedStatement> QtSqlDatabase::prepared(const QString& sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end() && !it.value()->inUse) return it.value();
    auto statement = std::make_shared<CachedStatement>(db_, dialect_);
    prepareWithRetry(statement->query, sql);
    if (it == statements_.end() && statements_.size() < 64) statements_.insert(sql, statement);
    return statement;
}

std::unique_ptr<RecordSet> QtSqlDatabase::selectNative(const QString& sql, const QVariantList& params) {
    beforeStatement();
    std::shared_ptr<CachedStatement> statement;
    bool ok = false;
    if (params.isEmpty() && dialect_ == SqlDialect::PostgreSql) {
        // PostgreSQL prepares plain queries only (no EXPLAIN, no SHOW); a statement without parameters gains
        // little from it and runs as it is.
        statement = std::make_shared<CachedStatement>(db_, dialect_);
        ok = statement->query.exec(sql);
    } else {
        statement = prepared(sql);
        bindAll(statement->query, params);
        ok = statement->query.exec();
    }
    QSqlQuery& query = statement->query;
    if (!ok) {
        const QSqlError error = query.lastError();
        query.finish();
        statements_.remove(sql);
        fail(error, QStringLiteral("query failed"));
    }
    statement->inUse = true;
    return std::make_unique<QtRecordSet>(connection_, statement, query, &statement->inUse);
}

std::unique_ptr<RecordSet> QtSqlDatabase::select(const QString& jetSql) {
    const TranslatedSql translated = translateJetSql(jetSql, dialect_);
    return selectNative(translated.sql, translated.params);
}

std::unique_ptr<Table> QtSqlDatabase::openTable(const QString& name) {
    const TableSchema* schema = findTable(name);
    if (!schema) throw DbError(QStringLiteral("no such table: %1").arg(name));
    // Opening checks that the table is there, as opening a table recordset does.
    selectNative(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(schema->name), {})->close();
    return makeKeyedTable(*this, *schema);
}

int QtSqlDatabase::execute(const QString& sql, const QVariantList& params) {
    beforeStatement();
    QSqlQuery query(db_);
    bool ok = false;
    if (params.isEmpty() && dialect_ == SqlDialect::PostgreSql) {
        ok = query.exec(sql);  // BEGIN, LOCK TABLE, CREATE ...: PostgreSQL cannot prepare them
    } else {
        prepareWithRetry(query, sql);
        bindAll(query, params);
        ok = query.exec();
    }
    if (!ok) fail(query.lastError(), QStringLiteral("statement failed"));
    const int changed = query.numRowsAffected();
    query.finish();
    return changed;
}

bool QtSqlDatabase::takeLock() {
    // One statement: of two workstations that both see the lock free, only one changes the row.
    const int changed =
        execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '1' WHERE ID = '1' AND (LOCK IS NULL OR LOCK <> '1')"));
    if (changed == 1) return true;
    auto rs = selectNative(QStringLiteral("SELECT ID FROM LOCKTBL WHERE ID = '1'"), {});
    const bool rowExists = !rs->isEmpty();
    rs->close();
    if (!rowExists) throw DbError(QStringLiteral("LOCKTBL has no row with the key '1'"));
    return false;
}

void QtSqlDatabase::beginWriteTransaction() {
    if (dialect_ == SqlDialect::Sqlite) {
        execute(QStringLiteral("BEGIN IMMEDIATE"));
        return;
    }
    execute(QStringLiteral("BEGIN"));
    inTransaction_ = true;
    try {
        lockAllTables();
    } catch (const DbError&) {
        try {
            rollbackTransaction();
        } catch (const DbError&) {
        }
        throw;
    }
}

// SQLite's BEGIN IMMEDIATE lets one writer at a time in while readers go on, so a check made inside a write
// transaction (is the slot still free?) still holds when its write commits. SHARE ROW EXCLUSIVE does the same on
// PostgreSQL: it conflicts with itself and with every INSERT, UPDATE and DELETE, never with a SELECT.
// Tables that do not exist yet (while the schema is being created) are left out.
void QtSqlDatabase::lockAllTables() {
    QStringList names;
    for (const TableSchema& table : allTables()) names << table.name.toLower();
    auto rs = selectNative(QStringLiteral("SELECT relname FROM pg_class WHERE relkind = 'r' AND "
                                          "pg_table_is_visible(oid) AND relname IN ('%1') ORDER BY relname")
                               .arg(names.join(QStringLiteral("','"))),
                           {});
    QStringList present;
    for (; !rs->eof(); rs->moveNext()) present << rs->field(QStringLiteral("relname"));
    rs->close();
    if (present.isEmpty()) return;
    execute(QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(present.join(QStringLiteral(", "))));
}

void QtSqlDatabase::commitTransaction() {
    if (dialect_ == SqlDialect::Sqlite) {
        execute(QStringLiteral("COMMIT"));
        return;
    }
    // A PostgreSQL transaction that met an error answers COMMIT by rolling back, without an error of its own;
    // the driver's commit reports that as the failure it is.
    beforeStatement();
    inTransaction_ = false;
    if (!db_.commit()) fail(db_.lastError(), QStringLiteral("commit failed"));
}

void QtSqlDatabase::rollbackTransaction() {
    const bool lostWithTheConnection = inTransaction_ && !connectionIsOpen();
    inTransaction_ = false;
    // A server that lost the connection has rolled the transaction back itself.
    if (dialect_ == SqlDialect::PostgreSql && lostWithTheConnection) return;
    execute(QStringLiteral("ROLLBACK"));
}

QString QtSqlDatabase::engineName() const {
    return dialect_ == SqlDialect::Sqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL");
}

}  // namespace kesola
