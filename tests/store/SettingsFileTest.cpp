#include <gtest/gtest.h>

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "store/Cp932.h"
#include "store/SettingsFile.h"
#include "tests/support/TestFiles.h"

using namespace kesola;
using kesola::test::readAll;
using kesola::test::writeFile;

namespace {

QString writeRaw(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("KESOLA.INI"));
    writeFile(path, bytes);
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

// What Windows' tools save: Notepad's UTF-8 without a mark, PowerShell 5.1's UTF-16, cmd's Shift-JIS.
TEST(SettingsFile, ReadsTheEncodingsWindowsToolsWrite) {
    const QString path = QStringLiteral("S:\\ＭＲＩ室\\KESOLA.MDB");
    const QString text = path + QStringLiteral("\r\nenforce\r\n");
    auto utf16 = [&](QStringConverter::Encoding encoding, const char* mark) {
        return QByteArray(mark) + QByteArray(QStringEncoder(encoding)(text));
    };
    const struct {
        const char* what;
        QByteArray bytes;
        QString expected;
        bool binds;
    } cases[] = {
        {"cp932", Cp932::encode(text), path, true},
        {"UTF-8", text.toUtf8(), path, true},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + text.toUtf8(), path, true},
        {"UTF-16LE with mark", utf16(QStringConverter::Utf16LE, "\xFF\xFE"), path, true},
        {"UTF-16BE with mark", utf16(QStringConverter::Utf16BE, "\xFE\xFF"), path, true},
        // A damaged UTF-16 file: a lone surrogate on the first line does not hide its line end.
        {"UTF-16LE with a lone surrogate", QByteArray("\xFF\xFE/\0\x2B\xD8\r\0\n\0e\0", 12),
         QString::fromUtf16(u"/\xD82B"), false},
        // Shift-JIS whose bytes are no valid UTF-8 stays Shift-JIS: half-width katakana, kanji.
        {"cp932 kana", Cp932::encode(QStringLiteral("S:\\ｶﾙﾃ\\造影\r\n")), QStringLiteral("S:\\ｶﾙﾃ\\造影"), false},
        {"ASCII", "S:\\mri\\KESOLA.MDB\r\n", QStringLiteral("S:\\mri\\KESOLA.MDB"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString file = writeRaw(dir, c.bytes);
        EXPECT_EQ(readSettingsFile(file), c.expected);
        EXPECT_EQ(settingsFileBinds(file), c.binds);
    }
}

TEST(SettingsFile, OnlyASecondLineEnforceBinds) {
    const struct {
        QByteArray bytes;
        bool binds;
    } cases[] = {{"/a\r\nenforce\r\n", true}, {"/a\n  ENFORCE\t\n", true},   {"/a\renforce", true},
                 {"/a\r\n", false},           {"/a\r\nenforced\r\n", false}, {"/a\r\n\r\nenforce\r\n", false},
                 {"enforce\r\n", false}};
    for (const auto& c : cases) {
        QTemporaryDir dir;
        EXPECT_EQ(settingsFileBinds(writeRaw(dir, c.bytes)), c.binds) << c.bytes.toStdString();
    }
    EXPECT_FALSE(settingsFileBinds(QStringLiteral("/no/such/KESOLA.INI")));
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
    EXPECT_EQ(readAll(path), Cp932::encode(QStringLiteral("/共有/KESOLA.MDB")) + "\r\n");
    EXPECT_FALSE(writeSettingsFile(dir.filePath(QStringLiteral("no/such/folder/KESOLA.INI")), QStringLiteral("x")));
}

TEST(SettingsFile, WrittenLocationsReadBackWhole) {
    const struct {
        QString location;
        QByteArray line;  // as written, before CR LF; empty when the location is refused
    } cases[] = {
        {QStringLiteral("/mri/KESOLA.MDB"), "/mri/KESOLA.MDB"},
        {QStringLiteral("/共有,データ/KESOLA.MDB"),
         "\"" + Cp932::encode(QStringLiteral("/共有,データ/KESOLA.MDB")) + "\""},
        {QStringLiteral(" /lead/KESOLA.MDB"), "\" /lead/KESOLA.MDB\""},
        {QStringLiteral("/a\",b/KESOLA.MDB"), ""},
        // ﾂｱ is C2 B1 in cp932, which UTF-8 reads as ±: written in UTF-8 with its mark, not as another path.
        {QStringLiteral("/ﾂｱ/KESOLA.MDB"), "\xEF\xBB\xBF/\xEF\xBE\x82\xEF\xBD\xB1/KESOLA.MDB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location.toStdString());
        QTemporaryDir dir;
        const QString path = writeRaw(dir, "old\r\n");
        EXPECT_EQ(writeSettingsFile(path, c.location), !c.line.isEmpty());
        EXPECT_EQ(readAll(path), c.line.isEmpty() ? QByteArray("old\r\n") : c.line + "\r\n");
        if (!c.line.isEmpty()) {
            EXPECT_EQ(readSettingsFile(path), c.location);
        }
    }
}
