// The workstation lock between real processes on one database.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

#include "tests/concurrency/WorkerOutput.h"
#include "tests/support/TestDatabase.h"

using namespace kesola::test;

namespace {

const QString kWorker = QStringLiteral(KESOLA_LOCK_WORKER);
const QString kLockHeldLine =
    QStringLiteral("message:他のマシンで使用中です。しばらくしてリトライしてください。 title:ＭＲＩ予約システム");

struct Finished {
    int exitCode = -1;
    QStringList lines;
};

Finished runWorker(const QStringList& arguments) {
    QProcess worker;
    worker.start(kWorker, arguments);
    Finished f;
    if (!worker.waitForFinished(30000)) {
        worker.kill();
        worker.waitForFinished();
        ADD_FAILURE() << "worker did not finish";
        return f;
    }
    f.exitCode = worker.exitStatus() == QProcess::NormalExit ? worker.exitCode() : -1;
    f.lines = linesOf(worker.readAllStandardOutput());
    return f;
}

}  // namespace

TEST(LockBetweenProcesses, SecondWorkstationIsToldToWaitUntilTheFirstReleases) {
    TestDatabase db;
    QProcess holder;
    holder.start(kWorker, {QStringLiteral("hold"), db.path()});
    QByteArray holderSaid;
    ASSERT_TRUE(waitForLine(holder, QStringLiteral("taken"), holderSaid)) << holderSaid.toStdString();
    EXPECT_EQ(db.lockValue(), QStringLiteral("1"));

    const Finished refused = runWorker({QStringLiteral("try"), db.path()});
    EXPECT_EQ(refused.exitCode, 0);
    EXPECT_EQ(refused.lines, QStringList({kLockHeldLine, QStringLiteral("result:NG")}));
    EXPECT_EQ(db.lockValue(), QStringLiteral("1")) << "the refused workstation released nothing";

    holder.write("\n");
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(30000));
    EXPECT_EQ(holder.exitCode(), 0);
    EXPECT_TRUE(linesOf(holder.readAllStandardOutput()).contains(QStringLiteral("released")));
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));

    const Finished taken = runWorker({QStringLiteral("try"), db.path()});
    EXPECT_EQ(taken.lines, QStringList({QStringLiteral("result:"), QStringLiteral("released")}));
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
}

// Eight workstations each take and give back the lock 500 times. While holding it a worker owns a marker file
// that only one holder may create; a second holder at any moment ends that worker with code 2.
TEST(LockBetweenProcesses, EightWorkstationsNeverHoldTheLockTogether) {
    constexpr int kWorkers = 8;
    constexpr int kCycles = 500;
    TestDatabase db;
    QTemporaryDir folder;
    const QString marker = folder.filePath(QStringLiteral("holder"));

    std::vector<std::unique_ptr<QProcess>> workers;
    for (int i = 0; i < kWorkers; ++i) {
        auto worker = std::make_unique<QProcess>();
        worker->setProcessChannelMode(QProcess::MergedChannels);
        worker->start(kWorker, {QStringLiteral("cycle"), db.path(), marker, QString::number(kCycles)});
        ASSERT_TRUE(worker->waitForStarted());
        workers.push_back(std::move(worker));
    }
    int refusals = 0;
    int busy = 0;
    for (auto& worker : workers) {
        ASSERT_TRUE(worker->waitForFinished(115000)) << "a worker is stuck";
        const QStringList lines = linesOf(worker->readAll());
        EXPECT_EQ(worker->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(worker->exitCode(), 0) << lines.join(u'|').toStdString();
        ASSERT_FALSE(lines.isEmpty());
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^cycles:(\\d+) refused:(\\d+) busy:(\\d+)$")).match(lines.last());
        ASSERT_TRUE(m.hasMatch()) << lines.join(u'|').toStdString();
        EXPECT_EQ(m.captured(1).toInt(), kCycles) << "every workstation got the lock, every time it waited";
        refusals += m.captured(2).toInt();
        busy += m.captured(3).toInt();
    }
    // Takes that met a busy database were told so, as a user would be, and tried again; they are no fault.
    RecordProperty("refused", refusals);
    RecordProperty("busy", busy);
    std::printf("refused %d times, busy %d times\n", refusals, busy);
    EXPECT_GT(refusals, 0) << "the workers never met: nothing was tested";
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_EQ(db.lockValue(), QStringLiteral("0")) << "a release was lost";
}
