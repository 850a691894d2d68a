#include "store/QtSqlDatabase.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>

#include "store/DbError.h"
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
struct QtSqlDatabase::CachedStatement {
    explicit CachedStatement(const QSqlDatabase& db) : query(db) { query.setForwardOnly(true); }
    QSqlQuery query;
    bool inUse = false;
};

namespace {

class QtRecordSet : public RecordSet {
  public:
    // owner keeps the statement alive; inUse is cleared on close so the statement can serve the next read.
    QtRecordSet(std::shared_ptr<void> owner, QSqlQuery& query, bool* inUse)
        : owner_(std::move(owner)), q_(query), inUse_(inUse) {
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
        const int index = record_.indexOf(name);
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
    std::shared_ptr<void> owner_;
    QSqlQuery& q_;
    bool* inUse_;
    QSqlRecord record_;
    bool atEnd_ = true;
    bool empty_ = true;
    bool closed_ = false;
};

void bindAll(QSqlQuery& query, const QVariantList& params) {
    // Positions are explicit: a cached statement is bound again on every run.
    for (int i = 0; i < params.size(); ++i) query.bindValue(i, params[i]);
}

}  // namespace

namespace {

class QtTable : public Table {
  public:
    QtTable(QtSqlDatabase& db, const TableSchema& schema) : db_(db), schema_(schema) {}
    ~QtTable() override = default;

    bool seek(const QString& key) override {
        mode_ = Mode::None;
        pending_.clear();
        row_.clear();
        auto rs = db_.selectNative(QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(schema_.name, schema_.keyColumn),
                                   {key});
        found_ = !rs->isEmpty();
        if (found_) {
            for (const QString& column : schema_.columns) row_.insert(column.toUpper(), rs->field(column));
            foundKey_ = rs->field(schema_.keyColumn);
        }
        rs->close();
        return found_;
    }
    bool noMatch() const override { return !found_; }
    QString field(const QString& name) const override {
        const QString upper = name.toUpper();
        if (mode_ != Mode::None && pending_.contains(upper)) return pending_.value(upper).toString();
        return mode_ == Mode::Add ? QString() : row_.value(upper);
    }
    void edit() override {
        if (!found_) throw DbError(QStringLiteral("no current record in %1").arg(schema_.name));
        mode_ = Mode::Edit;
        pending_.clear();
    }
    void addNew() override {
        mode_ = Mode::Add;
        pending_.clear();
    }
    void setField(const QString& name, const QString& value) override {
        if (mode_ == Mode::None) throw DbError(QStringLiteral("update without edit or add in %1").arg(schema_.name));
        pending_.insert(columnName(name).toUpper(), value);
    }
    void update() override {
        if (mode_ == Mode::Add) {
            insertRow();
        } else if (mode_ == Mode::Edit) {
            updateRow();
        } else {
            throw DbError(QStringLiteral("update without edit or add in %1").arg(schema_.name));
        }
        mode_ = Mode::None;
        pending_.clear();
    }
    void deleteRow() override {
        if (!found_) throw DbError(QStringLiteral("no current record in %1").arg(schema_.name));
        db_.execute(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(schema_.name, schema_.keyColumn), {foundKey_});
        found_ = false;
        row_.clear();
    }
    void close() override {
        mode_ = Mode::None;
        pending_.clear();
    }

  private:
    enum class Mode { None, Edit, Add };

    // Field names are the schema's own, never user text; anything else is refused before it reaches SQL.
    QString columnName(const QString& name) const {
        for (const QString& column : schema_.columns) {
            if (column.compare(name, Qt::CaseInsensitive) == 0) return column;
        }
        throw DbError(QStringLiteral("no field %1 in %2").arg(name, schema_.name));
    }

    void insertRow() {
        QStringList columns;
        QStringList marks;
        QVariantList values;
        for (const QString& column : schema_.columns) {
            const QString upper = column.toUpper();
            if (!pending_.contains(upper)) continue;
            columns << column;
            marks << QStringLiteral("?");
            values << pending_.value(upper);
        }
        db_.execute(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(schema_.name, columns.join(u','), marks.join(u',')),
            values);
        rememberWritten();
    }

    void updateRow() {
        if (pending_.isEmpty()) return;
        QStringList sets;
        QVariantList values;
        for (const QString& column : schema_.columns) {
            const QString upper = column.toUpper();
            if (!pending_.contains(upper)) continue;
            sets << column + QStringLiteral(" = ?");
            values << pending_.value(upper);
        }
        values << foundKey_;
        db_.execute(
            QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(schema_.name, sets.join(u','), schema_.keyColumn),
            values);
        rememberWritten();
    }

    void rememberWritten() {
        if (mode_ == Mode::Add) row_.clear();
        for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) row_.insert(it.key(), it.value().toString());
        found_ = true;
        foundKey_ = row_.value(schema_.keyColumn.toUpper());
    }

    QtSqlDatabase& db_;
    const TableSchema& schema_;
    bool found_ = false;
    QString foundKey_;
    Mode mode_ = Mode::None;
    QHash<QString, QString> row_;
    QHash<QString, QVariant> pending_;
};

}  // namespace

QtSqlDatabase::QtSqlDatabase(QSqlDatabase db, SqlDialect dialect)
    : db_(std::move(db)), connectionName_(db_.connectionName()), dialect_(dialect) {}

QtSqlDatabase::~QtSqlDatabase() {
    statements_.clear();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

QString QtSqlDatabase::newConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("kesola-%1").arg(counter.fetchAndAddRelaxed(1));
}

void QtSqlDatabase::prepareWithRetry(QSqlQuery& query, const QString& sql) {
    // Another workstation's write holds the file's lock for a moment; preparing reads the schema and may meet it.
    for (int attempt = 0;; ++attempt) {
        if (query.prepare(sql)) return;
        if (!isBusy(query.lastError()) || attempt >= 50) throwQueryError(query, QStringLiteral("prepare failed"));
        QThread::msleep(100);
    }
}

std::shared_ptr<QtSqlDatabase::CachedStatement> QtSqlDatabase::prepared(const QString& sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end() && !it.value()->inUse) return it.value();
    auto statement = std::make_shared<CachedStatement>(db_);
    prepareWithRetry(statement->query, sql);
    if (it == statements_.end() && statements_.size() < 64) statements_.insert(sql, statement);
    return statement;
}

std::unique_ptr<RecordSet> QtSqlDatabase::selectNative(const QString& sql, const QVariantList& params) {
    auto statement = prepared(sql);
    QSqlQuery& query = statement->query;
    bindAll(query, params);
    if (!query.exec()) {
        const QString text = errorText(query.lastError());
        query.finish();
        statements_.remove(sql);
        throw DbError(text.isEmpty() ? QStringLiteral("query failed") : text);
    }
    statement->inUse = true;
    return std::make_unique<QtRecordSet>(statement, query, &statement->inUse);
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
    return std::make_unique<QtTable>(*this, *schema);
}

int QtSqlDatabase::execute(const QString& sql, const QVariantList& params) {
    QSqlQuery query(db_);
    prepareWithRetry(query, sql);
    bindAll(query, params);
    if (!query.exec()) throwQueryError(query, QStringLiteral("statement failed"));
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
    execute(dialect_ == SqlDialect::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
}

void QtSqlDatabase::commitTransaction() { execute(QStringLiteral("COMMIT")); }

void QtSqlDatabase::rollbackTransaction() { execute(QStringLiteral("ROLLBACK")); }

QString QtSqlDatabase::engineName() const {
    return dialect_ == SqlDialect::Sqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL");
}

}  // namespace kesola
