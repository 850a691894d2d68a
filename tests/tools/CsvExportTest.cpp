#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <csignal>
#include <vector>

#include "store/Cp932.h"
#include "store/CsvValue.h"
#include "store/Texts.h"
#include "tests/support/ExpectedTexts.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"
#include "tools/CsvExport.h"

using namespace kesola;
using namespace kesola::expected;
using kesola::test::TestDatabase;

using kesola::test::readAll;
using kesola::test::writeFile;

namespace {

// The folder's entries: an export must leave no temporary file behind.
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Rows held in memory, as a record set walks them.
class RowsInMemory : public RecordSet {
  public:
    explicit RowsInMemory(std::vector<QHash<QString, QString>> rows) : rows_(std::move(rows)) {}
    bool isEmpty() const override { return rows_.empty(); }
    bool eof() const override { return at_ >= rows_.size(); }
    QString field(const QString& name) const override { return eof() ? QString() : rows_[at_].value(name); }
    void moveNext() override { ++at_; }
    void close() override { at_ = rows_.size(); }

  private:
    std::vector<QHash<QString, QString>> rows_;
    size_t at_ = 0;
};

QHash<QString, QString> reservation(const QString& code, const QString& name, const QString& remarks = QString()) {
    return {{QStringLiteral("CODE"), code},
            {QStringLiteral("Min"), QStringLiteral("30")},
            {QStringLiteral("KA"), QStringLiteral("03")},
            {QStringLiteral("BYOTO"), QStringLiteral("N")},
            {QStringLiteral("YNAME"), name},
            {QStringLiteral("BUI"), QStringLiteral("05")},
            {QStringLiteral("SEX"), QStringLiteral("1")},
            {QStringLiteral("AGE"), QStringLiteral("45")},
            {QStringLiteral("JYOKYO"), QStringLiteral("1")},
            {QStringLiteral("ETC"), remarks}};
}

QString record(const QHash<QString, QString>& row) {
    RowsInMemory rows({row});
    QString out;
    appendCsvRecord(out, readExportRow(rows));
    return out;
}

// A device that takes only so many bytes, as a full disk does.
class DeviceThatFills : public QIODevice {
  public:
    explicit DeviceThatFills(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
    QByteArray taken;

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (taken.size() + size > room_) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        taken.append(data, size);
        return size;
    }

  private:
    qint64 room_;
};

// Answers from a script: true until the call numbered cancelAt (1-based; 0 never cancels). Records the counts.
class ScriptedProgress : public ExportProgress {
  public:
    explicit ScriptedProgress(int cancelAt = 0) : cancelAt_(cancelAt) {}
    bool proceed(qint64 recordsWritten) override {
        counts.push_back(recordsWritten);
        return cancelAt_ == 0 || static_cast<int>(counts.size()) < cancelAt_;
    }
    std::vector<qint64> counts;

  private:
    int cancelAt_;
};

// Makes a file or folder unchangeable, also for root: the immutable attribute where the file system has it,
// otherwise read-only permissions (which root ignores). Undone on destruction so the folder can be removed.
class Unchangeable {
  public:
    explicit Unchangeable(const QString& path) : path_(path.toStdString()) {
        if (setImmutable(true)) {
            immutable_ = true;
        } else {
            struct stat st {};
            if (::stat(path_.c_str(), &st) == 0) {
                mode_ = st.st_mode & 07777;
                ::chmod(path_.c_str(), S_ISDIR(st.st_mode) ? 0555 : 0444);
                chmodded_ = true;
            }
        }
    }
    ~Unchangeable() {
        if (immutable_) setImmutable(false);
        if (chmodded_) ::chmod(path_.c_str(), mode_);
    }
    // Whether the protection really holds for this process (root passes over permissions).
    bool holds() const { return immutable_ || ::access(path_.c_str(), W_OK) != 0; }

  private:
    bool setImmutable(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    std::string path_;
    bool immutable_ = false;
    bool chmodded_ = false;
    mode_t mode_ = 0;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// Records

TEST(CsvRecord, TheExampleReservationGivesItsRecord) {
    EXPECT_EQ(record(reservation(QStringLiteral("2200503070930"), QStringLiteral("患者"))),
              QStringLiteral("2,2005,03,07,09,30,30,03,患者,05,1,45,1,,\r"));
}

TEST(CsvRecord, ValuesAreWrittenAsStoredCodesNotNames) {
    auto row = reservation(QStringLiteral("1200602280705"), QStringLiteral("  山田 太郎  "), QStringLiteral(" 造影 "));
    row[QStringLiteral("Min")] = QStringLiteral("120");
    row[QStringLiteral("AGE")] = QString();  // NULL reads as empty
    // A name of blanks around it keeps them; remarks with text keep theirs too.
    EXPECT_EQ(record(row), QStringLiteral("1,2006,02,28,07,05,120,03,  山田 太郎  ,05,1,,1, 造影 ,\r"));
}

TEST(CsvRecord, RemarksOfBlanksOnlyAreEmptyButANameOfBlanksIsKept) {
    EXPECT_EQ(record(reservation(QStringLiteral("1200503070930"), QStringLiteral("   "), QStringLiteral("    "))),
              QStringLiteral("1,2005,03,07,09,30,30,03,   ,05,1,45,1,,\r"));
}

TEST(CsvRecord, ValuesThatWouldBreakTheColumnsAreQuoted) {
    EXPECT_EQ(csvValue(QStringLiteral("山田,太郎")), QStringLiteral("\"山田,太郎\""));
    EXPECT_EQ(csvValue(QStringLiteral("say \"hi\"")), QStringLiteral("\"say \"\"hi\"\"\""));
    EXPECT_EQ(csvValue(QStringLiteral("one\rtwo")), QStringLiteral("\"one\rtwo\""));
    EXPECT_EQ(csvValue(QStringLiteral("one\ntwo")), QStringLiteral("\"one\ntwo\""));
    EXPECT_EQ(csvValue(QStringLiteral("\"")), QStringLiteral("\"\"\"\""));
    // Everything else exactly as stored: blanks, apostrophes, semicolons, tabs.
    EXPECT_EQ(csvValue(QStringLiteral(" a'b;c\td ")), QStringLiteral(" a'b;c\td "));
    EXPECT_EQ(csvValue(QString()), QString());
    EXPECT_EQ(record(reservation(QStringLiteral("1200503070930"), QStringLiteral("A,B"), QStringLiteral("x\r\ny"))),
              QStringLiteral("1,2005,03,07,09,30,30,03,\"A,B\",05,1,45,1,\"x\r\ny\",\r"));
}

TEST(CsvRecord, AShortOrEmptyCodeGivesEmptyPiecesInsteadOfFailing) {
    EXPECT_EQ(record(reservation(QStringLiteral("12005"), QStringLiteral("x"))),
              QStringLiteral("1,2005,,,,,30,03,x,05,1,45,1,,\r"));
    EXPECT_EQ(record(reservation(QString(), QStringLiteral("x"))), QStringLiteral(",,,,,,30,03,x,05,1,45,1,,\r"));
}

// ---------------------------------------------------------------------------------------------------------------
// Filter keys and statement

TEST(CsvFilter, EmptySelectorsMatchAnything) {
    const ExportFilter f = exportFilter(QString(), QString(), QString(), QString());
    EXPECT_EQ(f.room, QStringLiteral("*"));
    EXPECT_EQ(f.year, QStringLiteral("*"));
    EXPECT_EQ(f.month, QStringLiteral("*"));
    EXPECT_EQ(f.day, QStringLiteral("*"));
}

TEST(CsvFilter, TheFirstRoomYear2006AndApril) {
    const ExportFilter f = exportFilter(QStringLiteral("1"), QStringLiteral("2006"), QStringLiteral("4"), QString());
    EXPECT_EQ(exportStatement(f),
              QStringLiteral("SELECT * FROM KESOLA WHERE LEFT$(CODE,1) LIKE '1' AND MID$(CODE,2,4) LIKE '2006' AND "
                             "MID$(CODE,6,2) LIKE '04' AND MID$(CODE,8,2) LIKE '*' ORDER BY CODE ASC;"));
    EXPECT_EQ(exportFilter(QStringLiteral("3"), QString(), QString(), QStringLiteral("9")).day, QStringLiteral("09"));
    EXPECT_EQ(exportFilter(QStringLiteral("3"), QString(), QStringLiteral("12"), QString()).room, QStringLiteral("3"));
}

// ---------------------------------------------------------------------------------------------------------------
// Writing

TEST(CsvWriter, NoRecordsGiveOnlyTheLineEnd) {
    RowsInMemory rows({});
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    SilentProgress progress;
    const ExportOutcome outcome = writeCsvRecords(rows, out, progress);
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Written);
    EXPECT_EQ(outcome.records, 0);
    EXPECT_EQ(out.data(), QByteArray("\r\n"));
}

TEST(CsvWriter, RecordsInShiftJisEndWithCommaCrCrLf) {
    RowsInMemory rows(
        {reservation(QStringLiteral("2200503070930"), QStringLiteral("患者")),
         reservation(QStringLiteral("2200503071000"), QStringLiteral("ｶﾀｶﾅ～"), QStringLiteral("要確認"))});
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    SilentProgress progress;
    EXPECT_EQ(writeCsvRecords(rows, out, progress).records, 2);
    const QByteArray expected = QByteArray("2,2005,03,07,09,30,30,03,") + "\x8a\xb3\x8e\xd2" + ",05,1,45,1,,\r" +
                                "2,2005,03,07,10,00,30,03," + "\xb6\xc0\xb6\xc5\x81\x60" + ",05,1,45,1," +
                                "\x97\x76\x8a\x6d\x94\x46" + ",\r" + "\r\n";
    EXPECT_EQ(out.data(), expected);
    EXPECT_TRUE(out.data().endsWith(",\r\r\n"));
}

TEST(CsvWriter, CharactersWithoutAShiftJisFormBecomeOneQuestionMark) {
    RowsInMemory rows({reservation(QStringLiteral("1200503070930"), QStringLiteral("A😀B"), QStringLiteral("한"))});
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    SilentProgress progress;
    writeCsvRecords(rows, out, progress);
    EXPECT_EQ(out.data(), QByteArray("1,2005,03,07,09,30,30,03,A?B,05,1,45,1,?,\r\r\n"));

    // Half a surrogate pair, as a damaged row may hold, is no reason to lose the record.
    RowsInMemory damaged({reservation(QStringLiteral("1200503070930"), QStringLiteral("A") + QChar(0xD800))});
    QBuffer second;
    second.open(QIODevice::WriteOnly);
    writeCsvRecords(damaged, second, progress);
    EXPECT_EQ(second.data(), QByteArray("1,2005,03,07,09,30,30,03,A?,05,1,45,1,,\r\r\n"));
}

TEST(CsvWriter, AFullDeviceIsReportedWithItsReason) {
    std::vector<QHash<QString, QString>> many;
    for (int i = 0; i < 30000; ++i)
        many.push_back(reservation(QStringLiteral("1200503070930"), QStringLiteral("患者")));
    RowsInMemory rows(std::move(many));
    DeviceThatFills out(100000);
    SilentProgress progress;
    const ExportOutcome outcome = writeCsvRecords(rows, out, progress);
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_EQ(outcome.reason, QStringLiteral("No space left on device"));

    // Even the last two bytes can fail to fit.
    RowsInMemory none({});
    DeviceThatFills tiny(1);
    EXPECT_EQ(writeCsvRecords(none, tiny, progress).status, ExportOutcome::Status::Failed);
}

TEST(CsvWriter, ProgressIsToldAsRecordsGoAndCanCancel) {
    std::vector<QHash<QString, QString>> many;
    for (int i = 0; i < 600; ++i) many.push_back(reservation(QStringLiteral("1200503070930"), QStringLiteral("x")));
    {
        RowsInMemory rows(many);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        ScriptedProgress progress;
        EXPECT_EQ(writeCsvRecords(rows, out, progress).status, ExportOutcome::Status::Written);
        EXPECT_EQ(progress.counts, (std::vector<qint64>{256, 512, 600}));
    }
    {
        RowsInMemory rows(many);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        ScriptedProgress progress(2);
        const ExportOutcome outcome = writeCsvRecords(rows, out, progress);
        EXPECT_EQ(outcome.status, ExportOutcome::Status::Cancelled);
        EXPECT_EQ(outcome.records, 512);
    }
    {
        // A cancel at the very end, after the last record, still counts.
        RowsInMemory rows({reservation(QStringLiteral("1200503070930"), QStringLiteral("x"))});
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        ScriptedProgress progress(1);
        EXPECT_EQ(writeCsvRecords(rows, out, progress).status, ExportOutcome::Status::Cancelled);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The export file

class CsvExportFile : public ::testing::Test {
  protected:
    void SetUp() override {
        db_ = t_.connect();
        path_ = out_.filePath(kExportFile);
    }
    ExportOutcome exportAll(ExportProgress& progress) {
        return writeCsvExport(db_.get(), exportStatement(ExportFilter{}), path_, progress);
    }
    ExportOutcome exportAll() {
        SilentProgress progress;
        return exportAll(progress);
    }

    TestDatabase t_;
    std::unique_ptr<Database> db_;
    QTemporaryDir out_;
    QString path_;
};

TEST_F(CsvExportFile, WritesEveryReservationInCodeOrder) {
    t_.addReservation(QStringLiteral("2200503070930"), QStringLiteral("30"), QStringLiteral("03"),
                      QStringLiteral("患者"), QStringLiteral("05"), QStringLiteral("1"), QStringLiteral("1"),
                      QStringLiteral("45"));
    t_.addReservation(QStringLiteral("1200612310700"), QStringLiteral("10"), QStringLiteral("01"), QStringLiteral("B"),
                      QStringLiteral("02"), QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("7"),
                      QStringLiteral("   "));
    const ExportOutcome outcome = exportAll();
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Written);
    EXPECT_EQ(outcome.records, 2);
    EXPECT_EQ(readAll(path_), QByteArray("1,2006,12,31,07,00,10,01,B,02,2,7,2,,\r") +
                                  "2,2005,03,07,09,30,30,03,\x8a\xb3\x8e\xd2,05,1,45,1,,\r\r\n");
    EXPECT_EQ(entries(out_.path()), QStringList{kExportFile});
}

TEST_F(CsvExportFile, ASecondExportReplacesTheFirstCompletely) {
    writeFile(path_, QByteArray(5000, 'x'));
    EXPECT_EQ(exportAll().status, ExportOutcome::Status::Written);
    EXPECT_EQ(readAll(path_), QByteArray("\r\n"));
}

TEST_F(CsvExportFile, NoDatabaseFailsAndWritesNothing) {
    SilentProgress progress;
    const ExportOutcome outcome = writeCsvExport(nullptr, exportStatement(ExportFilter{}), path_, progress);
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_EQ(outcome.reason, kDatabaseNotOpened);
    EXPECT_TRUE(entries(out_.path()).isEmpty());
}

TEST_F(CsvExportFile, AFailingQueryLeavesTheOldFileAndNoTemporaryOne) {
    writeFile(path_, "old export");
    t_.connect()->execute(QStringLiteral("DROP TABLE KESOLA"));
    const ExportOutcome outcome = exportAll();
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_TRUE(outcome.reason.contains(QStringLiteral("KESOLA"), Qt::CaseInsensitive)) << outcome.reason.toStdString();
    EXPECT_EQ(readAll(path_), QByteArray("old export"));
    EXPECT_EQ(entries(out_.path()), QStringList{kExportFile});
}

TEST_F(CsvExportFile, ACancelLeavesTheOldFileAsItWas) {
    t_.connect()->execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 599) "
        "INSERT INTO KESOLA (CODE, YNAME) SELECT '1200503' || substr('00000' || i, length('00000' || i) - 5), "
        "'x' FROM n"));
    writeFile(path_, "old export");
    ScriptedProgress progress(2);
    EXPECT_EQ(exportAll(progress).status, ExportOutcome::Status::Cancelled);
    EXPECT_EQ(readAll(path_), QByteArray("old export"));
    EXPECT_EQ(entries(out_.path()), QStringList{kExportFile});
}

TEST_F(CsvExportFile, AReadOnlyFolderFailsWithTheFileAndReason) {
    Unchangeable folder(out_.path());
    if (!folder.holds()) GTEST_SKIP() << "cannot make a folder read-only here";
    const ExportOutcome outcome = exportAll();
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_TRUE(outcome.reason.startsWith(QDir::toNativeSeparators(path_) + u'\n')) << outcome.reason.toStdString();
    EXPECT_GT(outcome.reason.size(), path_.size() + 1);
    EXPECT_TRUE(entries(out_.path()).isEmpty());
}

TEST_F(CsvExportFile, AnOldFileThatCannotBeReplacedStaysAsItWas) {
    writeFile(path_, "old export");
    Unchangeable old(path_);
    if (!old.holds()) GTEST_SKIP() << "cannot protect a file here";
    const ExportOutcome outcome = exportAll();
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_TRUE(outcome.reason.startsWith(QDir::toNativeSeparators(path_))) << outcome.reason.toStdString();
    EXPECT_EQ(readAll(path_), QByteArray("old export"));
    EXPECT_EQ(entries(out_.path()), QStringList{kExportFile});
}

// A file size limit cuts the write short as a full disk does; the system's reason is what the user reads.
TEST_F(CsvExportFile, AWriteCutShortNamesTheSystemsReasonAndLeavesTheOldFile) {
    t_.connect()->execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 599) "
        "INSERT INTO KESOLA (CODE, YNAME) SELECT '1200503' || substr('00000' || i, length('00000' || i) - 5), "
        "'x' FROM n"));
    writeFile(path_, "old export");
    rlimit usual{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &usual), 0);
    rlimit small = usual;
    small.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const ExportOutcome outcome = exportAll();
    setrlimit(RLIMIT_FSIZE, &usual);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_EQ(outcome.reason, QDir::toNativeSeparators(path_) + QStringLiteral("\nFile too large"));
    EXPECT_EQ(readAll(path_), QByteArray("old export"));
    EXPECT_EQ(entries(out_.path()), QStringList{texts::kExportFileName});
}

TEST_F(CsvExportFile, AFolderInThePlaceOfTheFileIsNotReplaced) {
    ASSERT_TRUE(QDir(out_.path()).mkpath(kExportFile + QStringLiteral("/inside")));
    const ExportOutcome outcome = exportAll();
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_TRUE(QDir(path_ + QStringLiteral("/inside")).exists());
    EXPECT_EQ(entries(out_.path()), QStringList{kExportFile});
}

TEST_F(CsvExportFile, AnOldFileHeldOpenByAReaderIsReplacedWhileTheReaderKeepsItsCopy) {
    writeFile(path_, "old export");
    QFile reader(path_);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(exportAll().status, ExportOutcome::Status::Written);
    EXPECT_EQ(reader.readAll(), QByteArray("old export"));
    EXPECT_EQ(readAll(path_), QByteArray("\r\n"));
}

// The whole of a large database, checked record by record.
TEST_F(CsvExportFile, AMillionReservationsAreExportedWhole) {
    constexpr int kCount = 1000000;
    t_.connect()->execute(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
            "INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
            "SELECT '1' || substr('00000000000' || i, length('00000000000' || i) - 11), '20', '01', 'N', '患者' || i, "
            "'02', '1', '40', '1', "
            "CASE WHEN i % 3 = 0 THEN 'a,b' ELSE '' END FROM n"),
        {kCount - 1});
    const ExportOutcome outcome = exportAll();
    ASSERT_EQ(outcome.status, ExportOutcome::Status::Written);
    EXPECT_EQ(outcome.records, kCount);

    QFile file(path_);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::string expected;
    char line[128];
    for (int i = 0; i < kCount; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "1%012d", i);
        const std::string c(code);
        std::snprintf(line, sizeof line, "%s,%s,%s,%s,%s,%s,20,01,\x8a\xb3\x8e\xd2%d,02,1,40,1,%s,\r",
                      c.substr(0, 1).c_str(), c.substr(1, 4).c_str(), c.substr(5, 2).c_str(), c.substr(7, 2).c_str(),
                      c.substr(9, 2).c_str(), c.substr(11, 2).c_str(), i, i % 3 == 0 ? "\"a,b\"" : "");
        expected += line;
        if (expected.size() > (1 << 20) || i == kCount - 1) {
            if (i == kCount - 1) expected += "\r\n";
            const QByteArray actual = file.read(static_cast<qint64>(expected.size()));
            ASSERT_EQ(actual.toStdString(), expected) << "near record " << i;
            expected.clear();
        }
    }
    EXPECT_TRUE(file.atEnd());
}
