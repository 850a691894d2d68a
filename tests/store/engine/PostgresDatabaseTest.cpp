#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/PostgresDatabase.h"
#include "tests/support/TestDatabase.h"

using namespace kesola;
using namespace kesola::test;

namespace {

// What only the server engine does. These run in the suite's PostgreSQL pass (scripts/test.sh); the engine-neutral
// tests of the layer run in both passes.
class PostgresStore : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testingOnPostgres()) GTEST_SKIP() << "needs KESOLA_TEST_PG_URI (scripts/test.sh starts a server)";
        db = std::make_unique<TestDatabase>();
    }
    QStringList column(const QString& jetSql, const QString& field) {
        auto conn = db->connect();
        auto rs = conn->select(jetSql);
        QStringList values;
        for (; !rs->eof(); rs->moveNext()) values << rs->field(field);
        return values;
    }
    std::unique_ptr<TestDatabase> db;
};

}  // namespace

TEST_F(PostgresStore, SettingsLineOpensTheServerAndBadOnesFailCleanly) {
    EXPECT_EQ(openDatabase(db->path())->engineName(), QStringLiteral("PostgreSQL"));

    const QString missing = uriWithDatabase(db->path(), QStringLiteral("kesola_no_such_database"));
    try {
        openDatabase(missing);
        ADD_FAILURE() << "opened a database that does not exist";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("kesola_no_such_database"))) << e.what();
    }
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_THROW(openDatabase(QStringLiteral("postgresql:///kesola?host=/nonexistent/socket/folder")), DbError);
    EXPECT_LT(elapsed.elapsed(), 5000);
}

TEST_F(PostgresStore, SchemaHasTextColumnsByteOrderedKeysAndUniqueMainKeys) {
    auto conn = PostgresDatabase::open(db->path());
    auto rs = conn->selectNative(
        QStringLiteral(
            "SELECT table_name, column_name, data_type, coalesce(collation_name, '') AS coll "
            "FROM information_schema.columns WHERE table_schema = 'public' ORDER BY table_name, column_name"),
        {});
    int columns = 0;
    for (; !rs->eof(); rs->moveNext(), ++columns) {
        const QString where = rs->field(QStringLiteral("table_name")) + u'.' + rs->field(QStringLiteral("column_name"));
        // The history's NO is the one number the engine assigns.
        const QString type = where == QStringLiteral("rireki.no") ? QStringLiteral("bigint") : QStringLiteral("text");
        EXPECT_EQ(rs->field(QStringLiteral("data_type")), type) << where.toStdString();
        const QString name = rs->field(QStringLiteral("column_name"));
        if (name == QStringLiteral("code") || name == QStringLiteral("id")) {
            EXPECT_EQ(rs->field(QStringLiteral("coll")), QStringLiteral("C")) << where.toStdString();
        }
    }
    rs->close();
    EXPECT_EQ(columns, 2 + 8 + 2 + 2 + 10 + 2 + 2 + 9 + 3 + 3 + 8 + 6)
        << "the seven tables, RIREKI, KANJYA, KENSA, JISSHI and KANJYAMST";

    std::vector<TableSchema> keyed = allTables();
    keyed.push_back(patientIdTable());
    keyed.push_back(studyTable());
    keyed.push_back(performedStepTable());
    for (const TableSchema& table : keyed) {
        auto index =
            conn->selectNative(QStringLiteral("SELECT indexdef FROM pg_indexes WHERE tablename = ? AND indexname = ?"),
                               {table.name.toLower(), mainKeyIndexName(table.name).toLower()});
        ASSERT_FALSE(index->isEmpty()) << table.name.toStdString();
        EXPECT_TRUE(index->field(QStringLiteral("indexdef")).startsWith(QStringLiteral("CREATE UNIQUE INDEX")));
    }
    // The unique index refuses a second reservation in the same slot.
    db->addReservation(QStringLiteral("1200503070930"), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("a"),
                       QStringLiteral("01"), QStringLiteral("1"));
    EXPECT_THROW(db->addReservation(QStringLiteral("1200503070930"), QStringLiteral("10"), QStringLiteral("01"),
                                    QStringLiteral("b"), QStringLiteral("01"), QStringLiteral("1")),
                 DbError);
}

TEST_F(PostgresStore, DayQueryStaysOnTheIndexAmongManyReservations) {
    auto conn = PostgresDatabase::open(db->path());
    // Three rooms, a hundred days, fifteen bookings a day.
    conn->execute(
        QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                       "SELECT r || to_char(DATE '2005-01-01' + d, 'YYYYMMDD') || lpad((8 + s / 2)::text, 2, '0') || "
                       "CASE WHEN s % 2 = 0 THEN '00' ELSE '30' END, '20', '01', 'N', 'x', '01', '1', '40', '1', NULL "
                       "FROM generate_series(1, 3) r, generate_series(0, 99) d, generate_series(0, 14) s"));
    conn->execute(QStringLiteral("ANALYZE KESOLA"));
    const QString jet = QStringLiteral("SELECT * FROM KESOLA WHERE CODE LIKE '220050307*' ORDER BY CODE ASC;");
    const QString plan = queryPlan(*db, jet);
    // A small table may be read through a bitmap of the index; the two-million-row benchmark shows a plain Index Scan.
    EXPECT_TRUE(plan.contains(QStringLiteral("Index Scan using main_key_kesola on kesola")) ||
                plan.contains(QStringLiteral("Bitmap Index Scan on main_key_kesola")))
        << plan.toStdString();
    EXPECT_FALSE(plan.contains(QStringLiteral("Seq Scan"))) << plan.toStdString();

    const QStringList codes = column(jet, QStringLiteral("CODE"));
    ASSERT_EQ(codes.size(), 15);
    EXPECT_EQ(codes.first(), QStringLiteral("2200503070800"));
    EXPECT_EQ(codes.last(), QStringLiteral("2200503071500"));
    EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
}

TEST_F(PostgresStore, JetPatternsMatchPercentAndUnderscoreAsText) {
    const QStringList names = {QStringLiteral("50%引き"), QStringLiteral("50_引き"), QStringLiteral("50引き"),
                               QStringLiteral("A50%引き")};
    int minute = 0;
    for (const QString& name : names) {
        db->addReservation(QStringLiteral("12005030709") + QString::number(minute), QStringLiteral("10"),
                           QStringLiteral("01"), name, QStringLiteral("01"), QStringLiteral("1"));
        minute += 10;
    }
    const QString base = QStringLiteral("SELECT * FROM KESOLA WHERE ");
    const QString order = QStringLiteral(" ORDER BY CODE ASC;");
    EXPECT_EQ(column(base + QStringLiteral("YNAME LIKE '50%*'") + order, QStringLiteral("YNAME")),
              QStringList{QStringLiteral("50%引き")});
    EXPECT_EQ(column(base + QStringLiteral("YNAME LIKE '*%引き'") + order, QStringLiteral("YNAME")),
              (QStringList{QStringLiteral("50%引き"), QStringLiteral("A50%引き")}));
    EXPECT_EQ(column(base + QStringLiteral("YNAME LIKE '50?引き'") + order, QStringLiteral("YNAME")),
              (QStringList{QStringLiteral("50%引き"), QStringLiteral("50_引き")}));
    EXPECT_EQ(column(base + QStringLiteral("YNAME LIKE '*'") + order, QStringLiteral("YNAME")).size(), 4);
    // The export's filter on pieces of the key.
    const QString pieces = base +
                           QStringLiteral(
                               "LEFT$(CODE,1) LIKE '1' AND MID$(CODE,2,4) LIKE '2005' AND "
                               "MID$(CODE,6,2) LIKE '03' AND MID$(CODE,8,2) LIKE '*'") +
                           order;
    EXPECT_EQ(column(pieces, QStringLiteral("CODE")).size(), 4);
    EXPECT_TRUE(column(base + QStringLiteral("MID$(CODE,6,2) LIKE '04'") + order, QStringLiteral("CODE")).isEmpty());
}

TEST_F(PostgresStore, WriteTransactionHoldsOffOtherWritersButNotReaders) {
    auto writer = db->connect();
    auto other = PostgresDatabase::open(db->path());
    other->execute(QStringLiteral("SET lock_timeout = '200ms'"));
    {
        WriteTransaction tx(*writer);
        writer->execute(QStringLiteral("INSERT INTO BU (CODE, BNAME) VALUES (?, ?)"),
                        {QStringLiteral("01"), QStringLiteral("頭部")});
        auto rs = other->select(QStringLiteral("SELECT * FROM BU WHERE CODE BETWEEN '00' AND '99' ORDER BY CODE ASC;"));
        EXPECT_TRUE(rs->isEmpty());  // reads go on, and see only what is committed
        rs->close();
        EXPECT_THROW(other->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '0' WHERE ID = '1'")), DbError);
        tx.commit();
    }
    EXPECT_EQ(other->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '0' WHERE ID = '1'")), 1);
    EXPECT_EQ(db->count(QStringLiteral("BU")), 1);
}

// Two workstations register in the same day at once; each checks that the day is still free inside its write
// transaction and then books. Only one booking may result.
TEST_F(PostgresStore, CheckThenWriteInsideAWriteTransactionIsNotRaced) {
    std::atomic<int> booked{0};
    auto registerIfFree = [&](const QString& key, int pauseMs) {
        auto conn = openDatabase(db->path());
        WriteTransaction tx(*conn);
        auto day = conn->select(QStringLiteral("SELECT * FROM KESOLA WHERE CODE LIKE '120050307*' ORDER BY CODE ASC;"));
        const bool free = day->isEmpty();
        day->close();
        QThread::msleep(pauseMs);
        if (free) {
            conn->execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min) VALUES (?, '30')"), {key});
            ++booked;
        }
        tx.commit();
    };
    std::thread first([&] { registerIfFree(QStringLiteral("1200503070930"), 400); });
    QThread::msleep(100);
    std::thread second([&] { registerIfFree(QStringLiteral("1200503070940"), 0); });
    first.join();
    second.join();
    EXPECT_EQ(booked.load(), 1);
    EXPECT_EQ(db->count(QStringLiteral("KESOLA")), 1);
}

TEST_F(PostgresStore, TransactionThatMetAnErrorDoesNotCommit) {
    auto conn = db->connect();
    WriteTransaction tx(*conn);
    conn->execute(QStringLiteral("INSERT INTO BU (CODE, BNAME) VALUES ('01', 'x')"));
    EXPECT_THROW(conn->execute(QStringLiteral("INSERT INTO BU (CODE, BNAME) VALUES ('01', 'again')")), DbError);
    EXPECT_THROW(tx.commit(), DbError);
    EXPECT_EQ(db->count(QStringLiteral("BU")), 0);
    // The connection serves the next statement.
    EXPECT_EQ(conn->execute(QStringLiteral("INSERT INTO BU (CODE, BNAME) VALUES ('02', 'y')")), 1);
}

TEST_F(PostgresStore, ATableCanBeReadWhileARecordSetIsWalked) {
    db->addBodyPart(QStringLiteral("01"), QStringLiteral("頭部"));
    db->addBodyPart(QStringLiteral("02"), QStringLiteral("頸椎"));
    db->addBodyPart(QStringLiteral("03"), QStringLiteral("胸椎"));
    auto conn = db->connect();
    auto rs = conn->select(QStringLiteral("SELECT * FROM BU WHERE CODE BETWEEN '00' AND '99' ORDER BY CODE ASC;"));
    QStringList walked;
    for (; !rs->eof(); rs->moveNext()) {
        auto table = openTable(*conn, QStringLiteral("BU"));
        ASSERT_TRUE(table->seek(rs->field(QStringLiteral("CODE"))));
        walked << table->field(QStringLiteral("BNAME"));
        table->close();
    }
    EXPECT_EQ(walked, (QStringList{QStringLiteral("頭部"), QStringLiteral("頸椎"), QStringLiteral("胸椎")}));
}

TEST_F(PostgresStore, RecordSetOutlivesTheConnectionThatOpenedIt) {
    db->addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
    auto rs =
        db->connect()->select(QStringLiteral("SELECT * FROM ROOM WHERE CODE BETWEEN '00' AND '99' ORDER BY CODE ASC;"));
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->field(QStringLiteral("RNAME")), QStringLiteral("ＭＲＩ室"));
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
}
