#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

#include <QAtomicInt>
#include <QCoreApplication>
#include <QRandomGenerator>

#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/JetSql.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/PostgresDatabase.h"
#include "store/engine/SqliteDatabase.h"

namespace kesola::test {

namespace {

QString serverUri() { return qEnvironmentVariable("KESOLA_TEST_PG_URI"); }

// Names are unique across the test processes that share the server (ctest runs several at once).
QString newDatabaseName() {
    static QAtomicInt counter;
    return QStringLiteral("kesola_test_%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(counter.fetchAndAddRelaxed(1))
        .arg(QRandomGenerator::global()->generate() % 0x10000, 4, 16, QLatin1Char('0'));
}

}  // namespace

bool testingOnPostgres() { return !serverUri().isEmpty(); }

QString uriWithDatabase(const QString& uri, const QString& name) {
    const qsizetype hostStart = uri.indexOf(QStringLiteral("://")) + 3;
    const qsizetype query = uri.indexOf(u'?', hostStart);
    const qsizetype end = query < 0 ? uri.size() : query;
    const qsizetype slash = uri.indexOf(u'/', hostStart);
    const qsizetype nameStart = slash >= 0 && slash < end ? slash : end;
    return uri.left(nameStart) + u'/' + name + uri.mid(end);
}

ServerScratchDatabase::ServerScratchDatabase() : name_(newDatabaseName()), uri_(uriWithDatabase(serverUri(), name_)) {
    // FILE_COPY copies the template's files instead of logging every page: a third faster on the test server.
    openDatabase(serverUri())->execute(QStringLiteral("CREATE DATABASE %1 STRATEGY FILE_COPY").arg(name_));
}

ServerScratchDatabase::~ServerScratchDatabase() {
    try {
        // FORCE ends the connections a test left open, as a process that ends closes its files.
        openDatabase(serverUri())->execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
    } catch (const DbError& e) {
        ADD_FAILURE() << "cannot drop the test database " << name_.toStdString() << ": " << e.what();
    }
}

TestDatabase::TestDatabase(const QString& title) {
    if (testingOnPostgres()) {
        server_ = std::make_unique<ServerScratchDatabase>();
        path_ = server_->uri();
        createSchema(*openDatabase(path_), title);
        return;
    }
    path_ = dir_.filePath(QStringLiteral("KESOLA.MDB"));
    auto db = SqliteDatabase::create(path_);
    createSchema(*db, title);
}

std::unique_ptr<Database> TestDatabase::connect() const { return openDatabase(path_); }

void TestDatabase::addRoom(const QString& code, const QString& name) const {
    connect()->execute(QStringLiteral("INSERT INTO ROOM (CODE, RNAME) VALUES (?, ?)"), {code, name});
}

void TestDatabase::addDepartment(const QString& code, const QString& name, int br, int bg, int bb, int fr, int fg,
                                 int fb) const {
    connect()->execute(QStringLiteral("INSERT INTO KA (CODE, KNAME, BR, BG, BB, FR, FG, FB) VALUES (?,?,?,?,?,?,?,?)"),
                       {code, name, QString::number(br), QString::number(bg), QString::number(bb), QString::number(fr),
                        QString::number(fg), QString::number(fb)});
}

void TestDatabase::addBodyPart(const QString& code, const QString& name) const {
    connect()->execute(QStringLiteral("INSERT INTO BU (CODE, BNAME) VALUES (?, ?)"), {code, name});
}

void TestDatabase::addReservation(const QString& code, const QString& minutes, const QString& department,
                                  const QString& name, const QString& bodyPart, const QString& status,
                                  const QString& sex, const QString& age, const QString& remarks) const {
    connect()->execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                                      "VALUES (?,?,?,'N',?,?,?,?,?,?)"),
                       {code, minutes, department, name, bodyPart, sex, age, status, remarks});
}

void TestDatabase::bookWholeDays(const QString& room, QDate first, QDate last) const {
    auto conn = connect();
    WriteTransaction transaction(*conn);
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        for (int hour = 7; hour < 20; hour += 2) {
            conn->execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                                         "VALUES (?,?,'01','N','A','01','1','40','1','')"),
                          {room + day.toString(QStringLiteral("yyyyMMdd")) +
                               QStringLiteral("%1").arg(hour, 2, 10, QChar(u'0')) + QStringLiteral("00"),
                           hour < 19 ? QStringLiteral("120") : QStringLiteral("60")});
        }
    }
    transaction.commit();
}

void failWrites(const TestDatabase& db, const QString& table, const QString& statement) {
    auto connection = db.connect();
    const QString trigger = QStringLiteral("fail_%1_%2").arg(table, statement);
    if (db.onServer()) {
        connection->execute(
            QStringLiteral("CREATE OR REPLACE FUNCTION kesola_test_failure() RETURNS trigger LANGUAGE plpgsql AS "
                           "'BEGIN RAISE EXCEPTION ''disk I/O error''; END'"));
        connection->execute(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION "
                                           "kesola_test_failure()")
                                .arg(trigger, statement, table));
        return;
    }
    connection->execute(
        QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END")
            .arg(trigger, statement, table));
}

std::unique_ptr<Database> TestDatabase::holdWholeStore() const {
    auto holder = connect();
    if (!onServer()) {
        holder->execute(QStringLiteral("BEGIN EXCLUSIVE"));
        return holder;
    }
    QStringList tables;
    for (const TableSchema& table : allTables()) tables << table.name;
    holder->beginWriteTransaction();
    holder->execute(QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(tables.join(u',')));
    return holder;
}

QString TestDatabase::lockValue() const {
    auto db = connect();
    auto rs = db->select(QStringLiteral("SELECT * FROM LOCKTBL WHERE ID = '1'"));
    return rs->field(QStringLiteral("LOCK"));
}

int TestDatabase::count(const QString& table) const {
    auto db = connect();
    auto rs = db->select(QStringLiteral("SELECT count(*) AS N FROM ") + table);
    return rs->field(QStringLiteral("N")).toInt();
}

namespace {

QString sqlitePlan(const QString& path, const TranslatedSql& translated) {
    auto db = SqliteDatabase::open(path);
    auto plan = db->selectNative(QStringLiteral("EXPLAIN QUERY PLAN ") + translated.sql, translated.params);
    QString detail;
    for (; !plan->eof(); plan->moveNext()) detail += plan->field(QStringLiteral("detail")) + u';';
    return detail;
}

// Literals quoted for the EXECUTE of a plan check; the values are the test's own constants.
QString quotedList(const QVariantList& params) {
    QStringList quoted;
    for (const QVariant& p : params) quoted << u'\'' + p.toString().replace(u'\'', QStringLiteral("''")) + u'\'';
    return quoted.join(u',');
}

QString postgresPlan(const QString& uri, const TranslatedSql& translated) {
    auto db = PostgresDatabase::open(uri);
    QString numbered;
    int n = 0;
    for (QChar c : translated.sql) numbered += c == u'?' ? QStringLiteral("$%1").arg(++n) : QString(c);
    db->execute(QStringLiteral("PREPARE plan_check AS ") + numbered);
    const QString arguments = translated.params.isEmpty() ? QString() : u'(' + quotedList(translated.params) + u')';
    // The server plans the first five runs afresh and may then switch to one generic plan for good.
    for (int i = 0; i < 6; ++i) db->selectNative(QStringLiteral("EXECUTE plan_check") + arguments, {})->close();
    auto plan = db->selectNative(QStringLiteral("EXPLAIN EXECUTE plan_check") + arguments, {});
    QString lines;
    for (; !plan->eof(); plan->moveNext()) lines += plan->field(QStringLiteral("QUERY PLAN")) + u'\n';
    return lines;
}

}  // namespace

QString queryPlan(const TestDatabase& db, const QString& jetSql) {
    if (db.onServer()) return postgresPlan(db.path(), translateJetSql(jetSql, PostgresDatabase::kJetDialect));
    return sqlitePlan(db.path(), translateJetSql(jetSql, SqliteDatabase::kJetDialect));
}

TestContext::TestContext(const TestDatabase* db, QDate today) : clock(today) {
    g.messages = &messages;
    g.clock = &clock;
    if (db) {
        g.PATH_DB = db->path();
        g.PATH_APP = db->folder() + QLatin1Char('/');
        g.DB = db->connect();
        g.SYS_TITLE = QStringLiteral("ＭＲＩ予約システム");
    }
}

}  // namespace kesola::test
