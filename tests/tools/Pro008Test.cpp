#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "store/AppFolders.h"
#include "store/Cp932.h"
#include "store/SettingsFile.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"
#include "tools/Pro008.h"

using namespace kesola;
using namespace kesola::test;

namespace {

class Pro008Test : public ::testing::Test {
  protected:
    void SetUp() override {
        context.g.PATH_APP = programFolder.path() + QLatin1Char('/');
        QDir(data.path()).mkpath(QStringLiteral("共有,データ"));
        QDir(data.path()).mkpath(QStringLiteral("empty"));
        touch(data.filePath(QStringLiteral("共有,データ/KESOLA.MDB")));
        touch(data.filePath(QStringLiteral("共有,データ/OTHER.MDB")));
        window.Form_Load();
    }
    static void touch(const QString& path) { writeFile(path, QByteArray()); }
    QString folderWithDatabase() const { return data.filePath(QStringLiteral("共有,データ")); }
    QByteArray settingsBytes() const { return readAll(programFolder.filePath(QStringLiteral("KESOLA.INI"))); }
    // The folder with the database shown in the lists, and its file chosen.
    void chooseDatabase() {
        window.setDirPath(folderWithDatabase());
        window.File1->setCurrentRow(0);
        window.File1_MouseDown();
    }
    void pressFirstFile() {
        const QRect row = window.File1->visualItemRect(window.File1->item(0));
        QTest::mousePress(window.File1->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseRelease(window.File1->viewport(), Qt::LeftButton, {}, row.center());
    }

    QTemporaryDir programFolder;
    QTemporaryDir data;
    TestContext context{nullptr};
    PRO008 window{context.ctx};
};

}  // namespace

TEST_F(Pro008Test, LooksAsTheLocationWindow) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("データベース格納位置設定"));
    EXPECT_EQ(window.size(), QSize(391, 352));
    EXPECT_EQ(window.BTN->text(), QStringLiteral("変更"));
    EXPECT_EQ(window.LBL->text(), QString());
    EXPECT_EQ(window.dirPath(), QDir::currentPath());
    EXPECT_GT(window.Drive1->count(), 0);
}

// The folder's name holds a comma: the line is quoted, so that start-up reads the whole path back.
TEST_F(Pro008Test, PressingTheFileShowsItsPathAndChangeWritesExactlyThatLine) {
    window.show();
    window.setDirPath(folderWithDatabase());
    ASSERT_EQ(window.File1->count(), 1);
    EXPECT_EQ(window.File1->item(0)->text(), QStringLiteral("KESOLA.MDB"));
    pressFirstFile();
    const QString expected = folderWithDatabase() + QStringLiteral("/KESOLA.MDB");
    EXPECT_EQ(window.LBL->text(), expected);
    QFile old(programFolder.filePath(QStringLiteral("KESOLA.INI")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("a much longer earlier line that must not survive\r\nand another\r\n");
    old.close();
    window.BTN->click();
    EXPECT_EQ(settingsBytes(), "\"" + Cp932::encode(expected) + "\"\r\n");
    EXPECT_EQ(readSettingsFile(programFolder.filePath(QStringLiteral("KESOLA.INI"))), expected);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(context.messages.shown.empty());
}

TEST_F(Pro008Test, ChangingFolderForgetsTheChoice) {
    chooseDatabase();
    ASSERT_FALSE(window.LBL->text().isEmpty());
    window.setDirPath(data.filePath(QStringLiteral("empty")));
    EXPECT_EQ(window.LBL->text(), QString());
    EXPECT_EQ(window.File1->count(), 0);
    window.File1_MouseDown();  // nothing listed: nothing chosen
    EXPECT_EQ(window.LBL->text(), QString());
    window.BTN_Click();
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_EQ(context.messages.last().text, QStringLiteral("DB格納位置の選択を行ってください。"));
    EXPECT_EQ(context.messages.last().title, QStringLiteral("データベース格納位置設定"));
    EXPECT_EQ(settingsBytes(), QByteArray("<missing>"));
}

TEST_F(Pro008Test, FolderListOpensSubfoldersAndIgnoresUnlistableOnes) {
    window.setDirPath(data.path());
    QListWidgetItem* sub = nullptr;
    for (int i = 0; i < window.Dir1->count(); ++i) {
        if (window.Dir1->item(i)->text().trimmed() == QStringLiteral("共有,データ")) sub = window.Dir1->item(i);
    }
    ASSERT_NE(sub, nullptr);
    emit window.Dir1->itemActivated(sub);
    EXPECT_EQ(window.dirPath(), folderWithDatabase());
    EXPECT_EQ(window.File1->count(), 1);
    window.setDirPath(data.filePath(QStringLiteral("no-such-folder")));
    EXPECT_EQ(window.dirPath(), folderWithDatabase());
    EXPECT_EQ(window.File1->count(), 1);
}

TEST_F(Pro008Test, DriveRootJoinsWithASingleSeparator) {
    window.setDirPath(QStringLiteral("/"));
    EXPECT_EQ(window.dirPath(), QStringLiteral("/"));
    EXPECT_EQ(window.LBL->text(), QString());
}

TEST_F(Pro008Test, UnwritableSettingsFileIsReportedAndTheWindowStaysOpen) {
    // Neither the program folder nor the user folder below it can be written: a file stands where they should be.
    const QString file = data.filePath(QStringLiteral("home"));
    touch(file);
    context.g.PATH_APP = choosePathApp({file, file + QStringLiteral("/kesola"), {}});
    chooseDatabase();
    window.show();
    window.BTN->click();
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_EQ(context.messages.last().text, QStringLiteral("設定ファイルを書き込めませんでした。"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.LBL->text().isEmpty());
}

TEST_F(Pro008Test, ChoosingTheDriveShownKeepsTheFolderAndTheChoice) {
    window.setDirPath(folderWithDatabase());
    pressFirstFile();
    const QString chosen = window.LBL->text();
    ASSERT_FALSE(chosen.isEmpty());
    emit window.Drive1->activated(window.Drive1->currentIndex());
    EXPECT_EQ(window.dirPath(), folderWithDatabase());
    EXPECT_EQ(window.LBL->text(), chosen);
}

TEST(Pro008Drives, TheCurrentFoldersVolumeIsAlwaysListed) {
    const struct {
        QStringList mounted;
        QString folder;
        QStringList expected;
    } cases[] = {
        {{"/", "/boot"}, "/no-such-top/x", {"/", "/boot"}},
        {{"/boot", "/dev/shm"}, "/no-such-top/x", {"/", "/boot", "/dev/shm"}},  // a chroot's table without "/"
        {{}, "/dev/shm/a", {"/"}},
        {{"/", "/dev/shm"}, "/dev/shm/a", {"/", "/dev/shm"}},
    };
    for (const auto& c : cases) EXPECT_EQ(driveEntries(c.mounted, c.folder), c.expected) << c.folder.toStdString();
}

TEST_F(Pro008Test, APathThatShiftJisCannotWriteIsRefusedAndNothingWritten) {
    const QString folder = data.filePath(QStringLiteral("画像😀"));
    QDir().mkpath(folder);
    touch(folder + QStringLiteral("/KESOLA.MDB"));
    window.setDirPath(folder);
    pressFirstFile();
    window.show();
    window.BTN->click();
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_EQ(context.messages.last().text, QStringLiteral("設定ファイルを書き込めませんでした。"));
    EXPECT_EQ(settingsBytes(), QByteArray("<missing>"));
    EXPECT_TRUE(window.isVisible());
}

// IT's binding file wins over what this window would write: it says so, and writes nothing.
TEST_F(Pro008Test, BindingWorkstationSettingsAreSaidAndNothingIsWritten) {
    EXPECT_FALSE(window.SETBY->isVisibleTo(&window));
    context.g.systemSettingsFile = data.filePath(QStringLiteral("system.ini"));
    writeFile(context.g.systemSettingsFile, "/it/KESOLA.MDB\r\nenforce\r\n");
    window.Form_Load();
    EXPECT_TRUE(window.SETBY->isVisibleTo(&window));
    EXPECT_EQ(window.SETBY->text(), QStringLiteral("データベースの格納位置はシステム管理者が設定しています。"));
    chooseDatabase();
    window.show();
    window.BTN->click();
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_EQ(context.messages.last().text, QStringLiteral("データベースの格納位置はシステム管理者が設定しています。"));
    EXPECT_FALSE(QFile::exists(programFolder.filePath(QStringLiteral("KESOLA.INI"))));
}
