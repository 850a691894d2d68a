#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "tests/admin/AdminSupport.h"
#include "tests/support/TestDatabase.h"

using namespace kesola;
using namespace kesola::test;

namespace {

class PostgresAdmin : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testingOnPostgres()) GTEST_SKIP() << "needs KESOLA_TEST_PG_URI (scripts/test.sh starts a server)";
        server = std::make_unique<ServerScratchDatabase>();
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    static bool hasTables(const QString& uri) { return hasAnyTable(*openDatabase(uri)); }

    QTemporaryDir dir;
    std::unique_ptr<ServerScratchDatabase> server;
};

}  // namespace

TEST_F(PostgresAdmin, InitCreatesTheTablesInAnEmptyServerDatabaseOnce) {
    const AdminRun made = runAdminCommand({QStringLiteral("init"), server->uri(), QStringLiteral("--title"),
                                           QStringLiteral("東病院"), QStringLiteral("--demo")});
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
    EXPECT_TRUE(made.out.contains(QStringLiteral("with demo data")));
    {
        auto db = openDatabase(server->uri());
        auto system = openTable(*db, QStringLiteral("SYSTEM"));
        ASSERT_TRUE(system->seek(QStringLiteral("1")));
        EXPECT_EQ(system->field(QStringLiteral("SNAME")), QStringLiteral("東病院"));
        auto lock = openTable(*db, QStringLiteral("LOCKTBL"));
        ASSERT_TRUE(lock->seek(QStringLiteral("1")));
        EXPECT_EQ(lock->field(QStringLiteral("LOCK")), QStringLiteral("0"));
        EXPECT_TRUE(db->takeLock());
    }
    const QStringList before = dumpStore(server->uri());
    EXPECT_GT(before.size(), 100);

    const AdminRun again = runAdminCommand({QStringLiteral("init"), server->uri()});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("already holds the reservation tables"))) << again.err.toStdString();
    EXPECT_EQ(dumpStore(server->uri()), before);
}

TEST_F(PostgresAdmin, InitRefusesWhatCannotHoldTheSystemAndLeavesNothing) {
    // A password in the URI: refused, and never printed.
    const QString withPassword = QStringLiteral("postgresql://postgres:s3cret@/") + server->name() +
                                 server->uri().mid(server->uri().indexOf(u'?'));
    const AdminRun secret = runAdminCommand({QStringLiteral("init"), withPassword});
    EXPECT_EQ(secret.status, 1);
    EXPECT_FALSE((secret.out + secret.err).contains(QStringLiteral("s3cret"))) << secret.err.toStdString();
    EXPECT_TRUE(secret.err.contains(QStringLiteral("postgres:****@"))) << secret.err.toStdString();
    EXPECT_FALSE(hasTables(server->uri()));

    // A database that does not exist is not made: that is the administrator's createdb.
    const AdminRun missing =
        runAdminCommand({QStringLiteral("init"), uriWithDatabase(server->uri(), QStringLiteral("kesola_nowhere"))});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("kesola_nowhere")));

    // A database whose encoding cannot hold Japanese names.
    const QString latin = server->name() + QStringLiteral("_latin");
    auto admin = openDatabase(qEnvironmentVariable("KESOLA_TEST_PG_URI"));
    admin->execute(
        QStringLiteral("CREATE DATABASE %1 ENCODING 'SQL_ASCII' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'")
            .arg(latin));
    const QString latinUri = uriWithDatabase(server->uri(), latin);
    const AdminRun ascii = runAdminCommand({QStringLiteral("init"), latinUri});
    EXPECT_EQ(ascii.status, 1);
    EXPECT_TRUE(ascii.err.contains(QStringLiteral("SQL_ASCII"))) << ascii.err.toStdString();
    EXPECT_FALSE(hasTables(latinUri));
    admin->execute(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(latin));
}

TEST_F(PostgresAdmin, CopyFromFileToServerAndBackKeepsEveryRow) {
    const QString original = file("KESOLA.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), original, QStringLiteral("--demo")}).status, 0);
    fillVariedStore(original);

    const AdminRun up = runAdminCommand({QStringLiteral("copy"), original, server->uri()});
    ASSERT_EQ(up.status, 0) << up.err.toStdString();
    EXPECT_TRUE(up.out.contains(QStringLiteral("every count verified")));
    EXPECT_EQ(dumpStore(server->uri()), dumpStore(original));
    // The server is a working store: keyed reads and the day's query.
    auto db = openDatabase(server->uri());
    auto day = db->select(QStringLiteral("SELECT * FROM KESOLA WHERE CODE LIKE '220040101*' ORDER BY CODE ASC;"));
    ASSERT_FALSE(day->isEmpty());
    EXPECT_EQ(day->field(QStringLiteral("YNAME")), QStringLiteral("O'Brien, \"ジョン\""));
    day->close();

    const QString back = file("BACK.MDB");
    const AdminRun down = runAdminCommand({QStringLiteral("copy"), server->uri(), back});
    ASSERT_EQ(down.status, 0) << down.err.toStdString();
    EXPECT_EQ(dumpStore(back), dumpStore(original));

    // Once the server holds rows, a second copy is refused and changes nothing.
    const AdminRun twice = runAdminCommand({QStringLiteral("copy"), original, server->uri()});
    EXPECT_EQ(twice.status, 1);
    EXPECT_TRUE(twice.err.contains(QStringLiteral("already holds rows")));
    EXPECT_EQ(dumpStore(server->uri()), dumpStore(original));
}

TEST_F(PostgresAdmin, FailedCopyToTheServerLeavesItEmpty) {
    const QString source = file("KESOLA.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), source, QStringLiteral("--demo")}).status, 0);
    {
        auto db = openDatabase(source);
        db->execute(QStringLiteral("DROP INDEX MAIN_KEY_KESOLA"));
        db->execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min) SELECT CODE, Min FROM KESOLA LIMIT 1"));
    }
    const AdminRun run = runAdminCommand({QStringLiteral("copy"), source, server->uri()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("cannot copy to"))) << run.err.toStdString();
    EXPECT_FALSE(hasTables(server->uri()));
}

TEST_F(PostgresAdmin, UpgradeAddsTheHistoryTableOnTheServerAndItNumbersItsRows) {
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), server->uri(), QStringLiteral("--demo")}).status, 0);
    openDatabase(server->uri())->execute(QStringLiteral("DROP TABLE RIREKI"));
    const QStringList before = dumpStore(server->uri());
    const AdminRun upgraded = runAdminCommand({QStringLiteral("upgrade"), server->uri()});
    ASSERT_EQ(upgraded.status, 0) << upgraded.err.toStdString();
    EXPECT_EQ(dumpStore(server->uri()), before);
    auto db = openDatabase(server->uri());
    for (const char* action : {"登録", "取消"}) {
        db->execute(QStringLiteral("INSERT INTO RIREKI (NICHIJI, SOSA) VALUES ('2026-12-07 09:00:00', ?)"),
                    {QString::fromUtf8(action)});
    }
    const AdminRun listed = runAdminCommand({QStringLiteral("history"), server->uri()});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out.count(u'\n'), 2);
    EXPECT_LT(listed.out.indexOf(QStringLiteral("登録")), listed.out.indexOf(QStringLiteral("取消")));
}

TEST_F(PostgresAdmin, BackupOfTheServerRestoresWithCopyAndCheckJudgesTheServer) {
    const QString original = file("KESOLA.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), original, QStringLiteral("--demo")}).status, 0);
    ASSERT_EQ(runAdminCommand({QStringLiteral("copy"), original, server->uri()}).status, 0);

    const QString backup = file("BACKUP.MDB");
    const AdminRun run = runAdminCommand({QStringLiteral("backup"), server->uri(), backup});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("verified against the snapshot"))) << run.out.toStdString();
    EXPECT_EQ(dumpStore(backup), dumpStore(original));
    ServerScratchDatabase restored;
    ASSERT_EQ(runAdminCommand({QStringLiteral("copy"), backup, restored.uri()}).status, 0);
    EXPECT_EQ(dumpStore(restored.uri()), dumpStore(original));

    const AdminRun sound = runAdminCommand({QStringLiteral("check"), server->uri()});
    EXPECT_EQ(sound.status, 0) << sound.out.toStdString();
    EXPECT_TRUE(sound.out.contains(QStringLiteral("lock: free")));
    openDatabase(server->uri())->execute(QStringLiteral("DROP INDEX main_key_bu"));
    const AdminRun broken = runAdminCommand({QStringLiteral("check"), QStringLiteral("--quiet"), server->uri()});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.out, QStringLiteral("table BU has no MAIN_KEY index\n"));
}
