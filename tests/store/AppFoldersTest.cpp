#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "store/AppFolders.h"
#include "store/SettingsFile.h"
#include "tests/support/TestFiles.h"

using namespace kesola;
using namespace kesola::test;

namespace {

class AppFoldersTest : public ::testing::Test {
  protected:
    QString at(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    // A regular file: nothing can be made in it or below it, whoever runs the test.
    QString aFile() {
        writeFile(at("file"), "x");
        return at("file");
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(AppFoldersTest, PathAppIsTheProgramFolderWhileItCanBeWrittenOtherwiseTheUsersOwn) {
    QDir(dir.path()).mkpath(QStringLiteral("program"));
    const AppFolders folders{at("program"), at("home/.local/share/kesola"), QString()};
    EXPECT_EQ(choosePathApp(folders), at("program/"));
    EXPECT_EQ(QDir(at("program")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 0);
    EXPECT_FALSE(QFileInfo::exists(at("home")));

    // Between two starts the program folder stops being writable, then becomes writable again.
    QDir(at("program")).removeRecursively();
    writeFile(at("program"), "x");
    EXPECT_EQ(choosePathApp(folders), at("home/.local/share/kesola/"));
    EXPECT_TRUE(QFileInfo(at("home/.local/share/kesola")).isDir());
    QFile::remove(at("program"));
    EXPECT_EQ(choosePathApp({at("program"), folders.userFolder, QString()}), at("home/.local/share/kesola/"));
    QDir(dir.path()).mkpath(QStringLiteral("program"));
    EXPECT_EQ(choosePathApp(folders), at("program/"));
}

TEST_F(AppFoldersTest, UserFolderThatCannotBeMadeStaysTheAnswerAndCannotBeWritten) {
    const QString pathApp = choosePathApp({aFile(), at("file/kesola"), QString()});
    EXPECT_EQ(pathApp, at("file/kesola/"));
    EXPECT_FALSE(writeSettingsFile(pathApp + QStringLiteral("KESOLA.INI"), QStringLiteral("/srv/KESOLA.MDB")));
}

TEST_F(AppFoldersTest, StartupReadsTheOwnSettingsThenTheWorkstationsThenAsks) {
    QDir(dir.path()).mkpath(QStringLiteral("own"));
    QDir(dir.path()).mkpath(QStringLiteral("a-folder"));
    writeFile(at("system.ini"), "\"/srv/mri,1/KESOLA.MDB\",x\r\nsecond\r\n");
    writeFile(at("empty.ini"), "");
    writeFile(at("nothing.ini"), "/no/such/KESOLA.MDB\r\n");
    writeFile(at("binding.ini"), "/it/KESOLA.MDB\r\n Enforce \r\n");
    const struct {
        const char* own;  // PATH_APP's KESOLA.INI, or nullptr for none
        const char* system;
        std::optional<QString> expected;
    } cases[] = {
        {"/own/KESOLA.MDB\r\n", "system.ini", QStringLiteral("/own/KESOLA.MDB")},
        {"", "system.ini", QString()},
        {nullptr, "system.ini", QStringLiteral("/srv/mri,1/KESOLA.MDB")},
        {nullptr, "empty.ini", QString()},
        {nullptr, "nothing.ini", QStringLiteral("/no/such/KESOLA.MDB")},
        {nullptr, "a-folder", QString()},  // there, but cannot be read as a file
        {nullptr, "missing.ini", std::nullopt},
        {nullptr, "", std::nullopt},
        // IT's file binds with "enforce" on its second line, and then wins over the user's own.
        {"/own/KESOLA.MDB\r\n", "binding.ini", QStringLiteral("/it/KESOLA.MDB")},
        {nullptr, "binding.ini", QStringLiteral("/it/KESOLA.MDB")},
    };
    for (const auto& c : cases) {
        QFile::remove(at("own/KESOLA.INI"));
        if (c.own) writeFile(at("own/KESOLA.INI"), c.own);
        const QString system = *c.system ? at(c.system) : QString();
        EXPECT_EQ(readStartupSettings(at("own/"), system), c.expected) << c.system;
    }
}

// The location window's path and the settings file it writes are the platform's own: backslashes on Windows.
TEST(AppFolders, FilePathsAreWrittenWithThePlatformsSeparator) {
    const bool windows = QDir::separator() == u'\\';
    EXPECT_EQ(nativeFilePath(QStringLiteral("S:/ＭＲＩ室"), QStringLiteral("KESOLA.MDB")),
              windows ? QStringLiteral("S:\\ＭＲＩ室\\KESOLA.MDB") : QStringLiteral("S:/ＭＲＩ室/KESOLA.MDB"));
    EXPECT_EQ(nativeFilePath(QStringLiteral("C:/"), QStringLiteral("KESOLA.MDB")),
              windows ? QStringLiteral("C:\\KESOLA.MDB") : QStringLiteral("C:/KESOLA.MDB"));
}

// Staff cannot write where the program is installed: what it writes goes to the user's own folder, and IT's
// settings file is the machine's. Each platform names those its own way.
TEST(AppFolders, TheUsersFolderAndTheMachinesSettingsFileAreThePlatformsOwn) {
    const AppFolders folders = thisProgramsFolders();
    EXPECT_EQ(folders.programFolder, QCoreApplication::applicationDirPath());
#ifdef Q_OS_WIN
    const auto known = [](const char* variable) { return QDir::fromNativeSeparators(qEnvironmentVariable(variable)); };
    EXPECT_EQ(folders.userFolder, known("LOCALAPPDATA") + QStringLiteral("/kesola"));
    EXPECT_EQ(folders.systemSettingsFile, known("ProgramData") + QStringLiteral("/kesola/KESOLA.INI"));
#else
    EXPECT_TRUE(folders.userFolder.startsWith(QDir::homePath() + QStringLiteral("/.local/share/")))
        << folders.userFolder.toStdString();
    EXPECT_EQ(folders.systemSettingsFile, QStringLiteral("/etc/kesola/KESOLA.INI"));
#endif
}
