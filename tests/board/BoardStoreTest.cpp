// The board against a store that is busy, replaced, gone, or refuses to give the lock back.
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "store/WorkstationLock.h"
#include "store/engine/SqliteDatabase.h"
#include "tests/board/BoardFixture.h"

using namespace kesola;
using namespace kesola::test;

namespace {

const QString kLockHeld = QStringLiteral("他のマシンで使用中です。しばらくしてリトライしてください。");
const QString kNotOpened = QStringLiteral("データベースを開けませんでした。");
const QString kFailedNotOpen = QStringLiteral("データベースの処理に失敗しました。\nデータベースが開かれていません。");
const QString kUnreadable = QStringLiteral("データベースを読み込めません。予約は表示されていません。");
const QString kBooked = QStringLiteral("山田\r整形外科\r頭部");
// A tick's read waits a fifth of a second for a busy store on the connection's thread; the tick itself does not
// wait. The bound is room for a loaded machine.
constexpr qint64 kLongestTickMs = 300;
constexpr int kBookedCell = 15;  // 09:30

enum { kPrint = 3 };

void furnish(const TestDatabase& t, const QString& name) {
    t.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
    t.addDepartment(QStringLiteral("03"), QStringLiteral("整形外科"), 255, 224, 192, 0, 0, 128);
    t.addBodyPart(QStringLiteral("05"), QStringLiteral("頭部"));
    t.addReservation(QStringLiteral("1200503070930"), QStringLiteral("30"), QStringLiteral("03"), name,
                     QStringLiteral("05"), QStringLiteral("1"));
}

void allowWrites(const TestDatabase& t, const QString& table, const QString& statement) {
    const QString trigger = QStringLiteral("fail_%1_%2").arg(table, statement);
    t.connect()->execute(t.onServer() ? QStringLiteral("DROP TRIGGER %1 ON %2").arg(trigger, table)
                                      : QStringLiteral("DROP TRIGGER %1").arg(trigger));
}

bool moveOver(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

class BoardStore : public BoardTest {
  protected:
    void SetUp() override { furnish(db, QStringLiteral("山田")); }
    PRO001& paint() {
        PRO001& b = startOnDatabase();
        b.Timer1.stop();
        tickAndPaint(b);
        return b;
    }
    bool emptyGrid() const {
        for (int i = 0; i < kCellCount; ++i) {
            if (!board->cell(i).caption.isEmpty()) return false;
        }
        return true;
    }
};

}  // namespace

TEST_F(BoardStore, AStoreHeldByAnotherWriterNeitherFreezesNorWipesTheBoardAndATakeSaysItIsInUse) {
    PRO001& b = paint();
    ASSERT_EQ(b.cell(kBookedCell).caption, kBooked);
    auto holder = db.holdWholeStore();
    QElapsedTimer held;
    held.start();
    qint64 longest = 0;
    int ticks = 0;
    while (held.elapsed() < 3000) {
        QElapsedTimer tick;
        tick.start();
        b.Timer1_Timer();
        longest = std::max(longest, tick.elapsed());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !b.repaintPending(); }, 10000));
        ++ticks;
        EXPECT_EQ(b.cell(kBookedCell).caption, kBooked) << "tick " << ticks;
    }
    EXPECT_LT(longest, kLongestTickMs);
    EXPECT_GE(ticks, 5);
    EXPECT_LE(ticks, 16) << "each tick met the held store and waited for it";

    QElapsedTimer take;
    take.start();
    b.TTBL_DblClick(40);
    EXPECT_LT(take.elapsed(), 4000);
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text, kLockHeld);
    EXPECT_EQ(context->modal.opened, 0);
    holder->rollbackTransaction();
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    b.TTBL_DblClick(40);
    EXPECT_EQ(context->modal.opened, 1) << "the store free again, the command opens";
}

// A tick that cannot paint (its store busy, or the last tick's read still out) keeps the cells only while they are
// the selected room's and day's: a double-click is judged on them.
TEST_F(BoardStore, ATickThatCannotPaintKeepsOnlyTheSelectedDaysCells) {
    PRO001& b = paint();
    ASSERT_EQ(b.cell(kBookedCell).caption, kBooked);
    const struct {
        const char* what;
        bool storeHeld;
    } cases[] = {{"the last read still out", false}, {"the store held by another writer", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        select(3, QStringLiteral("7"));
        tickAndPaint(b);
        ASSERT_EQ(b.cell(kBookedCell).caption, kBooked);
        std::unique_ptr<Database> holder = c.storeHeld ? db.holdWholeStore() : nullptr;
        if (c.storeHeld) {
            tickAndPaint(b);
            EXPECT_EQ(b.cell(kBookedCell).caption, kBooked) << "the day selected keeps its cells";
            select(3, QStringLiteral("8"));
            tickAndPaint(b);
        } else {
            b.Timer1_Timer();
            select(3, QStringLiteral("8"));
            ASSERT_TRUE(b.repaintPending());
            b.Timer1_Timer();
            EXPECT_TRUE(emptyGrid()) << "the skipped tick";
            ASSERT_TRUE(QTest::qWaitFor([&] { return !b.repaintPending(); }, 10000));
        }
        EXPECT_TRUE(emptyGrid()) << "the 7th's cells under the 8th";
        if (holder) holder->rollbackTransaction();
    }
}

TEST_F(BoardStore, AReplacedFileIsPaintedAtTheNextTickAndCommandsUseIt) {
    if (db.onServer()) GTEST_SKIP() << "a server is not a file that can be replaced";
    PRO001& b = paint();
    TestDatabase restored;
    furnish(restored, QStringLiteral("佐藤"));
    ASSERT_TRUE(moveOver(restored.path(), db.path()));
    EXPECT_THROW(requireDatabase(context->g), DbError) << "nothing is written into the file that was replaced";
    tickAndPaint(b);
    EXPECT_EQ(b.cell(kBookedCell).caption, QStringLiteral("佐藤\r整形外科\r頭部"));
    b.TTBL_DblClick(40);
    EXPECT_EQ(context->modal.opened, 1);
    EXPECT_TRUE(context->messages.shown.empty()) << context->messages.last().text.toStdString();
}

TEST_F(BoardStore, AFileGoneOrEmptiedEmptiesTheBoardUntilItIsBack) {
    if (db.onServer()) GTEST_SKIP() << "a server is not a file that can be replaced";
    const QString aside = db.path() + QStringLiteral(".aside");
    const QString zeroBytes = db.path() + QStringLiteral(".zero");
    const struct {
        const char* change;
        std::function<bool()> takeAway;
    } cases[] = {
        {"deleted", [&] { return moveOver(db.path(), aside); }},
        {"0-byte file in its place",
         [&] {
             QFile(zeroBytes).open(QIODevice::WriteOnly);
             return moveOver(db.path(), aside) && moveOver(zeroBytes, db.path());
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        PRO001& b = paint();
        ASSERT_EQ(b.cell(kBookedCell).caption, kBooked);
        ASSERT_FALSE(b.UNREADABLE->isVisibleTo(&b));
        ASSERT_TRUE(c.takeAway());
        tickAndPaint(b);
        EXPECT_EQ(context->g.DB, nullptr);
        EXPECT_TRUE(emptyGrid());
        EXPECT_TRUE(b.UNREADABLE->isVisibleTo(&b)) << "an empty grid says that it is no day";
        EXPECT_EQ(b.UNREADABLE->text(), kUnreadable);
        b.BTN_Click(kPrint);
        ASSERT_EQ(context->messages.shown.size(), 1u);
        EXPECT_EQ(context->messages.last().text, kFailedNotOpen);
        EXPECT_TRUE(context->printer.pages.empty());
        tickAndPaint(b);
        EXPECT_EQ(context->messages.shown.size(), 1u) << "a gone file is not said again at every tick";

        ASSERT_TRUE(moveOver(aside, db.path()));
        tickAndPaint(b);
        EXPECT_NE(context->g.DB, nullptr);
        EXPECT_EQ(b.cell(kBookedCell).caption, kBooked);
        EXPECT_FALSE(b.UNREADABLE->isVisibleTo(&b));
    }
}

// A mapped drive that Windows reconnects only after logon, a server still starting: the board says so once, then
// opens the database at a later tick and reads what start-up could not.
TEST_F(BoardStore, ADatabaseThatComesAfterStartUpIsOpenedAndPainted) {
    if (db.onServer()) GTEST_SKIP() << "a server is not a file that can be moved away";
    const QString aside = db.path() + QStringLiteral(".aside");
    pointSettingsAt(db.path());
    ASSERT_TRUE(moveOver(db.path(), aside));
    PRO001& b = start();
    b.Timer1.stop();
    QCoreApplication::processEvents();
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text, kNotOpened + u'\n' + db.path());
    tickAndPaint(b);
    EXPECT_EQ(context->g.DB, nullptr);
    EXPECT_TRUE(b.UNREADABLE->isVisibleTo(&b));

    ASSERT_TRUE(moveOver(aside, db.path()));
    // Looked for every two seconds.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            tickAndPaint(b);
            return context->g.DB != nullptr;
        },
        5000));
    EXPECT_EQ(b.windowTitle(), QStringLiteral("ＭＲＩ予約システム - [ ＭＲＩ室 予約一覧 ]"));
    ASSERT_EQ(b.CMB[0]->count(), 1);
    b.CMB[0]->setCurrentIndex(0);
    tickAndPaint(b);
    EXPECT_EQ(b.cell(kBookedCell).caption, kBooked);
    EXPECT_FALSE(b.UNREADABLE->isVisibleTo(&b));
    EXPECT_EQ(context->messages.shown.size(), 1u);
}

// A file the workstation may not write, or a server that takes no writes: said at start-up, and a command says it
// in Japanese.
TEST_F(BoardStore, AReadOnlyFileIsSaidAtStartUpAndInJapanese) {
    if (db.onServer()) {
        db.connect()->execute(
            QStringLiteral("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I SET default_transaction_read_only = on', "
                           "current_database()); END $$"));
    } else {
        if (geteuid() == 0) GTEST_SKIP() << "root writes a read-only file";
        QFile::setPermissions(db.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    PRO001& b = startOnDatabase();
    b.Timer1.stop();
    QCoreApplication::processEvents();
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text,
              QStringLiteral("データベースに書き込めません（読み取り専用です）。予約の登録や変更はできません。\n") +
                  db.path());
    b.TTBL_DblClick(40);
    ASSERT_EQ(context->messages.shown.size(), 2u);
    EXPECT_EQ(context->messages.last().text,
              QStringLiteral("データベースの処理に失敗しました。\nデータベースに書き込めません（読み取り専用です）。"));
    EXPECT_EQ(context->modal.opened, 0);
}

TEST_F(BoardStore, AFileWithoutTheSystemsTablesIsNotOpenedAtStartUp) {
    const QString zeroBytes = programFolder.filePath(QStringLiteral("zero.MDB"));
    QFile(zeroBytes).open(QIODevice::WriteOnly);
    const QString emptySqlite = programFolder.filePath(QStringLiteral("empty.MDB"));
    SqliteDatabase::create(emptySqlite)->execute(QStringLiteral("PRAGMA user_version = 1"));
    for (const QString& path : {zeroBytes, emptySqlite}) {
        SCOPED_TRACE(path.toStdString());
        pointSettingsAt(path);
        start();
        EXPECT_EQ(context->g.DB, nullptr);
        QCoreApplication::processEvents();
        ASSERT_EQ(context->messages.shown.size(), 1u);
        EXPECT_EQ(context->messages.last().text, kNotOpened + u'\n' + path);
        board->Timer1.stop();
    }
}

TEST_F(BoardStore, AVeryLongSettingsLineIsCutInTheStartUpMessage) {
    writeSettings(QByteArray(64 * 1024, 'a') + "\r\n");
    start();
    QCoreApplication::processEvents();
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text, kNotOpened + u'\n' + QString(299, u'a') + QStringLiteral("…"));
}

TEST_F(BoardStore, AFailedReleaseIsRetriedAtTheTicksWithoutAWordAndAtTheExit) {
    for (const bool atExit : {false, true}) {
        SCOPED_TRACE(atExit ? "at the exit" : "at a tick");
        PRO001& b = paint();
        ASSERT_EQ(LOCK_SET(context->g, 1), QString());
        failWrites(db, QStringLiteral("LOCKTBL"), QStringLiteral("UPDATE"));
        LOCK_SET(context->g, 0);
        ASSERT_EQ(context->messages.shown.size(), 1u);
        EXPECT_TRUE(context->messages.last().text.startsWith(QStringLiteral("データベースの処理に失敗しました。\n")));
        tickAndPaint(b);
        tickAndPaint(b);
        EXPECT_EQ(db.lockValue(), QStringLiteral("1"));
        EXPECT_EQ(context->messages.shown.size(), 1u);

        allowWrites(db, QStringLiteral("LOCKTBL"), QStringLiteral("UPDATE"));
        if (atExit) {
            b.Form_Unload();
        } else {
            tickAndPaint(b);
        }
        EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
        EXPECT_EQ(context->messages.shown.size(), 1u);
    }
}

TEST(ShownTexts, AnEngineMessageIsCutToAReadableLength) {
    const struct {
        qsizetype length;
        QString shown;
    } cases[] = {
        {300, QString(300, u'x')},
        {301, QString(299, u'x') + QStringLiteral("…")},
        {100000, QString(299, u'x') + QStringLiteral("…")},
    };
    for (const auto& c : cases) {
        ScriptedMessages messages;
        messages.reportDatabaseFailure(DbError(QString(c.length, u'x')), QStringLiteral("t"));
        EXPECT_EQ(messages.last().text, QStringLiteral("データベースの処理に失敗しました。\n") + c.shown) << c.length;
    }
}
