#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "store/Cp932.h"
#include "store/Schema.h"
#include "store/engine/OpenDatabase.h"
#include "tests/admin/AdminSupport.h"
#include "tests/support/TestFiles.h"

using namespace kesola;
using namespace kesola::test;

namespace {

class Admin : public ::testing::Test {
  protected:
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(Admin, ArgumentsThatMakeNoCommandShowTheUsage) {
    EXPECT_EQ(runAdminCommand({}).status, 2);
    const AdminRun copyOne = runAdminCommand({QStringLiteral("copy"), file("A.MDB")});
    EXPECT_EQ(copyOne.status, 2);
    EXPECT_TRUE(copyOne.err.contains(QStringLiteral("copy SOURCE DEST")));
    EXPECT_EQ(runAdminCommand({QStringLiteral("init")}).status, 2);
    EXPECT_EQ(runAdminCommand({QStringLiteral("drop")}).status, 2);
    const AdminRun help = runAdminCommand({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("postgresql://")));
}

TEST_F(Admin, InitMakesANewFileAndNeverOverwritesOne) {
    const QString path = file("KESOLA.MDB");
    const AdminRun made =
        runAdminCommand({QStringLiteral("init"), path, QStringLiteral("--title"), QStringLiteral("東病院")});
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
    auto db = openDatabase(path);
    auto system = openTable(*db, QStringLiteral("SYSTEM"));
    ASSERT_TRUE(system->seek(QStringLiteral("1")));
    EXPECT_EQ(system->field(QStringLiteral("SNAME")), QStringLiteral("東病院"));
    db.reset();

    const QByteArray before = readAll(path);
    const AdminRun again = runAdminCommand({QStringLiteral("init"), path, QStringLiteral("--demo")});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("already exists")));
    EXPECT_EQ(readAll(path), before);
}

TEST_F(Admin, CopyBetweenFilesKeepsEveryRowAndTellsNullFromEmpty) {
    const QString source = file("SOURCE.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), source, QStringLiteral("--demo")}).status, 0);
    fillVariedStore(source);

    const QString copy = file("COPY.MDB");
    const AdminRun run = runAdminCommand({QStringLiteral("copy"), source, copy});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(dumpStore(copy), dumpStore(source));
    EXPECT_TRUE(run.out.contains(QStringLiteral("every count verified")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("  BYOTO            1 rows")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("  SYSTEM           1 rows")));
    EXPECT_TRUE(
        dumpStore(copy).contains(QStringLiteral("KESOLA|2200401011000|10|<NULL>|<NULL>|名前だけ|<NULL>|<NULL>|"
                                                "<NULL>|<NULL>|<NULL>")));
}

TEST_F(Admin, CopyRefusesADestinationThatHoldsRows) {
    const QString source = file("SOURCE.MDB");
    const QString target = file("TARGET.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), source, QStringLiteral("--demo")}).status, 0);
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), target}).status, 0);  // SYSTEM and LOCKTBL rows
    const QStringList before = dumpStore(target);
    const AdminRun run = runAdminCommand({QStringLiteral("copy"), source, target});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("already holds rows (LOCKTBL: 1, SYSTEM: 1)")))
        << run.err.toStdString();
    EXPECT_EQ(dumpStore(target), before);

    // A file whose tables are all empty takes the copy.
    {
        auto db = openDatabase(target);
        db->execute(QStringLiteral("DELETE FROM SYSTEM"));
        db->execute(QStringLiteral("DELETE FROM LOCKTBL"));
    }
    EXPECT_EQ(runAdminCommand({QStringLiteral("copy"), source, target}).status, 0);
    EXPECT_EQ(dumpStore(target), dumpStore(source));
}

TEST_F(Admin, FailedCopyLeavesNoNewFileBehind) {
    const QString missing = file("NOWHERE.MDB");
    const QString target = file("NEW.MDB");
    const AdminRun noSource = runAdminCommand({QStringLiteral("copy"), missing, target});
    EXPECT_EQ(noSource.status, 1);
    EXPECT_TRUE(noSource.err.contains(QStringLiteral("cannot read")));
    EXPECT_FALSE(QFileInfo::exists(target));

    // Two reservations in one slot (a source whose index was lost) cannot go into a store with MAIN_KEY.
    const QString source = file("SOURCE.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), source, QStringLiteral("--demo")}).status, 0);
    {
        auto db = openDatabase(source);
        db->execute(QStringLiteral("DROP INDEX MAIN_KEY_KESOLA"));
        db->execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min) SELECT CODE, Min FROM KESOLA LIMIT 1"));
    }
    const AdminRun duplicate = runAdminCommand({QStringLiteral("copy"), source, target});
    EXPECT_EQ(duplicate.status, 1);
    EXPECT_TRUE(duplicate.err.contains(QStringLiteral("cannot copy to"))) << duplicate.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(Admin, CopyOfManyPagesKeepsEveryRowInOrder) {
    const QString source = file("SOURCE.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), source}).status, 0);
    // More rows than one page of the copy (5,000), and a last page that is not full.
    openDatabase(source)->execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 12344) "
        "INSERT INTO KESOLA (CODE, Min, YNAME) SELECT '1' || (200000000000 + i), '10', 'p' || i FROM n"));
    const QString copy = file("COPY.MDB");
    const AdminRun run = runAdminCommand({QStringLiteral("copy"), source, copy});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("  KESOLA       12345 rows"))) << run.out.toStdString();
    EXPECT_EQ(dumpStore(copy), dumpStore(source));
}

TEST_F(Admin, UpgradeAddsTheHistoryPatientIdAndRegisterTablesToAnOlderDatabaseAndChangesNoRow) {
    const QString path = file("KESOLA.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), path, QStringLiteral("--demo")}).status, 0);
    openDatabase(path)->execute(QStringLiteral("DROP TABLE RIREKI"));
    openDatabase(path)->execute(QStringLiteral("DROP TABLE KANJYA"));
    openDatabase(path)->execute(QStringLiteral("DROP TABLE KANJYAMST"));
    const QStringList before = dumpStore(path);
    const AdminRun noTable = runAdminCommand({QStringLiteral("history"), path});
    EXPECT_EQ(noTable.status, 1);
    EXPECT_TRUE(noTable.err.contains(QStringLiteral("kesola-admin upgrade"))) << noTable.err.toStdString();

    const AdminRun upgraded = runAdminCommand({QStringLiteral("upgrade"), path});
    EXPECT_EQ(upgraded.status, 0);
    EXPECT_TRUE(upgraded.out.contains(QStringLiteral("added the history table RIREKI")));
    EXPECT_TRUE(upgraded.out.contains(QStringLiteral("added the patient ID table KANJYA")));
    EXPECT_TRUE(upgraded.out.contains(QStringLiteral("added the patient register KANJYAMST")));
    EXPECT_EQ(dumpStore(path), before);
    EXPECT_EQ(runAdminCommand({QStringLiteral("check"), QStringLiteral("--quiet"), path}).status, 0);
    const AdminRun again = runAdminCommand({QStringLiteral("upgrade"), path});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(again.out.contains(QStringLiteral("nothing changed")));
    const AdminRun empty = runAdminCommand({QStringLiteral("history"), path});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, QString());
}

// Rows as the program writes them and rows another program left behind, listed and written to CSV as stored.
TEST_F(Admin, HistoryListsChangesOldestFirstFiltersThemAndWritesCsv) {
    const QString path = file("KESOLA.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), path}).status, 0);
    auto db = openDatabase(path);
    const QString insert = QStringLiteral(
        "INSERT INTO RIREKI (NICHIJI, TANMATSU, RIYOSHA, SOSA, TBL, CODE, MAE, ATO) VALUES (?, 'ws1', 'sato', ?, ?, ?, "
        "?, ?)");
    db->execute(insert,
                {"2026-12-06 09:00:00", "登録", "KESOLA", "1202612070930", "", "YNAME=山田\\t太郎\tETC=a,\"b\""});
    db->execute(insert, {"2026-12-07 10:00:00", "変更", "KESOLA", "1202612070930", "YNAME=山田\\t太郎\tETC=a,\"b\"",
                         "YNAME=山田 太郎\tETC=a,\"b\""});
    db->execute(insert, {"2026-12-07 11:00:00", "取消", "KESOLA", "2202612071000", "not=\\x parseable", ""});
    db->execute(insert, {"2026-12-08 08:00:00", "マスタ変更", "KA", "01", "CODE=01", "CODE=01\tKNAME=内科"});
    db->execute(insert,
                {"2026-12-08 09:00:00", "変更", "KANJYA", "1202612070930", "", "CODE=1202612070930\tKANJYAID=P-0001"});
    db.reset();

    const AdminRun all = runAdminCommand({QStringLiteral("history"), path});
    ASSERT_EQ(all.status, 0) << all.err.toStdString();
    const QStringList lines = all.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0],
              QStringLiteral(
                  "2026-12-06 09:00:00  ws1  sato  登録  KESOLA  1202612070930  YNAME: 山田\\t太郎; ETC: a,\"b\""));
    EXPECT_EQ(
        lines[1],
        QStringLiteral("2026-12-07 10:00:00  ws1  sato  変更  KESOLA  1202612070930  YNAME: 山田\\t太郎 → 山田 太郎"));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("MAE: not=\\\\x parseable; ATO: "))) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("KNAME:  → 内科")));

    const struct {
        QStringList options;
        int lines;
    } filters[] = {{{"--from", "2026-12-07", "--to", "2026-12-07"}, 2},
                   {{"--room", "1"}, 3},  // the booking's changes and its patient ID's
                   {{"--room", "2"}, 1},
                   {{"--code", "0"}, 1},
                   {{"--from", "2026-12-09"}, 0}};
    for (const auto& f : filters) {
        const AdminRun run = runAdminCommand(QStringList{QStringLiteral("history"), path} + f.options);
        EXPECT_EQ(run.out.count(u'\n'), f.lines) << f.options.join(u' ').toStdString();
    }
    EXPECT_EQ(
        runAdminCommand({QStringLiteral("history"), path, QStringLiteral("--from"), QStringLiteral("7 Dec")}).status,
        2);

    const QString csv = file("RIREKI.CSV");
    ASSERT_EQ(runAdminCommand({QStringLiteral("history"), path, QStringLiteral("--to"), QStringLiteral("2026-12-06"),
                               QStringLiteral("--csv"), csv})
                  .status,
              0);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        Cp932::decode(f.readAll()),
        QStringLiteral(
            "日時,端末,利用者,操作,テーブル,キー,内容\r\n"
            "2026-12-06 09:00:00,ws1,sato,登録,KESOLA,1202612070930,\"YNAME: 山田\t太郎; ETC: a,\"\"b\"\"\"\r\n"));
}

TEST_F(Admin, WithoutIdListsTheBookingsStillToBeCompleted) {
    const QString path = file("KESOLA.MDB");
    ASSERT_EQ(runAdminCommand({QStringLiteral("init"), path, QStringLiteral("--demo")}).status, 0);
    const AdminRun complete = runAdminCommand({QStringLiteral("without-id"), path});
    EXPECT_EQ(complete.out, QStringLiteral("every booking to be done has a patient ID\n")) << "the demo gives IDs";
    openDatabase(path)->execute(QStringLiteral("DELETE FROM KANJYA WHERE CODE IN ('1200503080830', '2200503070900')"));
    const AdminRun listed = runAdminCommand({QStringLiteral("without-id"), path, QStringLiteral("--days"), "2"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_TRUE(listed.out.contains(QStringLiteral("2005-03-08 08:30  room 1  1200503080830  ")))
        << listed.out.toStdString();
    EXPECT_EQ(runAdminCommand({QStringLiteral("without-id"), path, QStringLiteral("--days"), "0"}).status, 2);
}
