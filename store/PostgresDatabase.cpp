#include "store/PostgresDatabase.h"

#include <QSqlError>
#include <algorithm>

#include "store/DbError.h"
#include "store/PostgresUri.h"

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

// Connection failures (class 08) and a server shutting down or restarting (57P01-57P03).
bool isConnectionState(const QString& sqlState) {
    return sqlState.startsWith(QStringLiteral("08")) || sqlState == QStringLiteral("57P01") ||
           sqlState == QStringLiteral("57P02") || sqlState == QStringLiteral("57P03");
}

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
            throw DbError(text);
        }
        db.reset(new PostgresDatabase(handle, SqlDialect::PostgreSql));
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
    if (inTransaction()) {
        throw DbError(
            QStringLiteral("the connection to the server was lost during the transaction; nothing of it "
                           "was saved"));
    }
    if (!lastConnectFailure_.isEmpty() && sinceAttempt_.isValid() && sinceAttempt_.elapsed() < kReconnectIntervalMs)
        throw DbError(lastConnectFailure_);
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

QString PostgresDatabase::onFailure(const QSqlError& error, const QString& message) {
    if (!connectionIsOpen() || isConnectionState(error.nativeErrorCode())) lost_ = true;
    return withoutEnvironmentPassword(message);
}

}  // namespace kesola
