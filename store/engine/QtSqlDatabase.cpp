#include "store/engine/QtSqlDatabase.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>
#include <utility>
#include <vector>

#include "store/engine/DbError.h"
#include "store/engine/KeyedTable.h"
#include "store/engine/TestHooks.h"

namespace kesola {

namespace {

QString errorText(const QSqlError& error) {
    const QString db = error.databaseText().trimmed();
    return db.isEmpty() ? error.text().trimmed() : db;
}

QString readValue(const QVariant& v) { return v.isNull() ? QString() : v.toString(); }

void statementStarting(const QString& sql) {
    if (test_hooks::beforeStatement) test_hooks::beforeStatement(sql);
}

}  // namespace

// A prepared statement kept for the life of the connection, so the board's twice-a-second query is parsed once.
// It is finished after every use: an active statement would hold a file engine's shared lock.
struct QtSqlDatabase::CachedStatement {
    CachedStatement(const QSqlDatabase& db, const EngineDialect& dialect) : query(db) {
        query.setForwardOnly(dialect.stepsThroughRows);
    }
    QSqlQuery query;
    bool inUse = false;
};

namespace {

class QtRecordSet : public RecordSet {
  public:
    // connection and owner keep the connection and the statement alive (a record set may outlive the Database
    // that opened it); inUse is cleared on close so the statement can serve the next read.
    QtRecordSet(std::shared_ptr<void> connection, std::shared_ptr<void> owner, QSqlQuery& query, bool* inUse,
                DbError::Kind (*kindOf)(const QSqlError&))
        : connection_(std::move(connection)), owner_(std::move(owner)), q_(query), inUse_(inUse), kindOf_(kindOf) {
        record_ = q_.record();
        atEnd_ = !q_.next();
        empty_ = atEnd_;
        if (!atEnd_ && q_.lastError().isValid()) readFailed();
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
        if (atEnd_ && q_.lastError().isValid()) readFailed();
    }
    QStringList fieldNames() const override {
        QStringList names;
        for (int i = 0; i < record_.count(); ++i) names << record_.fieldName(i);
        return names;
    }
    void close() override {
        if (closed_) return;
        closed_ = true;
        atEnd_ = true;
        q_.finish();
        if (inUse_) *inUse_ = false;
    }

  private:
    [[noreturn]] void readFailed() const {
        const QString text = errorText(q_.lastError());
        throw DbError(text.isEmpty() ? QStringLiteral("read failed") : text, kindOf_(q_.lastError()));
    }

    std::shared_ptr<void> connection_;  // released after the statement
    std::shared_ptr<void> owner_;
    QSqlQuery& q_;
    bool* inUse_;
    DbError::Kind (*kindOf_)(const QSqlError&);
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

QtSqlDatabase::QtSqlDatabase(QSqlDatabase db, const EngineDialect& dialect)
    : db_(db), connection_(std::make_shared<Connection>(std::move(db))), dialect_(dialect) {}

QtSqlDatabase::~QtSqlDatabase() {
    statements_.clear();
    db_ = QSqlDatabase();
}

QString QtSqlDatabase::newConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("kesola-%1").arg(counter.fetchAndAddRelaxed(1));
}

DbError QtSqlDatabase::failure(const QSqlError& error, const QString& message) {
    return DbError(message, dialect_.kindOf(error));
}

void QtSqlDatabase::fail(const QSqlError& error, const QString& what) {
    const QString text = errorText(error);
    throw failure(error, text.isEmpty() ? what : text);
}

void QtSqlDatabase::reopenConnection() {
    statements_.clear();
    db_.close();
    if (!db_.open()) fail(db_.lastError(), QStringLiteral("cannot connect"));
}

void QtSqlDatabase::prepareWithRetry(QSqlQuery& query, const QString& sql) {
    // As long as a statement would wait for the lock, and no longer: a repaint's short wait holds here too.
    constexpr int kPauseMs = 20;
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        if (query.prepare(sql)) return;
        const bool retry = dialect_.retriesBusyPreparation && dialect_.kindOf(query.lastError()) == DbError::Kind::Busy;
        if (!retry || elapsed.elapsed() + kPauseMs > lockWaitMs_)
            fail(query.lastError(), QStringLiteral("prepare failed"));
        QThread::msleep(kPauseMs);
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
    statementStarting(sql);
    std::shared_ptr<CachedStatement> statement;
    bool ok = false;
    if (params.isEmpty() && !dialect_.preparesPlainStatements) {
        // A statement without parameters gains little from being prepared and runs as it is.
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
    return std::make_unique<QtRecordSet>(connection_, statement, query, &statement->inUse, dialect_.kindOf);
}

std::unique_ptr<RecordSet> QtSqlDatabase::select(const QString& jetSql) {
    const TranslatedSql translated = translateJetSql(jetSql, dialect_.jet);
    return selectNative(translated.sql, translated.params);
}

std::unique_ptr<Table> QtSqlDatabase::openTable(const TableSchema& table) {
    // Opening checks that the table is there, as opening a table recordset does.
    selectNative(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE 1 = 0").arg(table.name), {})->close();
    return makeKeyedTable(*this, table);
}

int QtSqlDatabase::execute(const QString& sql, const QVariantList& params) {
    beforeStatement();
    statementStarting(sql);
    QSqlQuery query(db_);
    bool ok = false;
    if (params.isEmpty() && !dialect_.preparesPlainStatements) {
        ok = query.exec(sql);
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

QVariant QtSqlDatabase::driverHandle() const { return db_.driver() ? db_.driver()->handle() : QVariant(); }

std::shared_ptr<void> QtSqlDatabase::connectionKeeper() const { return connection_; }

void QtSqlDatabase::statementStarts(const QString& sql) {
    beforeStatement();
    statementStarting(sql);
}

void QtSqlDatabase::commitThroughDriver() {
    statementStarting(QStringLiteral("COMMIT"));
    if (!db_.commit()) fail(db_.lastError(), QStringLiteral("commit failed"));
}

}  // namespace kesola
