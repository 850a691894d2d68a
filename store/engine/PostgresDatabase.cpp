#include "store/engine/PostgresDatabase.h"

#include <QSqlError>
#include <algorithm>

#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"

namespace kesola {

namespace {

bool hasSetting(const QList<ConnectionSetting>& settings, const QString& keyword) {
    for (const ConnectionSetting& s : settings) {
        if (s.first == keyword) return true;
    }
    return false;
}

void addDefault(QList<ConnectionSetting>& settings, const QString& keyword, const QString& value) {
    if (!hasSetting(settings, keyword)) settings.append({keyword, value});
}

// libpq never repeats a password in its messages; this keeps it that way should the environment's one turn up.
QString withoutEnvironmentPassword(QString message) {
    const QString password = qEnvironmentVariable("PGPASSWORD");
    if (!password.isEmpty()) message.replace(password, QStringLiteral("****"));
    return message;
}

QString openFailure(const QSqlError& error) {
    const QString text = error.databaseText().trimmed();
    return withoutEnvironmentPassword(text.isEmpty() ? error.text().trimmed() : text);
}

// PostgreSQL's driver reads forward-only results one row at a time from the connection, and any other statement
// on the same connection would cut such a walk short; so the whole result is fetched at once and a procedure may
// read a table while it walks a record set, as with the file engine. It prepares no BEGIN, LOCK TABLE, CREATE,
// EXPLAIN or SHOW: statements without parameters run as they are. Preparing takes the table's lock and waits for it
// as long as lock_timeout lets any statement wait; it is not tried again.
const EngineDialect kDialect{PostgresDatabase::kJetDialect, false, false, false, &PostgresDatabase::kindOf};

QString connectionString(const QString& uri) {
    QList<ConnectionSetting> settings = parsePostgresUri(uri);
    if (hasSetting(settings, QStringLiteral("password"))) {
        throw DbError(QStringLiteral(
            "the connection URI holds a password; passwords belong in the user's .pgpass file (or PGPASSWORD), "
            "never in the settings file"));
    }
    // Without these a server that stops answering over the network would hold the window for minutes: the
    // connection attempt and any statement whose data goes unacknowledged give up after a few seconds instead.
    addDefault(settings, QStringLiteral("connect_timeout"), QStringLiteral("5"));
    addDefault(settings, QStringLiteral("tcp_user_timeout"), QStringLiteral("10000"));
    addDefault(settings, QStringLiteral("fallback_application_name"), QStringLiteral("kesola"));
    return toConnectionString(settings);
}

}  // namespace

std::unique_ptr<PostgresDatabase> PostgresDatabase::open(const QString& uri) {
    const QString options = connectionString(uri);
    const QString name = newConnectionName();
    std::unique_ptr<PostgresDatabase> db;
    {
        QSqlDatabase handle = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        if (!handle.isValid()) {
            handle = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw DbError(QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed"));
        }
        handle.setConnectOptions(options);
        if (!handle.open()) {
            const QString text = openFailure(handle.lastError());
            handle = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw DbError(text, DbError::Kind::ConnectionLost);
        }
        db.reset(new PostgresDatabase(handle, kDialect));
    }
    db->configureSession();
    return db;
}

void PostgresDatabase::setLockWait(int milliseconds) {
    lockWaitMs_ = std::max(1, milliseconds);  // 0 would mean waiting for ever
    execute(QStringLiteral("SET lock_timeout = %1").arg(lockWaitMs_));
}

void PostgresDatabase::configureSession() {
    // Writers wait for each other's locks as SQLite's busy timeout lets them, and no longer: a workstation that
    // hangs inside a write must not stop every other one for good.
    execute(QStringLiteral("SET lock_timeout = %1").arg(lockWaitMs_));
    // The statements are prepared once and run with new values (the board's twice a second). Left to itself the
    // server plans a large table's day query afresh at every run, which costs more than running it; the plan kept
    // for every value is the same walk along MAIN_KEY.
    execute(QStringLiteral("SET plan_cache_mode = force_generic_plan"));
}

void PostgresDatabase::beforeStatement() {
    if (!lost_ || reconnecting_) return;
    // The server rolled the transaction back when the connection went. A new connection must not take the rest of
    // its statements one by one, nor answer its COMMIT: the transaction fails as a whole.
    if (inTransaction_) {
        throw DbError(QStringLiteral("the connection to the server was lost during the transaction; nothing of it "
                                     "was saved"),
                      DbError::Kind::ConnectionLost);
    }
    if (!lastConnectFailure_.isEmpty() && sinceAttempt_.isValid() && sinceAttempt_.elapsed() < kReconnectIntervalMs)
        throw DbError(lastConnectFailure_, DbError::Kind::ConnectionLost);
    reconnect();
}

void PostgresDatabase::reconnect() {
    reconnecting_ = true;
    try {
        reopenConnection();
        configureSession();
    } catch (const DbError& e) {
        reconnecting_ = false;
        lastConnectFailure_ = e.message();
        sinceAttempt_.start();
        throw;
    }
    reconnecting_ = false;
    lost_ = false;
    lastConnectFailure_.clear();
}

DbError::Kind PostgresDatabase::kindOf(const QSqlError& error) {
    const QString state = error.nativeErrorCode();
    if (state == QStringLiteral("55P03") || state == QStringLiteral("40P01")) return DbError::Kind::Busy;
    if (state.startsWith(QStringLiteral("08")) || state == QStringLiteral("57P01") ||
        state == QStringLiteral("57P02") || state == QStringLiteral("57P03"))
        return DbError::Kind::ConnectionLost;
    if (state == QStringLiteral("23505")) return DbError::Kind::Constraint;
    // read_only_sql_transaction (a standby, default_transaction_read_only) and insufficient_privilege.
    if (state == QStringLiteral("25006") || state == QStringLiteral("42501")) return DbError::Kind::ReadOnly;
    return DbError::Kind::Other;
}

DbError PostgresDatabase::failure(const QSqlError& error, const QString& message) {
    DbError::Kind kind = kindOf(error);
    if (!connectionIsOpen()) kind = DbError::Kind::ConnectionLost;
    if (kind == DbError::Kind::ConnectionLost) lost_ = true;
    return DbError(withoutEnvironmentPassword(message), kind);
}

void PostgresDatabase::beginWriteTransaction() {
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

// Tables that do not exist yet (while the schema is being created) are left out.
void PostgresDatabase::lockAllTables() {
    auto rs = selectNative(QStringLiteral("SELECT quote_ident(relname) AS name FROM pg_class WHERE relkind = 'r' AND "
                                          "relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = "
                                          "current_schema()) ORDER BY relname"),
                           {});
    QStringList present;
    for (; !rs->eof(); rs->moveNext()) present << rs->field(QStringLiteral("name"));
    rs->close();
    if (present.isEmpty()) return;
    execute(QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(present.join(QStringLiteral(", "))));
}

void PostgresDatabase::commitTransaction() {
    beforeStatement();
    inTransaction_ = false;
    try {
        commitThroughDriver();
    } catch (const DbError& e) {
        // A server killed, or a primary lost in a failover, between storing the commit and answering it leaves
        // the transaction saved although the commit failed here.
        if (e.kind() == DbError::Kind::ConnectionLost) throw DbError::lostDuringCommit(e.message());
        throw;
    }
}

void PostgresDatabase::rollbackTransaction() {
    // A commit that failed has ended the transaction on the server, and one lost with the connection was rolled
    // back there; a ROLLBACK would go to whatever connection comes next.
    const bool open = inTransaction_ && connectionIsOpen();
    inTransaction_ = false;
    if (open) execute(QStringLiteral("ROLLBACK"));
}

void PostgresDatabase::beginReadSnapshot() {
    execute(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    inTransaction_ = true;
}

QStringList PostgresDatabase::integrityProblems() {
    QStringList problems;
    auto invalid = selectNative(QStringLiteral("SELECT c.relname AS name FROM pg_index i JOIN pg_class c ON c.oid = "
                                               "i.indexrelid WHERE NOT i.indisvalid AND c.relnamespace = "
                                               "(SELECT oid FROM pg_namespace WHERE nspname = current_schema()) "
                                               "ORDER BY c.relname"),
                                {});
    for (; !invalid->eof(); invalid->moveNext())
        problems << QStringLiteral("index %1 is not valid").arg(invalid->field(QStringLiteral("name")));
    invalid->close();
    auto tables = selectNative(QStringLiteral("SELECT quote_ident(relname) AS name FROM pg_class WHERE relkind = 'r' "
                                              "AND relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = "
                                              "current_schema()) ORDER BY relname"),
                               {});
    QStringList names;
    for (; !tables->eof(); tables->moveNext()) names << tables->field(QStringLiteral("name"));
    tables->close();
    for (const QString& name : names) {
        try {
            selectNative(QStringLiteral("SELECT count(*) FROM ") + name, {})->close();
        } catch (const DbError& e) {
            if (e.kind() == DbError::Kind::ConnectionLost) throw;
            problems << QStringLiteral("%1 cannot be read: %2").arg(name, e.message());
        }
    }
    return problems;
}

QString PostgresDatabase::encodingProblem() {
    auto rs = selectNative(QStringLiteral("SHOW server_encoding"), {});
    const QString encoding = rs->field(QStringLiteral("server_encoding"));
    rs->close();
    return encoding == QStringLiteral("UTF8") ? QString() : encoding;
}

// The server plans the board's query from its statistics; a bulk load would leave them out of date until the next
// automatic analysis.
void PostgresDatabase::refreshStatistics() { execute(QStringLiteral("ANALYZE")); }

bool PostgresDatabase::hasIndex(const QString& name) {
    auto rs = selectNative(QStringLiteral("SELECT count(*) AS N FROM pg_indexes WHERE schemaname = current_schema() "
                                          "AND indexname = lower(?)"),
                           {name});
    const bool found = rs->field(QStringLiteral("N")).toInt() > 0;
    rs->close();
    return found;
}

}  // namespace kesola
