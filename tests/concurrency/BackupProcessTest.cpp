// kesola-admin backup of a database file that workstations keep writing: the writers are processes of their own,
// and so is the backup. No write may fail, and the copy must be one moment of the file: of each writer's rows,
// which it writes one after another, the copy holds the first n and no other.

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <vector>

#include "store/engine/OpenDatabase.h"
#include "tests/concurrency/WorkerOutput.h"

using namespace kesola;
using namespace kesola::test;

namespace {

const QString kWriter = QStringLiteral(KESOLA_BACKUP_WRITER);
const QString kAdmin = QStringLiteral(KESOLA_ADMIN);
constexpr int kWrites = 150;

struct Finished {
    int exitCode = -1;
    QString output;
};

Finished runToEnd(QProcess& process) {
    Finished f;
    if (!process.waitForFinished(90000)) process.kill();
    process.waitForFinished();
    f.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    f.output = QString::fromUtf8(process.readAllStandardOutput());
    return f;
}

// Room 3 gets 120,000 reservations (more than a slice of the copy holds) before the workstations start.
void fillStore(const QString& path) {
    auto db = openDatabase(path);
    db->execute(QStringLiteral("INSERT INTO ROOM (CODE, RNAME) VALUES ('3', '第３室')"));
    db->execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 119999) "
        "INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
        "SELECT printf('3%04d%02d%02d%02d%02d', 2100 + i / 26208, 1 + i / 2184 % 12, 1 + i / 78 % 28, "
        "7 + i % 78 / 6, i % 6 * 10), '10', '01', 'N', 'patient ' || i, '01', '1', '40', '1', 'remarks ' || i "
        "FROM n"));
}

// The numbers of the writer's patients that the copy holds, in order.
std::vector<int> patientsOfRoom(const QString& path, const QString& room) {
    auto db = openDatabase(path);
    std::vector<int> numbers;
    auto rs = db->selectNative(QStringLiteral("SELECT YNAME FROM KESOLA WHERE CODE LIKE ?"), {room + u'%'});
    for (; !rs->eof(); rs->moveNext()) numbers.push_back(rs->field(QStringLiteral("YNAME")).mid(2).toInt());
    rs->close();
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

}  // namespace

TEST(BackupProcess, WorkstationsKeepWritingAndTheCopyIsOneMomentOfTheFile) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("KESOLA.MDB"));
    const QString copy = dir.filePath(QStringLiteral("BACKUP.MDB"));
    ASSERT_EQ(QProcess::execute(kAdmin, {QStringLiteral("init"), source, QStringLiteral("--demo")}), 0);
    fillStore(source);
    const QStringList rooms{QStringLiteral("1"), QStringLiteral("2")};

    std::vector<std::unique_ptr<QProcess>> writers;
    for (const QString& room : rooms) {
        auto writer = std::make_unique<QProcess>();
        writer->start(kWriter, {source, room, QString::number(kWrites)});
        QByteArray said;
        ASSERT_TRUE(waitForLine(*writer, QStringLiteral("ready"), said)) << said.toStdString();
        writers.push_back(std::move(writer));
    }
    for (auto& writer : writers) writer->write("go\n");
    QProcess backup;
    backup.setProcessChannelMode(QProcess::MergedChannels);
    backup.start(kAdmin, {QStringLiteral("backup"), source, copy});
    const Finished backedUp = runToEnd(backup);
    for (auto& writer : writers) {
        const Finished wrote = runToEnd(*writer);
        EXPECT_EQ(wrote.exitCode, 0);
        EXPECT_TRUE(wrote.output.contains(QStringLiteral("written:%1 failed:0").arg(kWrites)))
            << wrote.output.toStdString();
    }
    ASSERT_EQ(backedUp.exitCode, 0) << backedUp.output.toStdString();
    EXPECT_TRUE(backedUp.output.contains(QStringLiteral("integrity checked"))) << backedUp.output.toStdString();

    for (const QString& room : rooms) {
        // "患者" is two characters; the writer's number follows.
        const std::vector<int> held = patientsOfRoom(copy, room + QStringLiteral("209"));
        for (size_t i = 0; i < held.size(); ++i)
            ASSERT_EQ(held[i], static_cast<int>(i)) << "room " << room.toStdString();
    }
    EXPECT_EQ(patientsOfRoom(copy, QStringLiteral("3")).size(), 120000u);
    QProcess check;
    check.start(kAdmin, {QStringLiteral("check"), QStringLiteral("--quiet"), copy});
    const Finished checked = runToEnd(check);
    EXPECT_EQ(checked.exitCode, 0) << checked.output.toStdString();
    EXPECT_EQ(checked.output, QString());
}
