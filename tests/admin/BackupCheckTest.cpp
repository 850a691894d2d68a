#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>

#include "store/engine/OpenDatabase.h"
#include "tests/admin/AdminSupport.h"
#include "tests/support/TestFiles.h"

using namespace kesola;
using namespace kesola::test;

namespace {

class BackupCheck : public ::testing::Test {
  protected:
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString demoFile(const char* name) const {
        const QString path = file(name);
        EXPECT_EQ(runAdminCommand({QStringLiteral("init"), path, QStringLiteral("--demo")}).status, 0);
        return path;
    }
    QTemporaryDir dir;
};

// Overwrites one page in the middle of the file, as a failing disk or share would.
void damageMiddlePage(const QString& path) {
    QByteArray bytes = readAll(path);
    constexpr int kPage = 4096;
    const int middle = static_cast<int>(bytes.size() / kPage / 2);
    bytes.replace(middle * kPage, kPage, QByteArray(kPage, '\x5a'));
    writeFile(path, bytes);
}

}  // namespace

TEST_F(BackupCheck, BackupOfAFileHoldsEveryRowAndNeverOverwritesAFile) {
    const QString source = demoFile("KESOLA.MDB");
    fillVariedStore(source);
    const QString copy = file("BACKUP.MDB");
    const AdminRun run = runAdminCommand({QStringLiteral("backup"), source, copy});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(dumpStore(copy), dumpStore(source));
    EXPECT_TRUE(run.out.contains(QStringLiteral("  KESOLA        7308 rows"))) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("integrity checked, every table present")));

    const QByteArray before = readAll(copy);
    const AdminRun again = runAdminCommand({QStringLiteral("backup"), source, copy});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("already exists; it is left untouched"))) << again.err.toStdString();
    EXPECT_EQ(readAll(copy), before);
}

TEST_F(BackupCheck, CheckPassesASoundFileAndSaysWhetherTheLockIsHeld) {
    const QString path = demoFile("KESOLA.MDB");
    const AdminRun sound = runAdminCommand({QStringLiteral("check"), path});
    EXPECT_EQ(sound.status, 0) << sound.out.toStdString();
    EXPECT_TRUE(sound.out.contains(QStringLiteral("no problem found")));
    EXPECT_TRUE(sound.out.contains(QStringLiteral("lock: free")));

    openDatabase(path)->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '1'"));
    const AdminRun held = runAdminCommand({QStringLiteral("check"), path});
    EXPECT_EQ(held.status, 0);
    EXPECT_TRUE(held.out.contains(QStringLiteral("lock: held")));
    const AdminRun quiet = runAdminCommand({QStringLiteral("check"), QStringLiteral("--quiet"), path});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, QString());
}

TEST_F(BackupCheck, CheckNamesEachProblemOnALineOfItsOwn) {
    const QString insert = QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BUI) VALUES ('%1', '10', '%2', '%3')");
    struct Case {
        QString breakage;
        QString line;
    } cases[] = {
        {QStringLiteral("DROP TABLE BYOTO"), QStringLiteral("table BYOTO is missing")},
        {QStringLiteral("DROP INDEX MAIN_KEY_BU"), QStringLiteral("table BU has no MAIN_KEY index")},
        {QStringLiteral("DELETE FROM SYSTEM"), QStringLiteral("table SYSTEM has no row with ID \"1\"")},
        {QStringLiteral("DELETE FROM LOCKTBL"), QStringLiteral("table LOCKTBL has no row with ID \"1\"")},
        {insert.arg(QStringLiteral("120260101093"), QStringLiteral("01"), QStringLiteral("01")),
         QStringLiteral("reservation \"120260101093\": not 13 digits")},
        {insert.arg(QStringLiteral("1202602300930"), QStringLiteral("01"), QStringLiteral("01")),
         QStringLiteral("reservation \"1202602300930\": no such date")},
        {insert.arg(QStringLiteral("1202601010650"), QStringLiteral("01"), QStringLiteral("01")),
         QStringLiteral("reservation \"1202601010650\": starts at 6:50, outside 7:00-19:50")},
        {insert.arg(QStringLiteral("1202601011955"), QStringLiteral("01"), QStringLiteral("01")),
         QStringLiteral("reservation \"1202601011955\": starts at 19:55, outside 7:00-19:50")},
        {insert.arg(QStringLiteral("1202601010930"), QStringLiteral("77"), QStringLiteral("01")),
         QStringLiteral("reservation 1202601010930: department \"77\" does not exist in KA")},
        {insert.arg(QStringLiteral("1202601010930"), QStringLiteral("01"), QStringLiteral("88")),
         QStringLiteral("reservation 1202601010930: body part \"88\" does not exist in BU")},
        {insert.arg(QStringLiteral("5202601010930"), QStringLiteral("01"), QStringLiteral("01")),
         QStringLiteral("reservation 5202601010930: room \"5\" does not exist in ROOM")},
        {QStringLiteral("INSERT INTO KANJYA (CODE, KANJYAID) VALUES ('1202601010930', 'P-1')"),
         QStringLiteral("patient ID \"P-1\" under 1202601010930: no booking has that key")},
        {QStringLiteral("UPDATE KANJYA SET KANJYAID = 'ＩＤ 1' WHERE CODE = (SELECT MIN(CODE) FROM KANJYA)"),
         QStringLiteral("patient ID \"ＩＤ 1\" under ")},
        // An older workstation booked the slot anew for another patient: the ID stays with the name it was given to.
        {QStringLiteral("UPDATE KESOLA SET YNAME = '別人' WHERE CODE = (SELECT MIN(CODE) FROM KANJYA)"),
         QStringLiteral("patient ID \"P-")},
        {QStringLiteral("DROP INDEX MAIN_KEY_KANJYA"), QStringLiteral("table KANJYA has no MAIN_KEY index")},
        {QStringLiteral("INSERT INTO KANJYAMST (KANJYAID, SEINENGAPPI, SEX) VALUES ('P-1', '20010229', '1')"),
         QStringLiteral("registered patient \"P-1\": birth date \"20010229\" is not YYYYMMDD")},
        {QStringLiteral("INSERT INTO KANJYAMST (KANJYAID, SEINENGAPPI, SEX) VALUES ('P-1', '20000229', 'M')"),
         QStringLiteral("registered patient \"P-1\": sex \"M\" is not 1 or 2")},
        {QStringLiteral("DROP INDEX MAIN_KEY_KANJYAMST"), QStringLiteral("table KANJYAMST has no MAIN_KEY index")},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString path = demoFile(QByteArray("CASE") + QByteArray::number(n++) + ".MDB");
        openDatabase(path)->execute(c.breakage);
        const AdminRun run = runAdminCommand({QStringLiteral("check"), QStringLiteral("--quiet"), path});
        EXPECT_EQ(run.status, 1) << c.breakage.toStdString();
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(c.line); }))
            << c.breakage.toStdString() << "\n"
            << run.out.toStdString();
    }
}

TEST_F(BackupCheck, ADamagedPageFailsTheCheckAndTheBackup) {
    const QString path = demoFile("KESOLA.MDB");
    fillVariedStore(path);
    damageMiddlePage(path);
    const AdminRun check = runAdminCommand({QStringLiteral("check"), path});
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(check.out.startsWith(QStringLiteral("integrity"))) << check.out.toStdString();

    const QString copy = file("BACKUP.MDB");
    const AdminRun backup = runAdminCommand({QStringLiteral("backup"), path, copy});
    EXPECT_EQ(backup.status, 1);
    EXPECT_TRUE(backup.err.contains(QStringLiteral("integrity check of the copy"))) << backup.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(copy));
}
