#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QTemporaryDir>

#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/PostgresDatabase.h"
#include "store/engine/SqliteDatabase.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

using namespace kesola;
using kesola::test::queryPlan;
using kesola::test::TestDatabase;
using kesola::test::writeFile;

TEST(Database, OpeningNeverCreatesAMissingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KESOLA.MDB"));
    EXPECT_THROW(openDatabase(path), DbError);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_THROW(openDatabase(QString()), DbError);
    EXPECT_THROW(openDatabase(dir.path()), DbError);
}

TEST(Database, AFileThatIsNoDatabaseDoesNotOpen) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KESOLA.MDB"));
    // The head of a Jet file, then noise: another database program's file.
    writeFile(path, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4096, '\x5a'));
    EXPECT_THROW(openDatabase(path), DbError);
}

// Both reads, select and the long read that an export uses, walk the same rows the same way.
TEST(Database, SelectWalksRowsInOrderAndReadsMissingValuesAsEmpty) {
    TestDatabase t;
    t.addRoom(QStringLiteral("2"), QStringLiteral("第２室"));
    t.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
    t.connect()->execute(QStringLiteral("INSERT INTO ROOM (CODE) VALUES ('3')"));
    auto db = t.connect();
    for (auto read : {&Database::select, &Database::selectLong}) {
        auto rs =
            ((*db).*read)(QStringLiteral("SELECT * FROM ROOM WHERE CODE BETWEEN '00' AND '99' ORDER BY CODE ASC;"));
        ASSERT_FALSE(rs->isEmpty());
        QStringList seen;
        for (; !rs->eof(); rs->moveNext())
            seen << rs->field(QStringLiteral("CODE")) + u'=' + rs->field(QStringLiteral("rname")) +
                        rs->field(QStringLiteral("NOSUCH"));
        EXPECT_EQ(seen, (QStringList{QStringLiteral("1=ＭＲＩ室"), QStringLiteral("2=第２室"), QStringLiteral("3=")}));
        EXPECT_EQ(rs->field(QStringLiteral("CODE")), QString());  // past the end
        auto none = ((*db).*read)(QStringLiteral("SELECT * FROM ROOM WHERE CODE LIKE '9*'"));
        EXPECT_TRUE(none->isEmpty());
        EXPECT_TRUE(none->eof());
        EXPECT_THROW(((*db).*read)(QStringLiteral("SELECT * FROM NOSUCH")), DbError);
    }
}

TEST(Database, KeyedTableAddsEditsAndDeletesThroughBoundValues) {
    TestDatabase t;
    auto db = t.connect();
    const QString hostile = QStringLiteral("'; DROP TABLE KESOLA; -- \"%*,");
    {
        auto table = openTable(*db, QStringLiteral("KESOLA"));
        EXPECT_FALSE(table->seek(QStringLiteral("1200503070930")));
        EXPECT_TRUE(table->noMatch());
        table->addNew();
        table->setField(QStringLiteral("CODE"), QStringLiteral("1200503070930"));
        table->setField(QStringLiteral("YNAME"), hostile);
        table->setField(QStringLiteral("Min"), QStringLiteral("30"));
        table->update();
        table->close();
    }
    {
        auto table = openTable(*db, QStringLiteral("KESOLA"));
        ASSERT_TRUE(table->seek(QStringLiteral("1200503070930")));
        EXPECT_EQ(table->field(QStringLiteral("YNAME")), hostile);
        EXPECT_EQ(table->field(QStringLiteral("ETC")), QString());
        table->edit();
        table->setField(QStringLiteral("Min"), QStringLiteral("60"));
        table->update();
    }
    EXPECT_EQ(t.count(QStringLiteral("KESOLA")), 1);
    {
        auto table = openTable(*db, QStringLiteral("KESOLA"));
        ASSERT_TRUE(table->seek(QStringLiteral("1200503070930")));
        EXPECT_EQ(table->field(QStringLiteral("MIN")), QStringLiteral("60"));
        EXPECT_EQ(table->field(QStringLiteral("YNAME")), hostile);
        table->deleteRow();
    }
    EXPECT_EQ(t.count(QStringLiteral("KESOLA")), 0);
}

TEST(Database, UnknownTablesAndFieldsAreRefused) {
    TestDatabase t;
    auto db = t.connect();
    EXPECT_THROW(openTable(*db, QStringLiteral("NOPE")), DbError);
    auto table = openTable(*db, QStringLiteral("ROOM"));
    table->addNew();
    EXPECT_THROW(table->setField(QStringLiteral("CODE = '1'; --"), QStringLiteral("x")), DbError);
    db->execute(QStringLiteral("DROP TABLE BU"));
    EXPECT_THROW(openTable(*db, QStringLiteral("BU")), DbError);
    EXPECT_THROW(db->select(QStringLiteral("SELECT * FROM BU")), DbError);
}

TEST(Database, DayQueryUsesTheMainKeyIndex) {
    TestDatabase t;
    const QString plan =
        queryPlan(t, QStringLiteral("SELECT * FROM KESOLA WHERE CODE LIKE '120050307*' ORDER BY CODE ASC;"));
    if (t.onServer()) {
        // PostgreSQL folds the unquoted index name to lower case.
        const QString index = mainKeyIndexName(QStringLiteral("KESOLA")).toLower();
        EXPECT_TRUE(plan.contains(QStringLiteral("Index Scan using ") + index) ||
                    plan.contains(QStringLiteral("Index Only Scan using ") + index) ||
                    plan.contains(QStringLiteral("Bitmap Index Scan on ") + index))
            << plan.toStdString();
        EXPECT_FALSE(plan.contains(QStringLiteral("Seq Scan"))) << plan.toStdString();
        return;
    }
    EXPECT_TRUE(
        plan.contains(QStringLiteral("SEARCH KESOLA USING INDEX ") + mainKeyIndexName(QStringLiteral("KESOLA"))))
        << plan.toStdString();
    EXPECT_FALSE(plan.contains(QStringLiteral("SCAN"))) << plan.toStdString();
}

TEST(Database, ClosedReaderLetsAnotherConnectionWrite) {
    TestDatabase t;
    auto board = t.connect();
    auto other = t.connect();
    t.addReservation(QStringLiteral("1200503070930"), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("a"),
                     QStringLiteral("01"), QStringLiteral("1"));
    for (int i = 0; i < 3; ++i) {
        const QString day = QStringLiteral("SELECT * FROM KESOLA WHERE CODE LIKE '120050307*' ORDER BY CODE ASC;");
        auto rs = i % 2 ? board->selectLong(day) : board->select(day);
        EXPECT_FALSE(rs->isEmpty());
        rs->close();
        EXPECT_EQ(other->execute(QStringLiteral("UPDATE KESOLA SET AGE = ? WHERE CODE = ?"),
                                 {QString::number(i), QStringLiteral("1200503070930")}),
                  1);
    }
}

TEST(Database, WriteTransactionRollsBackUnlessCommitted) {
    TestDatabase t;
    auto db = t.connect();
    {
        WriteTransaction tx(*db);
        db->execute(QStringLiteral("INSERT INTO BU (CODE, BNAME) VALUES ('01', 'x')"));
    }
    EXPECT_EQ(t.count(QStringLiteral("BU")), 0);
    {
        WriteTransaction tx(*db);
        db->execute(QStringLiteral("INSERT INTO BU (CODE, BNAME) VALUES ('01', 'x')"));
        tx.commit();
    }
    EXPECT_EQ(t.count(QStringLiteral("BU")), 1);
}

TEST(Database, SchemaHoldsTheSingleRows) {
    TestDatabase t(QStringLiteral("テスト病院"));
    auto db = t.connect();
    auto system = openTable(*db, QStringLiteral("SYSTEM"));
    ASSERT_TRUE(system->seek(QStringLiteral("1")));
    EXPECT_EQ(system->field(QStringLiteral("SNAME")), QStringLiteral("テスト病院"));
    EXPECT_EQ(t.lockValue(), QStringLiteral("0"));
    EXPECT_TRUE(hasAnyTable(*db));
}

// Each engine names the kind of a failure from its own code; callers that retry or report ask only the kind.
TEST(Database, FailuresCarryTheKindOfTheEnginesCode) {
    using Kind = DbError::Kind;
    const struct {
        DbError::Kind (*kindOf)(const QSqlError&);
        const char* code;
        Kind kind;
    } cases[] = {
        {&SqliteDatabase::kindOf, "5", Kind::Busy},
        {&SqliteDatabase::kindOf, "6", Kind::Busy},
        {&SqliteDatabase::kindOf, "517", Kind::Busy},
        {&SqliteDatabase::kindOf, "19", Kind::Constraint},
        {&SqliteDatabase::kindOf, "2067", Kind::Constraint},
        {&SqliteDatabase::kindOf, "8", Kind::ReadOnly},
        {&SqliteDatabase::kindOf, "1032", Kind::ReadOnly},
        {&SqliteDatabase::kindOf, "1", Kind::Other},
        {&SqliteDatabase::kindOf, "", Kind::Other},
        {&PostgresDatabase::kindOf, "55P03", Kind::Busy},
        {&PostgresDatabase::kindOf, "40P01", Kind::Busy},
        {&PostgresDatabase::kindOf, "08006", Kind::ConnectionLost},
        {&PostgresDatabase::kindOf, "08001", Kind::ConnectionLost},
        {&PostgresDatabase::kindOf, "57P01", Kind::ConnectionLost},
        {&PostgresDatabase::kindOf, "57P03", Kind::ConnectionLost},
        {&PostgresDatabase::kindOf, "23505", Kind::Constraint},
        {&PostgresDatabase::kindOf, "25006", Kind::ReadOnly},
        {&PostgresDatabase::kindOf, "42501", Kind::ReadOnly},
        {&PostgresDatabase::kindOf, "42P01", Kind::Other},
        {&PostgresDatabase::kindOf, "", Kind::Other},
    };
    for (const auto& c : cases) {
        const QSqlError error(QStringLiteral("driver"), QStringLiteral("engine"), QSqlError::StatementError,
                              QString::fromLatin1(c.code));
        EXPECT_EQ(c.kindOf(error), c.kind) << c.code;
    }
}

TEST(Database, AWriteThatTheUniqueIndexRefusesIsAConstraintFailure) {
    TestDatabase t;
    auto db = t.connect();
    try {
        db->execute(QStringLiteral("INSERT INTO LOCKTBL (ID, LOCK) VALUES ('1', '0')"));
        FAIL() << "a second row with the key '1' was stored";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::Kind::Constraint) << e.what();
    }
}
