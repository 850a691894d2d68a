#include <gtest/gtest.h>

#include <QObject>
#include <QTest>
#include <QThread>
#include <atomic>

#include "store/engine/DbError.h"
#include "store/engine/TestHooks.h"
#include "store/engine/ThreadedDatabase.h"
#include "tests/support/TestDatabase.h"

using namespace kesola;
using kesola::test::TestDatabase;

namespace {

// Notes the thread that runs each statement.
std::atomic<QThread*> statementThread{nullptr};
void noteThread(const QString&) { statementThread = QThread::currentThread(); }

}  // namespace

TEST(ThreadedDatabase, AWalkOverManyRowsRunsOnTheConnectionsThreadAndKeepsEveryRowInOrder) {
    TestDatabase t;
    {
        auto writer = t.connect();
        WriteTransaction tx(*writer);
        for (int i = 0; i < 600; ++i)
            writer->execute(QStringLiteral("INSERT INTO KESOLA (CODE, YNAME) VALUES (?, ?)"),
                            {QStringLiteral("1200503%1").arg(i, 6, 10, QChar(u'0')), QString::number(i)});
        tx.commit();
    }
    auto db = openOnOwnThread(t.path());
    test_hooks::beforeStatement = noteThread;
    auto rs = db->select(QStringLiteral("SELECT * FROM KESOLA ORDER BY CODE ASC;"));
    test_hooks::beforeStatement = nullptr;
    EXPECT_NE(statementThread.load(), QThread::currentThread());
    int rows = 0;
    for (; !rs->eof(); rs->moveNext()) {
        ASSERT_EQ(rs->field(QStringLiteral("yname")), QString::number(rows)) << "field names ignore case";
        ++rows;
    }
    EXPECT_EQ(rows, 600);
    EXPECT_EQ(rs->field(QStringLiteral("YNAME")), QString());
}

TEST(ThreadedDatabase, AFailureComesBackAsItsKindAndDetachedWorkReportsOnlyToWhoIsStillThere) {
    TestDatabase t;
    auto db = openOnOwnThread(t.path());
    {
        auto holder = t.holdWholeStore();
        const ScopedLockWait shortWait(*db, 100);
        try {
            db->select(QStringLiteral("SELECT * FROM KESOLA;"))->close();
            ADD_FAILURE() << "read a store held by another writer";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.isBusy()) << e.message().toStdString();
        }
        holder->rollbackTransaction();
    }
    int reported = 0;
    QThread* workThread = nullptr;
    QObject asker;
    auto gone = std::make_unique<QObject>();
    db->runDetached([&](Database& d) { workThread = QThread::currentThread(), d.execute(QStringLiteral("SELECT 1")); },
                    &asker, [&] { ++reported; });
    db->runDetached([](Database&) {}, gone.get(), [&] { reported += 10; });
    gone.reset();
    ASSERT_TRUE(db->finishDetached(5000));
    EXPECT_EQ(reported, 1);
    EXPECT_NE(workThread, QThread::currentThread());
}
