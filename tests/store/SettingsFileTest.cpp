#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "store/Cp932.h"
#include "store/SettingsFile.h"

using namespace kesola;

namespace {

QString writeRaw(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("KESOLA.INI"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    return path;
}

}  // namespace

TEST(SettingsFile, ReadsTheFirstFieldOfTheFirstLine) {
    QTemporaryDir dir;
    EXPECT_EQ(readSettingsFile(writeRaw(dir, "  /data/KESOLA.MDB\r\nsecond\r\n")), QStringLiteral("/data/KESOLA.MDB"));
    EXPECT_EQ(readSettingsFile(writeRaw(dir, "/da,ta/KESOLA.MDB\r\n")), QStringLiteral("/da"));
    EXPECT_EQ(readSettingsFile(writeRaw(dir, "\"/da,ta/KESOLA.MDB\"\r\n")), QStringLiteral("/da,ta/KESOLA.MDB"));
    EXPECT_EQ(readSettingsFile(writeRaw(dir, "/no/line/end")), QStringLiteral("/no/line/end"));
    EXPECT_EQ(readSettingsFile(writeRaw(dir, "")), QString());
    EXPECT_EQ(readSettingsFile(writeRaw(dir, "/cr/KESOLA.MDB\rsecond\r")), QStringLiteral("/cr/KESOLA.MDB"));
    EXPECT_EQ(readSettingsFile(writeRaw(dir, "/lf/KESOLA.MDB\nsecond")), QStringLiteral("/lf/KESOLA.MDB"));
}

TEST(SettingsFile, ReadsCp932AndUtf8WithByteOrderMark) {
    QTemporaryDir dir;
    EXPECT_EQ(readSettingsFile(writeRaw(dir, Cp932::encode(QStringLiteral("/共有/KESOLA.MDB")) + "\r\n")),
              QStringLiteral("/共有/KESOLA.MDB"));
    EXPECT_EQ(readSettingsFile(writeRaw(dir, QByteArray("\xEF\xBB\xBF") + QStringLiteral("/共有/x").toUtf8())),
              QStringLiteral("/共有/x"));
}

TEST(SettingsFile, SurvivesBinaryAndHugeFiles) {
    QTemporaryDir dir;
    QByteArray binary;
    for (int i = 0; i < 4096; ++i) binary.append(static_cast<char>(i * 37));
    EXPECT_TRUE(readSettingsFile(writeRaw(dir, binary)).has_value());
    const auto huge = readSettingsFile(writeRaw(dir, QByteArray(20 * 1024 * 1024, 'x')));
    ASSERT_TRUE(huge.has_value());
    EXPECT_LE(huge->size(), 64 * 1024);
    EXPECT_FALSE(readSettingsFile(dir.filePath(QStringLiteral("missing.ini"))).has_value());
}

TEST(SettingsFile, WriteReplacesTheFileWithOneCp932Line) {
    QTemporaryDir dir;
    const QString path = writeRaw(dir, "old contents that are longer\r\nand two lines\r\n");
    ASSERT_TRUE(writeSettingsFile(path, QStringLiteral("/共有/KESOLA.MDB")));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), Cp932::encode(QStringLiteral("/共有/KESOLA.MDB")) + "\r\n");
    EXPECT_FALSE(writeSettingsFile(dir.filePath(QStringLiteral("no/such/folder/KESOLA.INI")), QStringLiteral("x")));
}
