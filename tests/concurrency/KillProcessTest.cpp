// Workstations killed part-way through a write: the registration, the cancellation and a master save, each run by a
// process of its own through the store's code and killed with SIGKILL at a random point of its write transaction.
// After every kill the database is opened again as the program opens it, and must hold either everything it held
// before or that plus exactly the one change with its history row.

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QThread>
#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>

#include "store/BookingStore.h"
#include "store/History.h"
#include "store/MasterList.h"
#include "store/ReservationKey.h"
#include "store/Schema.h"
#include "store/engine/OpenDatabase.h"
#include "tests/concurrency/WorkerOutput.h"
#include "tests/support/TestDatabase.h"

using namespace kesola;
using namespace kesola::test;

namespace {

const QString kWorker = QStringLiteral(KESOLA_KILL_WORKER);
constexpr int kKills = 200;
// The worker stops before one of the statements after BEGIN, or before the COMMIT; a stop beyond the statements of
// its write falls after the commit. The stops are spread over the longest write the workers have run so far, at
// least kStops statements: a write that grows (a registration now reads the patient ID and study rows before its
// first INSERT, some 20 statements in all) is still killed after its writes as often as before them. One stop in
// eight is set after the commit, so that each engine's commits are seen to keep what they wrote.
constexpr int kStops = 12;
constexpr int kAfterTheCommit = 100;
constexpr int kLongestPauseMs = 20;

// Every row of every table, by table name and key, each row as its columns in the schema's order.
using Rows = QMap<QString, RowFields>;
using Snapshot = QMap<QString, Rows>;

Snapshot snapshotOf(Database& db) {
    std::vector<const TableSchema*> tables{&historyTable()};
    for (const TableSchema& t : allTables()) tables.push_back(&t);
    Snapshot s;
    for (const TableSchema* t : tables) {
        Rows& rows = s[t->name];
        for (auto rs = db.select(QStringLiteral("SELECT * FROM ") + t->name); !rs->eof(); rs->moveNext()) {
            RowFields row;
            for (const QString& column : t->columns) row.append({column, rs->field(column)});
            rows.insert(rs->field(t->keyColumn), row);
        }
    }
    return s;
}

QString valueOf(const RowFields& row, const QString& column) {
    for (const auto& [name, value] : row) {
        if (name == column) return value;
    }
    return {};
}

// One write a worker is told to make, and what it must leave in the database when it commits.
struct Change {
    QStringList line;  // the worker's fields after the stop
    QString table;
    QString key;
    std::optional<RowFields> after;  // none: the row is removed
    QString action;                  // the history's SOSA
};

RowFields rowOf(const QString& table, const QHash<QString, QString>& values) {
    RowFields row;
    for (const QString& column : findTable(table)->columns) row.append({column, values.value(column)});
    return row;
}

QString pick(QRandomGenerator& rng, const QStringList& from) { return from[rng.bounded(int(from.size()))]; }

QString anyKey(const Rows& rows, QRandomGenerator& rng) {
    return std::next(rows.cbegin(), rng.bounded(int(rows.size()))).key();
}

QString numberUpTo(QRandomGenerator& rng, int highest) { return QString::number(rng.bounded(highest + 1)); }

const QStringList kNames{QStringLiteral("山田太郎"), QStringLiteral("ｽｽﾞｷ ﾊﾅｺ"), QStringLiteral("佐藤　一"),
                         QStringLiteral("O'Brien"), QStringLiteral("高橋\\花")};

// Every booking is alone on its day at 9:00, so no check of the day refuses it.
QString keyOfDay(int day) {
    const QDate d = QDate(2030, 1, 1).addDays(day);
    return reservationKey(QStringLiteral("1"), QString::number(d.year()), d.toString(QStringLiteral("MM")),
                          d.toString(QStringLiteral("dd")), QStringLiteral("09"), QStringLiteral("00"));
}

// Half new bookings, half replaced ones.
Change registration(const Snapshot& s, QRandomGenerator& rng, int& nextDay) {
    const Rows& rows = s[QStringLiteral("KESOLA")];
    const QString key = rng.bounded(2) ? keyOfDay(nextDay++) : anyKey(rows, rng);
    const QStringList f{key,
                        pick(rng, {QStringLiteral("10"), QStringLiteral("30"), QStringLiteral("60")}),
                        pick(rng, {QStringLiteral("01"), QStringLiteral("02")}),
                        pick(rng, kNames) + numberUpTo(rng, 99),
                        pick(rng, {QStringLiteral("01"), QStringLiteral("07")}),
                        pick(rng, {QStringLiteral("1"), QStringLiteral("2")}),
                        numberUpTo(rng, 120),
                        pick(rng, {QStringLiteral("1"), QStringLiteral("3")}),
                        QStringLiteral("造影あり ") + numberUpTo(rng, 9999)};
    const RowFields after = rowOf(QStringLiteral("KESOLA"), {{QStringLiteral("CODE"), f[0]},
                                                             {QStringLiteral("Min"), f[1]},
                                                             {QStringLiteral("KA"), f[2]},
                                                             {QStringLiteral("BYOTO"), QStringLiteral("N")},
                                                             {QStringLiteral("YNAME"), f[3]},
                                                             {QStringLiteral("BUI"), f[4]},
                                                             {QStringLiteral("SEX"), f[5]},
                                                             {QStringLiteral("AGE"), f[6]},
                                                             {QStringLiteral("JYOKYO"), f[7]},
                                                             {QStringLiteral("ETC"), f[8]}});
    return {QStringList{QStringLiteral("book")} + f, QStringLiteral("KESOLA"), key, after,
            rows.contains(key) ? QStringLiteral("変更") : QStringLiteral("登録")};
}

Change cancellation(const Snapshot& s, QRandomGenerator& rng, int&) {
    const QString key = anyKey(s[QStringLiteral("KESOLA")], rng);
    return {{QStringLiteral("cancel"), key}, QStringLiteral("KESOLA"), key, std::nullopt, QStringLiteral("取消")};
}

// Names stored in new and named slots, and now and then a named slot emptied, in all three name masters.
Change masterSave(const Snapshot& s, QRandomGenerator& rng, int&) {
    struct Master {
        QString table, nameField;
        bool colours;
    };
    static const std::array<Master, 3> masters{{{QStringLiteral("ROOM"), QStringLiteral("RNAME"), false},
                                                {QStringLiteral("BU"), QStringLiteral("BNAME"), false},
                                                {QStringLiteral("KA"), QStringLiteral("KNAME"), true}}};
    const Master& m = masters[rng.bounded(int(masters.size()))];
    const QString code =
        m.table == QStringLiteral("ROOM") ? numberUpTo(rng, 5) : QStringLiteral("0") + numberUpTo(rng, 5);
    const bool named = s[m.table].contains(code);
    const QString name = named && rng.bounded(4) == 0 ? QString() : pick(rng, kNames);
    QStringList line{QStringLiteral("master"), m.table, m.nameField, code, name};
    QHash<QString, QString> values{{QStringLiteral("CODE"), code}, {m.nameField, name}};
    if (m.colours && !name.isEmpty()) {
        for (const char* field : {"BR", "BG", "BB", "FR", "FG", "FB"}) {
            values.insert(QString::fromLatin1(field), numberUpTo(rng, 255));
            line << QString::fromLatin1(field) + u'=' + values.value(QString::fromLatin1(field));
        }
    }
    const QString action = name.isEmpty() ? QStringLiteral("マスタ削除")
                           : named        ? QStringLiteral("マスタ変更")
                                          : QStringLiteral("マスタ登録");
    return {line, m.table, code, name.isEmpty() ? std::nullopt : std::optional(rowOf(m.table, values)), action};
}

// The history row added by `now` to the rows `before` holds, when it added exactly one and changed none.
std::optional<RowFields> addedHistoryRow(const Rows& before, const Rows& now) {
    if (now.size() != before.size() + 1) return std::nullopt;
    Rows rest = now;
    qlonglong newest = 0;
    for (auto it = now.cbegin(); it != now.cend(); ++it) newest = std::max(newest, it.key().toLongLong());
    const RowFields added = rest.take(QString::number(newest));
    if (rest != before) return std::nullopt;
    return added;
}

enum class Found { Before, Changed, Neither };

// Whether the database holds what it held before the write, or that with the write and its history row. Every
// column of every row of every table counts.
Found compare(const Snapshot& before, const Change& change, const Snapshot& now) {
    if (now == before) return Found::Before;
    const std::optional<RowFields> history = addedHistoryRow(before[historyTable().name], now[historyTable().name]);
    if (!history) return Found::Neither;
    const std::optional<RowFields> old =
        before[change.table].contains(change.key) ? std::optional(before[change.table][change.key]) : std::nullopt;
    const bool historyAgrees =
        valueOf(*history, QStringLiteral("SOSA")) == change.action &&
        valueOf(*history, QStringLiteral("TBL")) == change.table &&
        valueOf(*history, QStringLiteral("CODE")) == change.key &&
        parseRowText(valueOf(*history, QStringLiteral("MAE"))) == old.value_or(RowFields{}) &&
        parseRowText(valueOf(*history, QStringLiteral("ATO"))) == change.after.value_or(RowFields{}) &&
        valueOf(*history, QStringLiteral("TANMATSU")) == QSysInfo::machineHostName() &&
        valueOf(*history, QStringLiteral("RIYOSHA")) ==
            qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME")) &&
        QDateTime::fromString(valueOf(*history, QStringLiteral("NICHIJI")), QStringLiteral("yyyy-MM-dd HH:mm:ss"))
            .isValid();
    Snapshot expected = before;
    if (change.after) {
        expected[change.table][change.key] = *change.after;
    } else {
        expected[change.table].remove(change.key);
    }
    expected[historyTable().name] = now[historyTable().name];
    return historyAgrees && expected == now ? Found::Changed : Found::Neither;
}

// Where the kill landed, from what the worker printed before it died.
enum KillPoint { kBeforeFirstWrite, kAfterAWrite, kInCommit, kAfterCommit, kKillPoints };
const char* const kKillPointNames[kKillPoints] = {"before the first write", "after a write", "in the commit",
                                                  "after the commit"};

// How many statements the worker ran inside its write, the COMMIT left out.
int statementsOf(const QStringList& said) {
    int statements = 0;
    for (const QString& line : said)
        statements += line.startsWith(QStringLiteral("at:")) && line != QStringLiteral("at:COMMIT");
    return statements;
}

KillPoint killPointOf(const QStringList& said) {
    if (said.contains(QStringLiteral("committed"))) return kAfterCommit;
    if (said.contains(QStringLiteral("at:COMMIT"))) return kInCommit;
    for (const char* verb : {"at:INSERT", "at:UPDATE", "at:DELETE"}) {
        if (said.contains(QString::fromLatin1(verb))) return kAfterAWrite;
    }
    return kBeforeFirstWrite;
}

// The server ends a killed client's session, and rolls back its transaction, once it finds the connection gone.
bool otherSessionsEnded(QtSqlDatabase& db) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        auto rs = db.selectNative(QStringLiteral("SELECT count(*) AS n FROM pg_stat_activity WHERE datname = "
                                                 "current_database() AND pid <> pg_backend_pid()"),
                                  {});
        if (rs->field(QStringLiteral("n")) == QStringLiteral("0")) return true;
        QThread::msleep(1);
    }
    return false;
}

// A rollback journal holds a rollback to make once its header carries SQLite's magic number, which the commit writes
// after the journal's pages are safely on disk; before that the database file is untouched and the journal is
// ignored.
bool isHot(const QString& journal) {
    QFile file(journal);
    return file.open(QIODevice::ReadOnly) && file.read(8) == QByteArray::fromHex("d9d505f920a163d7");
}

std::unique_ptr<QProcess> startWorker(const TestDatabase& db) {
    auto worker = std::make_unique<QProcess>();
    worker->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    worker->start(kWorker, db.onServer() ? QStringList{db.path()} : QStringList{db.path(), QStringLiteral("spill")});
    return worker;
}

struct Operation {
    const char* name;
    Change (*next)(const Snapshot&, QRandomGenerator&, int& nextDay);
};

void PrintTo(const Operation& operation, std::ostream* out) { *out << operation.name; }

class KillInsideWrite : public ::testing::TestWithParam<Operation> {};

TEST_P(KillInsideWrite, LeavesTheOldStateOrTheWholeChange) {
    QElapsedTimer elapsed;
    elapsed.start();
    TestDatabase db;
    int nextDay = 0;
    {
        auto seeding = db.connect();
        for (; nextDay < kKills; ++nextDay) {
            storeBooking(*seeding, keyOfDay(nextDay),
                         {QStringLiteral("30"), QStringLiteral("01"), kNames[0], QStringLiteral("01"),
                          QStringLiteral("1"), QStringLiteral("40"), QStringLiteral("1"), QStringLiteral("単純")},
                         std::nullopt);
        }
        storeMasterName(*seeding, QStringLiteral("ROOM"), QStringLiteral("RNAME"), QStringLiteral("1"),
                        QStringLiteral("ＭＲＩ室"));
        storeMasterName(*seeding, QStringLiteral("KA"), QStringLiteral("KNAME"), QStringLiteral("01"),
                        QStringLiteral("内科"), {{QStringLiteral("BR"), QStringLiteral("255")}});
    }
    Snapshot state = snapshotOf(*db.connect());
    const QString journal = db.path() + QStringLiteral("-journal");
    const quint32 seed = QRandomGenerator::global()->generate();
    RecordProperty("seed", std::to_string(seed));
    QRandomGenerator rng(seed);
    int landed[kKillPoints] = {};
    int journals = 0;
    int hotJournals = 0;

    int stops = kStops;
    auto worker = startWorker(db);
    for (int kill = 0; kill < kKills; ++kill) {
        const Change change = GetParam().next(state, rng, nextDay);
        const int pauseMs = rng.bounded(kLongestPauseMs + 1);
        const int stopAt = rng.bounded(8) == 0 ? kAfterTheCommit : rng.bounded(stops + 1);
        const QStringList stop{QString::number(stopAt), QString::number(pauseMs)};
        worker->write(((stop + change.line).join(u'\t') + u'\n').toUtf8());
        QByteArray said;
        ASSERT_TRUE(waitForLine(*worker, QStringLiteral("pause"), said)) << said.toStdString();
        // Two in three inside the pause, the others as it ends: inside the statement that follows it, or soon after.
        QThread::usleep(rng.bounded(3) ? rng.bounded(1000 * pauseMs + 1) : 1000 * pauseMs + rng.bounded(500));
        ASSERT_EQ(worker->state(), QProcess::Running) << "the worker ended by itself: " << said.toStdString();
        worker->kill();
        ASSERT_TRUE(worker->waitForFinished(10000));
        said += worker->readAllStandardOutput();
        const KillPoint where = killPointOf(linesOf(said));
        ++landed[where];
        stops = std::max(stops, statementsOf(linesOf(said)));

        if (!db.onServer()) {
            journals += QFile::exists(journal);
            hotJournals += isHot(journal);
        }
        auto reopened = openDatabase(db.path());
        if (db.onServer()) {
            ASSERT_TRUE(otherSessionsEnded(*reopened)) << "the server kept the killed client's session";
        } else {
            EXPECT_FALSE(isHot(journal)) << "the opening did not roll back the journal";
            EXPECT_EQ(reopened->selectNative(QStringLiteral("PRAGMA integrity_check"), {})
                          ->field(QStringLiteral("integrity_check")),
                      QStringLiteral("ok"));
        }
        worker = startWorker(db);  // it opens the database while this one is checked
        const Snapshot now = snapshotOf(*reopened);
        const Found found = compare(state, change, now);
        const bool expected = found == Found::Before    ? where != kAfterCommit
                              : found == Found::Changed ? where == kInCommit || where == kAfterCommit
                                                        : false;
        ASSERT_TRUE(expected) << "kill " << kill << " (seed " << seed << ") landed " << kKillPointNames[where] << " of "
                              << change.line.join(u' ').toStdString() << " and left "
                              << (found == Found::Before    ? "nothing of it"
                                  : found == Found::Changed ? "all of it"
                                                            : "something else")
                              << "; the worker said: " << linesOf(said).join(u' ').toStdString();
        state = now;
    }
    worker->kill();
    worker->waitForFinished();

    std::printf("%s on %s: %d kills in %.1f s; %s %d, %s %d, %s %d, %s %d; %d journals left, %d of them hot\n",
                GetParam().name, db.onServer() ? "PostgreSQL" : "SQLite", kKills, elapsed.elapsed() / 1000.0,
                kKillPointNames[0], landed[0], kKillPointNames[1], landed[1], kKillPointNames[2], landed[2],
                kKillPointNames[3], landed[3], journals, hotJournals);
    for (int p = 0; p < kKillPoints; ++p) RecordProperty(kKillPointNames[p], landed[p]);
    // Kills that never reach the transaction, or only its end, would prove nothing.
    EXPECT_GE(landed[kBeforeFirstWrite], kKills / 10);
    EXPECT_GE(landed[kAfterAWrite], kKills / 10);
    EXPECT_GE(landed[kAfterCommit], kKills / 20);
    EXPECT_GE(landed[kBeforeFirstWrite] + landed[kAfterAWrite] + landed[kInCommit], kKills * 2 / 5);
    // The worker's pages reach the file before its commit, so most kills after a write leave a file changed
    // half-way that the next opening must roll back from its journal (about one kill in eight here).
    if (!db.onServer()) {
        EXPECT_GE(hotJournals, kKills / 20);
    }
}

INSTANTIATE_TEST_SUITE_P(Writes, KillInsideWrite,
                         ::testing::Values(Operation{"Registration", &registration},
                                           Operation{"Cancellation", &cancellation},
                                           Operation{"MasterSave", &masterSave}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
