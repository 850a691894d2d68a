#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>

#include "store/Schema.h"
#include "store/engine/SqliteDatabase.h"
#include "tests/board/BoardFixture.h"
#include "tests/support/ExpectedTexts.h"
#include "tests/support/TestFiles.h"
#include "tools/Pro008.h"

using namespace kesola;
using namespace kesola::test;
using namespace kesola::expected;

namespace {}

TEST_F(BoardTest, StartupOpensTheDatabaseAndSelectsToday) {
    db.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
    db.addRoom(QStringLiteral("2"), QStringLiteral("   "));
    db.addRoom(QStringLiteral("3"), QStringLiteral("第３室"));
    pointSettingsAt(db.path());
    PRO001& b = start();

    EXPECT_EQ(context->g.PATH_DB, db.path());
    ASSERT_NE(context->g.DB, nullptr);
    EXPECT_EQ(context->g.SYS_TITLE, QStringLiteral("ＭＲＩ予約システム"));
    EXPECT_EQ(b.windowTitle(), QStringLiteral("ＭＲＩ予約システム - [ ＭＲＩ室 予約一覧 ]"));
    ASSERT_EQ(b.CMB[0]->count(), 2);
    EXPECT_EQ(b.CMB[0]->itemText(1), QStringLiteral("第３室"));
    EXPECT_EQ(b.CMB[0]->currentIndex(), -1);
    EXPECT_EQ(b.CMB[1]->count(), 99);
    EXPECT_EQ(b.CMB[1]->itemText(0), QStringLiteral("2001"));
    EXPECT_EQ(b.CMB[2]->count(), 12);
    EXPECT_EQ(b.CMB[3]->count(), 31);
    EXPECT_EQ(b.yearText(), QStringLiteral("2005"));
    EXPECT_EQ(b.monthText(), QStringLiteral("3"));
    EXPECT_EQ(b.dayText(), QStringLiteral("7"));
    EXPECT_EQ(b.YOUBI->text(), QStringLiteral("月曜日"));
    EXPECT_TRUE(b.Timer1.isActive());
    EXPECT_EQ(b.Timer1.interval(), 500);
    EXPECT_TRUE(context->messages.shown.empty());
    EXPECT_EQ(context->modal.opened, 0);
}

TEST_F(BoardTest, ControlsStandWhereTheBoardPutsThem) {
    PRO001& b = startOnDatabase();
    EXPECT_EQ(b.size(), QSize(1019, 716));
    EXPECT_EQ(b.TTBL[0]->geometry(), QRect(117, 60, 147, 50));
    EXPECT_EQ(b.TTBL[77]->geometry(), QRect(117 + 5 * 148, 60 + 12 * 49, 147, 50));
    EXPECT_EQ(b.Label2[0]->text(), QStringLiteral("7：00"));
    EXPECT_EQ(b.Label2[12]->text(), QStringLiteral("19：00"));
    EXPECT_EQ(b.Label1[5]->palette().color(QPalette::Window), QColor(255, 255, 128));
    EXPECT_EQ(b.BTN[0]->text(), QStringLiteral("CSV変換"));
    EXPECT_EQ(b.BTN[1]->text(), QStringLiteral("戻 る"));
    EXPECT_EQ(b.BTN[2]->text(), QStringLiteral("マスタ設定"));
    EXPECT_EQ(b.BTN[3]->text(), QStringLiteral("画面印刷"));
    EXPECT_EQ(b.LBL[2], nullptr);
    EXPECT_EQ(b.LBL[10]->text(), QStringLiteral("00"));
    // Tab order: room, year, month, day, CSV, print, masters, exit.
    QWidget* expected[] = {b.CMB[1], b.CMB[2], b.CMB[3], b.BTN[0], b.BTN[3], b.BTN[2], b.BTN[1]};
    QWidget* w = b.CMB[0];
    for (QWidget* next : expected) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
        EXPECT_EQ(w, next) << next->objectName().toStdString();
    }
}

TEST_F(BoardTest, MissingSettingsOpensTheLocationWindowAndUsesItsChoice) {
    context.reset();
    // The location window offers database files only: on the server pass the file is made as kesola-admin makes it.
    if (db.onServer()) {
        createSchema(*SqliteDatabase::create(programFolder.filePath(QStringLiteral("KESOLA.MDB"))), QString());
    } else {
        QFile::copy(db.path(), programFolder.filePath(QStringLiteral("KESOLA.MDB")));
    }
    auto chooseFile = [this](QDialog& dialog) {
        auto& w = static_cast<PRO008&>(dialog);
        w.setDirPath(programFolder.path());
        ASSERT_EQ(w.File1->count(), 1);
        w.File1->setCurrentRow(0);
        w.File1_MouseDown();
        w.BTN->click();
    };
    // The window is opened from inside Form_Load, so the action is queued on a context made beforehand.
    context = std::make_unique<TestContext>(nullptr, today);
    context->g.PATH_APP = programFolder.path() + QLatin1Char('/');
    context->modal.then(chooseFile);
    board = std::make_unique<PRO001>(context->ctx);
    board->Form_Load();
    QCoreApplication::processEvents();

    EXPECT_EQ(context->modal.openedTitles, QStringList{QStringLiteral("データベース格納位置設定")});
    EXPECT_EQ(context->g.PATH_DB, programFolder.filePath(QStringLiteral("KESOLA.MDB")));
    EXPECT_NE(context->g.DB, nullptr);
    EXPECT_TRUE(context->messages.shown.empty());
}

TEST_F(BoardTest, LocationWindowClosedWithoutChoiceLeavesTheBoardWithoutDatabaseAndSaysSoOnce) {
    PRO001& b = start();
    EXPECT_EQ(context->modal.opened, 1);
    EXPECT_EQ(context->g.DB, nullptr);
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text, kDatabaseNotOpened + QStringLiteral("\n"));
    EXPECT_EQ(context->messages.last().title, QStringLiteral(" - [ ＭＲＩ室 予約一覧 ]"));
    EXPECT_EQ(context->messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(b.CMB[0]->count(), 0);
    EXPECT_EQ(b.yearText(), QStringLiteral("2005"));
    b.TTBL_SET();
    QCoreApplication::processEvents();
    EXPECT_EQ(context->messages.shown.size(), 1u);
}

TEST_F(BoardTest, UnusableSettingsFilesLeaveTheBoardOpenWithTheMessage) {
    QByteArray binary;
    for (int i = 0; i < 2048; ++i) binary.append(static_cast<char>((i * 131) & 0xFF));
    const QString junk = programFolder.filePath(QStringLiteral("junk.MDB"));
    writeFile(junk, binary);
    const QByteArray cases[] = {
        QByteArray(),
        binary,
        QByteArray(3 * 1024 * 1024, 'a'),
        Cp932::encode(junk) + "\r\n",
        QByteArray("Standard Jet DB"),
        QByteArray("\xEF\xBB\xBF") + programFolder.filePath(QStringLiteral("none")).toUtf8(),
    };
    for (const QByteArray& bytes : cases) {
        writeSettings(bytes);
        start();
        EXPECT_EQ(context->g.DB, nullptr);
        ASSERT_EQ(context->messages.shown.size(), 1u);
        EXPECT_TRUE(context->messages.last().text.startsWith(kDatabaseNotOpened + u'\n'));
        EXPECT_EQ(context->modal.opened, 0);
        board->Timer1.stop();
    }
}

TEST_F(BoardTest, SettingsWithoutLineEndOrWithByteOrderMarkStillOpen) {
    writeSettings(Cp932::encode(db.path()));
    start();
    EXPECT_NE(context->g.DB, nullptr);
    board->Timer1.stop();
    writeSettings(QByteArray("\xEF\xBB\xBF") + db.path().toUtf8() + "\r\n");
    start();
    EXPECT_NE(context->g.DB, nullptr);
    EXPECT_TRUE(context->messages.shown.empty());
}

TEST_F(BoardTest, DatabaseWithoutItsTablesOrSingleRowsStillStarts) {
    auto raw = db.connect();
    raw->execute(QStringLiteral("DELETE FROM SYSTEM"));
    raw->execute(QStringLiteral("DROP TABLE ROOM"));
    raw->execute(QStringLiteral("DROP TABLE KA"));
    raw.reset();
    PRO001& b = startOnDatabase();
    EXPECT_EQ(b.windowTitle(), QStringLiteral(" - [ ＭＲＩ室 予約一覧 ]"));
    EXPECT_EQ(b.CMB[0]->count(), 0);
    b.TTBL_SET();
    for (int i = 0; i < kCellCount; ++i) EXPECT_TRUE(b.cell(i).caption.isEmpty());
    EXPECT_TRUE(context->messages.shown.empty());
}

TEST_F(BoardTest, BlankTitleLeavesCaptionsStartingWithTheBracket) {
    db.connect()->execute(QStringLiteral("UPDATE SYSTEM SET SNAME = '   '"));
    PRO001& b = startOnDatabase();
    EXPECT_EQ(context->g.SYS_TITLE, QString());
    EXPECT_EQ(b.windowTitle(), QStringLiteral(" - [ ＭＲＩ室 予約一覧 ]"));
}

TEST_F(BoardTest, TodayOutsideTheOfferedYearsLeavesTheYearUnselected) {
    today = QDate(2100, 1, 5);
    PRO001& b = startOnDatabase();
    EXPECT_EQ(b.yearText(), QString());
    EXPECT_EQ(b.monthText(), QStringLiteral("1"));
    EXPECT_EQ(b.dayText(), QStringLiteral("5"));
    EXPECT_EQ(b.YOUBI->text(), QString());
}

TEST_F(BoardTest, WorkstationSettingsStandInForMissingOwnSettings) {
    QTemporaryDir etc;
    QDir(etc.path()).mkpath(QStringLiteral("folder"));
    const QString file = etc.filePath(QStringLiteral("KESOLA.INI"));
    const QByteArray onDatabase = Cp932::encode(db.path()) + "\r\n";
    const struct {
        const char* system;  // nullptr: the workstation's file is a folder
        bool opens;
    } cases[] = {{onDatabase.constData(), true}, {"", false}, {"/no/such/KESOLA.MDB\r\n", false}, {nullptr, false}};
    for (const auto& c : cases) {
        systemSettings = c.system ? file : etc.filePath(QStringLiteral("folder"));
        if (c.system) writeFile(file, c.system);
        start();
        EXPECT_EQ(context->modal.opened, 0);
        EXPECT_EQ(context->g.DB != nullptr, c.opens) << (c.system ? c.system : "folder");
        ASSERT_EQ(context->messages.shown.size(), c.opens ? 0u : 1u);
        if (!c.opens) {
            EXPECT_TRUE(context->messages.last().text.startsWith(kDatabaseNotOpened + u'\n'));
        }
        board->Timer1.stop();
    }
    // The user's own settings win over the workstation's.
    pointSettingsAt(QStringLiteral("/own/KESOLA.MDB"));
    systemSettings = file;
    writeFile(file, onDatabase);
    start();
    EXPECT_EQ(context->g.PATH_DB, QStringLiteral("/own/KESOLA.MDB"));
}
