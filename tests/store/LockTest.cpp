#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <chrono>
#include <future>
#include <thread>

#include "store/WorkstationLock.h"
#include "tests/support/TestDatabase.h"

using namespace kesola;
using namespace kesola::test;

TEST(Lock, TakingAFreeLockStoresOneSilently) {
    TestDatabase t;
    TestContext c(&t);
    EXPECT_EQ(LOCK_SET(c.g, 1), QString());
    EXPECT_EQ(t.lockValue(), QStringLiteral("1"));
    EXPECT_TRUE(c.messages.shown.empty());
}

TEST(Lock, TakingAHeldLockShowsTheMessageTitledWithTheSystemTitle) {
    TestDatabase t;
    TestContext a(&t);
    TestContext b(&t);
    ASSERT_EQ(LOCK_SET(a.g, 1), QString());
    EXPECT_EQ(LOCK_SET(b.g, 1), QStringLiteral("NG"));
    ASSERT_EQ(b.messages.shown.size(), 1u);
    EXPECT_EQ(b.messages.last().text, QStringLiteral("他のマシンで使用中です。しばらくしてリトライしてください。"));
    EXPECT_EQ(b.messages.last().title, QStringLiteral("ＭＲＩ予約システム"));
    EXPECT_EQ(b.messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(t.lockValue(), QStringLiteral("1"));
    EXPECT_EQ(LOCK_SET(a.g, 0), QString());
    EXPECT_EQ(LOCK_SET(b.g, 1), QString());
}

TEST(Lock, AnyValueOtherThanOneCountsAsFree) {
    TestDatabase t;
    TestContext c(&t);
    for (const QVariant& v : {QVariant(QString()), QVariant(QStringLiteral("x")), QVariant()}) {
        t.connect()->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = ?"), {v});
        EXPECT_EQ(LOCK_SET(c.g, 1), QString());
        EXPECT_EQ(t.lockValue(), QStringLiteral("1"));
    }
    EXPECT_EQ(LOCK_SET(c.g, 0), QString());
    EXPECT_EQ(LOCK_SET(c.g, 0), QString());
    EXPECT_EQ(t.lockValue(), QStringLiteral("0"));
}

TEST(Lock, MissingRowOrDatabaseIsReportedAndNothingOpens) {
    TestDatabase t;
    TestContext c(&t);
    t.connect()->execute(QStringLiteral("DELETE FROM LOCKTBL"));
    EXPECT_EQ(LOCK_SET(c.g, 1), QStringLiteral("NG"));
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_TRUE(c.messages.last().text.startsWith(QStringLiteral("データベースの処理に失敗しました。\n")));
    EXPECT_EQ(c.messages.last().title, QStringLiteral("ＭＲＩ予約システム"));

    TestContext none(nullptr);
    EXPECT_EQ(LOCK_SET(none.g, 1), QStringLiteral("NG"));
    EXPECT_EQ(LOCK_SET(none.g, 0), QString());
    EXPECT_EQ(none.messages.shown.size(), 2u);
    EXPECT_EQ(none.messages.last().text,
              QStringLiteral("データベースの処理に失敗しました。\nデータベースが開かれていません。"));
}

// Another workstation that holds its write lock far longer than any write takes must not freeze this board: the
// release gives up after about five seconds and says so, leaving the user the L command.
TEST(Lock, ReleaseAgainstAWriterThatNeverFinishesGivesUpWithinSeconds) {
    TestDatabase t;
    TestContext c(&t);
    ASSERT_EQ(LOCK_SET(c.g, 1), QString());
    const auto holder = t.connect();
    holder->beginWriteTransaction();
    holder->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '1' WHERE ID = '1'"));
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(LOCK_SET(c.g, 0), QString());
    EXPECT_LT(elapsed.elapsed(), 8000);
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_TRUE(c.messages.last().text.startsWith(QStringLiteral("データベースの処理に失敗しました。\n")));
    holder->rollbackTransaction();
    EXPECT_EQ(LOCK_SET(c.g, 0), QString()) << "the shortened wait ends with the release";
    EXPECT_EQ(t.lockValue(), QStringLiteral("0"));
}

// Another workstation's write that ends after a few of the release's tries: on the server its lock wait ends in a
// lock timeout, which counts as busy like the file's busy error, so the release tries again and succeeds.
TEST(Lock, ReleaseThatMeetsAWriteEndingWithinSecondsIsRetriedUntilWritten) {
    TestDatabase t;
    TestContext c(&t);
    ASSERT_EQ(LOCK_SET(c.g, 1), QString());
    std::promise<void> holding;
    std::thread holder([&t, &holding] {
        const auto db = t.connect();
        db->beginWriteTransaction();
        db->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '1' WHERE ID = '1'"));
        holding.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        db->rollbackTransaction();
    });
    holding.get_future().wait();
    EXPECT_EQ(LOCK_SET(c.g, 0), QString());
    holder.join();
    EXPECT_TRUE(c.messages.shown.empty()) << c.messages.last().text.toStdString();
    EXPECT_EQ(t.lockValue(), QStringLiteral("0"));
}
