#include <arpa/inet.h>
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include "admin/AdminCommands.h"
#include "store/BookingStore.h"
#include "store/Cp932.h"
#include "store/engine/OpenDatabase.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"
#include "tests/worklist/RunningWorklist.h"

namespace kesola::test {
namespace {

const QString kStations = QStringLiteral("MRI1 = 1\nMRI2 = 2\n");
const QByteArray kYamadaIso2022 = QByteArrayLiteral("=\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B");

class WorklistFind : public ::testing::Test {
  protected:
    void SetUp() override {
        db.addRoom("1", "ＭＲＩ室");
        db.addRoom("2", "ＭＲＩ第２室");
        db.addDepartment("01", "内科", 255, 192, 192, 0, 0, 0);
        db.addDepartment("02", "整形外科", 255, 255, 160, 0, 0, 0);
        db.addBodyPart("01", "頭部");
        db.addBodyPart("02", "腰椎");
        db.addReservation("1203001150930", "30", "01", "山田　太郎", "01", "1", "1", "45");
        db.addReservation("1203001151000", "20", "02", "佐藤 花子", "02", "1", "2", "7");
        db.addReservation("1203001151100", "10", "01", "鈴木 一郎", "01", "2");  // done: never offered
        db.addReservation("1203001161000", "10", "01", "田中 健", "02", "1");
        db.addReservation("2203001150930", "10", "02", "高橋 美咲", "01", "1", "2", "150");
        db.addReservation("3203001150930", "10", "02", "伊藤 誠", "01", "1");  // a room no scanner stands in
        auto connection = db.connect();
        for (const auto& [key, id] : {std::pair{"1203001150930", "P-0001"}, std::pair{"1203001151000", "P-0002"}}) {
            connection->execute("INSERT INTO KANJYA (CODE, KANJYAID) VALUES (?, ?)", {QString(key), QString(id)});
        }
    }

    // The queries' matching is tested on every booking: those without a patient ID are served too here.
    std::unique_ptr<RunningWorklist> start(const QString& more = {}) {
        auto service = std::make_unique<RunningWorklist>(
            QStringLiteral("database = ") + db.path() + QStringLiteral("\nwithout_id = serve\n") + more, kStations);
        EXPECT_TRUE(service->listening()) << service->log().toStdString();
        return service;
    }

    FindRun find(RunningWorklist& service, const QueryKeys& keys, const QString& scanner = "MRI1") {
        DcmDataset query = worklistQuery(keys);
        return findscu(service.port(), scanner, query);
    }

    TestDatabase db;
};

TEST_F(WorklistFind, AnswersEveryValueOfABooking) {
    auto service = start();
    const FindRun run = find(*service, {.date = "20300115", .station = "MRI1"});
    ASSERT_EQ(run.accessionNumbers(), QStringList({"1203001150930", "1203001151000"})) << run.tool.err.toStdString();
    const QMap<QString, QString> expected{
        {"0008,0005", "\\ISO 2022 IR 87"},
        {"0008,0050", "1203001150930"},
        {"0008,0090", ""},
        {"0010,0010", "=山田^太郎"},
        {"0010,0020", "P-0001"},
        {"0010,0030", ""},
        {"0010,0040", "M"},
        {"0010,1010", "045Y"},
        {"0032,1033", "内科"},
        {"0032,1060", "頭部"},
        {"0040,1001", "1203001150930"},
        {"0008,0060", "MR"},
        {"0040,0001", "MRI1"},
        {"0040,0002", "20300115"},
        {"0040,0003", "093000"},
        {"0040,0007", "頭部"},
        {"0040,0009", "1203001150930"},
        {"0040,0006", ""},
        {"0040,1400", ""},
    };
    QMap<QString, QString> values = run.items[0].values;
    const QString studyUid = values.take("0020,000d");
    EXPECT_EQ(values, expected);
    EXPECT_TRUE(QRegularExpression("^2\\.25\\.[1-9][0-9]{0,38}$").match(studyUid).hasMatch()) << studyUid.toStdString();
    // The name's bytes: the ideographic group in JIS X 0208, back to ASCII before ^ and at the end.
    EXPECT_TRUE(run.items[0].bytes.contains(kYamadaIso2022));

    const QMap<QString, QString>& second = run.items[1].values;
    EXPECT_EQ(second["0010,0010"], "=佐藤^花子");
    EXPECT_EQ(second["0010,0020"], "P-0002");
    EXPECT_EQ(second["0010,0040"], "F");
    EXPECT_EQ(second["0010,1010"], "007Y");
    EXPECT_EQ(second["0032,1033"], "整形外科");
    EXPECT_EQ(second["0040,0003"], "100000");

    // The same booking keeps its study at the next query.
    EXPECT_EQ(find(*service, {.date = "20300115", .station = "MRI1"}).items[0].values["0020,000d"], studyUid);
}

TEST_F(WorklistFind, ARegisteredPatientGoesOutInThreeGroupsWithTheBirthDate) {
    // The hospital's file as many systems write it: Shift-JIS, the kana in half width.
    const QString file = db.folder() + QStringLiteral("/patients.csv");
    writeFile(file, Cp932::encode(QStringLiteral("ID,氏名,カナ氏名,生年月日,性別\r\n"
                                                 "P-0001,山田　太郎,ﾔﾏﾀﾞ ﾀﾛｳ,1960/03/08,M\r\n")));
    QString out;
    QTextStream stream(&out);
    ASSERT_EQ(runAdmin({QStringLiteral("patients"), QStringLiteral("import"), db.path(), file}, stream, stream), 0)
        << out.toStdString();
    auto service = start();
    const FindRun run = find(*service, {.date = "20300115", .station = "MRI1"});
    ASSERT_EQ(run.accessionNumbers(), QStringList({"1203001150930", "1203001151000"})) << run.tool.err.toStdString();
    EXPECT_EQ(run.items[0].values["0008,0005"], "\\ISO 2022 IR 87");
    EXPECT_EQ(run.items[0].values["0010,0010"], "YAMADA^TARO=山田^太郎=ヤマダ^タロウ");
    EXPECT_EQ(run.items[0].values["0010,0030"], "19600308");
    // Each group's Japanese in JIS X 0208, back to ASCII before every ^ and =.
    EXPECT_TRUE(run.items[0].bytes.contains(
        QByteArrayLiteral("YAMADA^TARO=\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B=\x1b$B%d%^%@\x1b(B^\x1b$B%?%m%&\x1b(B")));
    // A patient the register does not hold goes out as before.
    EXPECT_EQ(run.items[1].values["0010,0010"], "=佐藤^花子");
    EXPECT_EQ(run.items[1].values["0010,0030"], "");
}

TEST_F(WorklistFind, MatchesTheKeysScannersSend) {
    auto service = start();
    const struct {
        QueryKeys keys;
        QStringList found;
    } cases[] = {
        {{.date = "20300115", .station = "MRI1"}, {"1203001150930", "1203001151000"}},
        {{.date = "20300115-20300116", .station = "MRI1"}, {"1203001150930", "1203001151000", "1203001161000"}},
        {{.date = "20300116-", .station = ""}, {"1203001161000"}},
        {{.date = "20300115", .station = ""}, {"1203001150930", "1203001151000", "2203001150930"}},
        {{.date = "20300115", .station = "MRI2"}, {"2203001150930"}},
        {{.date = "20300115", .station = "MRI*"}, {"1203001150930", "1203001151000", "2203001150930"}},
        {{.date = "20300115", .station = "CT1"}, {}},
        {{.date = "20300115-20300116", .patientName = "=\x1b$B;3ED\x1b(B*"}, {"1203001150930"}},
        {{.date = "20300115-20300116", .patientName = "*\xe8\x8a\xb1\xe5\xad\x90", .charset = "ISO_IR 192"},
         {"1203001151000"}},
        {{.date = "20300115-20300116", .patientName = "\x1b$BED\x1b(B?*"}, {"1203001161000"}},
        {{.accession = "1203001161000"}, {"1203001161000"}},
        {{.date = "20300115-20300116", .patientId = "P-0002"}, {"1203001151000"}},
        {{.date = "20300115-20300116", .patientId = "P-*"}, {"1203001150930", "1203001151000"}},
        {{.date = "20300115", .accession = "1203001151100"}, {}},
    };
    for (const auto& c : cases) {
        const FindRun run = find(*service, c.keys);
        EXPECT_EQ(run.accessionNumbers(), c.found) << c.keys.date.toStdString() << " " << c.keys.station.toStdString()
                                                   << " " << c.keys.patientName.toStdString();
        EXPECT_TRUE(run.tool.err.contains("Received Final Find Response (Success)")) << run.tool.err.toStdString();
    }
    EXPECT_TRUE(service->log().contains(
        "MRI1 (127.0.0.1): C-FIND の日付の範囲を 20300116 から 20310116 までの 366 日に縮めました"))
        << service->log().toStdString();
    // The room's own name and its station follow the room: the answer for MRI2's booking names MRI2.
    EXPECT_EQ(find(*service, {.date = "20300115", .station = ""}).items[2].values["0040,0001"], "MRI2");
}

TEST_F(WorklistFind, StartTimesAndThePerformingPhysicianAreMatched) {
    auto service = start();
    const struct {
        QString time;
        QByteArray physician;
        QStringList found;
    } cases[] = {
        {"0930", "", {"1203001150930"}},   {"0931-1000", "", {"1203001151000"}},
        {"-0959", "*", {"1203001150930"}}, {"10-", "", {"1203001151000"}},
        {"", "YAMADA^TARO", {}},           {"", "*", {"1203001150930", "1203001151000"}},
    };
    for (const auto& c : cases) {
        const FindRun run =
            find(*service, {.date = "20300115", .station = "MRI1", .time = c.time, .physician = c.physician});
        EXPECT_EQ(run.accessionNumbers(), c.found) << c.time.toStdString() << " " << c.physician.toStdString();
    }
}

// The bookings of the coming year, each with its patient ID, for queries without a date.
class WorklistFindComingYear : public WorklistFind {
  protected:
    void SetUp() override {
        WorklistFind::SetUp();
        const QDate today = QDate::currentDate();
        const struct {
            QDate day;
            const char* time;
            const char* name;
            const char* remarks;
        } bookings[] = {
            {today.addDays(-1), "0900", "前日 一郎", ""},
            {today, "0700", "ﾔﾏﾀﾞ ﾀﾛｳ", "造影あり ｱﾚﾙｷﾞｰ"},
            {today.addDays(365), "0900", "一年後 花子", ""},
            {today.addDays(366), "0900", "一年後 次郎", ""},
        };
        auto connection = db.connect();
        for (const auto& b : bookings) {
            const QString key = QStringLiteral("1") + b.day.toString(QStringLiteral("yyyyMMdd")) + b.time;
            db.addReservation(key, "10", "01", QString::fromUtf8(b.name), "01", "1", "1", "40",
                              QString::fromUtf8(b.remarks));
            connection->execute("INSERT INTO KANJYA (CODE, KANJYAID) VALUES (?, ?)", {key, "P-" + key.right(6)});
            keys << key;
        }
    }
    QStringList keys;  // in the order above
};

TEST_F(WorklistFindComingYear, NoDateAsksForTheComingYearAndAnEmptyStepForEveryKey) {
    auto service = start();
    DcmDataset emptyItem = worklistQuery({.station = "MRI1"});
    emptyItem.findAndDeleteElement(DCM_ScheduledProcedureStepSequence);
    auto* sequence = new DcmSequenceOfItems(DCM_ScheduledProcedureStepSequence);
    sequence->append(new DcmItem());
    emptyItem.insert(sequence);
    DcmDataset zeroLength = worklistQuery({.station = "MRI1"});
    zeroLength.findAndDeleteElement(DCM_ScheduledProcedureStepSequence);
    zeroLength.insertEmptyElement(DCM_ScheduledProcedureStepSequence);
    const QMap<QString, QString> everyStepKey{
        {"0008,0060", "MR"}, {"0040,0001", "MRI1"},      {"0040,0002", keys[1].mid(1, 8)}, {"0040,0003", "070000"},
        {"0040,0006", ""},   {"0040,0007", "頭部"},      {"0040,0009", keys[1]},           {"0040,0010", ""},
        {"0040,0011", ""},   {"0040,0020", "SCHEDULED"},
    };
    for (DcmDataset* query : {&emptyItem, &zeroLength}) {
        const FindRun run = findscu(service->port(), "MRI1", *query);
        ASSERT_EQ(run.accessionNumbers(), QStringList({keys[1], keys[2]})) << run.tool.err.toStdString();
        for (auto [tag, value] : everyStepKey.asKeyValueRange()) {
            EXPECT_EQ(run.items[0].values.value(tag, "(absent)"), value) << tag.toStdString();
        }
    }
    EXPECT_EQ(find(*service, {.station = "MRI1"}).accessionNumbers(), QStringList({keys[1], keys[2]}));
}

TEST_F(WorklistFindComingYear, HalfWidthKatakanaGoInIso2022Ir13AndTheRemarksWithThem) {
    for (const QString outside : {"substitute", "utf8"}) {
        auto service = start(QStringLiteral("outside = ") + outside + u'\n');
        const FindRun run = find(*service, {.station = "MRI1", .accession = keys[1]});
        ASSERT_EQ(run.items.size(), 1u) << run.tool.err.toStdString();
        EXPECT_EQ(run.items[0].values["0008,0005"], "ISO 2022 IR 13\\ISO 2022 IR 87");
        // ﾔﾏﾀﾞ^ﾀﾛｳ as JIS X 0201 bytes; the remarks' kanji after ESC $ B, back to JIS X 0201 with ESC ( J.
        EXPECT_TRUE(run.items[0].bytes.contains(QByteArrayLiteral("\xd4\xcf\xc0\xde^\xc0\xdb\xb3")));
        EXPECT_TRUE(run.items[0].bytes.contains(
            QByteArrayLiteral("\x1b$BB$1F\x24\x22\x24\x6a\x1b(J \xb1\xda\xd9\xb7\xde\xb0")));
    }
    for (const char* charset : {"ISO 2022 IR 87", "ISO_IR 192"}) {
        auto service = start(QStringLiteral("charset = %1\n").arg(charset));
        const FindRun run = find(*service, {.station = "MRI1", .accession = keys[1]});
        ASSERT_EQ(run.items.size(), 1u);
        EXPECT_EQ(run.items[0].values["0010,0010"], "ﾔﾏﾀﾞ^ﾀﾛｳ") << charset;
        EXPECT_EQ(run.items[0].values["0040,1400"], "造影あり ｱﾚﾙｷﾞｰ") << charset;
    }
}

TEST_F(WorklistFind, ACancelledBookingIsGoneAndADoneOneIsNotOffered) {
    auto service = start();
    const QueryKeys day{.date = "20300115", .station = "MRI1"};
    ASSERT_EQ(find(*service, day).accessionNumbers(), QStringList({"1203001150930", "1203001151000"}));
    auto connection = db.connect();
    const QString cancelled = QStringLiteral("1203001150930");
    ASSERT_EQ(deleteBooking(*connection, cancelled, findBooking(*connection, cancelled)), CancelOutcome::Cancelled);
    EXPECT_EQ(find(*service, day).accessionNumbers(), QStringList({"1203001151000"}));
    const QString done = QStringLiteral("1203001151000");
    Booking finished = *findBooking(*connection, done);
    finished.JYOKYO = QStringLiteral("2");
    ASSERT_EQ(storeBooking(*connection, done, finished, findBooking(*connection, done)), StoreOutcome::Stored);
    EXPECT_EQ(find(*service, day).accessionNumbers(), QStringList());
}

TEST_F(WorklistFind, ANameOutsideJisX0208GoesAsTheSettingsSay) {
    db.addReservation("1203001171000", "10", "01", "髙橋 﨑子", "01", "1");
    const QueryKeys day{.date = "20300117", .station = "MRI1"};
    {
        auto service = start(QStringLiteral("outside = utf8\n"));
        const FindRun run = find(*service, day);
        ASSERT_EQ(run.items.size(), 1u);
        EXPECT_EQ(run.items[0].values["0008,0005"], "ISO_IR 192");
        EXPECT_EQ(run.items[0].values["0010,0010"], "=髙橋^﨑子");
        EXPECT_TRUE(run.items[0].bytes.contains(QStringLiteral("=髙橋^﨑子").toUtf8()));
        EXPECT_TRUE(service->log().contains(
            "予約 1203001171000: JIS X 0208 にない文字「髙」があるため ISO_IR 192 で送りました"))
            << service->log().toStdString();
    }
    auto service = start(QStringLiteral("outside = substitute\n"));
    const FindRun run = find(*service, day);
    ASSERT_EQ(run.items.size(), 1u);
    EXPECT_EQ(run.items[0].values["0008,0005"], "\\ISO 2022 IR 87");
    EXPECT_EQ(run.items[0].values["0010,0010"], "=高橋^崎子");
    EXPECT_TRUE(run.items[0].bytes.contains(QByteArrayLiteral("=\x1b$B9b66\x1b(B^\x1b$B:j;R\x1b(B")));
    EXPECT_TRUE(
        service->log().contains("予約 1203001171000: JIS X 0208 にない文字を置き換えて送りました (髙→高, 﨑→崎)"))
        << service->log().toStdString();
    // A scanner that takes UTF-8 gets it for every answer.
    auto utf8 = start(QStringLiteral("charset = ISO_IR 192\n"));
    EXPECT_EQ(find(*utf8, {.date = "20300115", .station = "MRI1"}).items[0].values["0008,0005"], "ISO_IR 192");
}

TEST_F(WorklistFind, RefusesAScannerItDoesNotKnow) {
    auto service = start(QStringLiteral("accept = MRI1 MRI2\n"));
    const FindRun stranger = find(*service, {.date = "20300115"}, "CT9");
    EXPECT_TRUE(stranger.items.empty());
    EXPECT_TRUE(stranger.tool.err.contains("Association Rejected")) << stranger.tool.err.toStdString();
    DcmDataset query = worklistQuery({.date = "20300115"});
    const FindRun wrongService = findscu(service->port(), "MRI1", query, "OTHER_MWL");
    EXPECT_TRUE(wrongService.tool.err.contains("Association Rejected"));
    EXPECT_EQ(find(*service, {.date = "20300115", .station = "MRI1"}).items.size(), 2u);
    const QString log = service->log();
    EXPECT_EQ(log.count("CT9 (127.0.0.1) を断りました: accept にない AE タイトルです"), 1) << log.toStdString();
    EXPECT_EQ(log.count("MRI1 (127.0.0.1) を断りました: 呼ばれた AE タイトル OTHER_MWL はこのサービス (KESOLA_MWL) "
                        "ではありません"),
              1);
    EXPECT_EQ(log.count("を断りました"), 2);
}

TEST_F(WorklistFind, TheStartSaysWhatWillNotWork) {
    const struct {
        QString settings;
        const char* line;
    } cases[] = {
        {"database = /nonexistent/KESOLA.MDB\n", "データベースを開けません ("},
        {"database = " + db.path() + "\naccept = MRI1 CT1\n",
         "[stations] の MRI2 (部屋 2) は accept にないため、その装置の関連付けは断られます"},
    };
    // The service takes its first association once it has said what it had to: after a query, it has.
    for (const auto& c : cases) {
        RunningWorklist service(c.settings, kStations);
        ASSERT_TRUE(service.listening()) << service.log().toStdString();
        find(service, {.date = "20300115", .station = "MRI1"});
        EXPECT_EQ(service.log().count(QString::fromUtf8(c.line)), 1) << service.log().toStdString();
    }
    auto quiet = start();
    find(*quiet, {.date = "20300115", .station = "MRI1"});
    EXPECT_FALSE(quiet->log().contains("を開けません")) << quiet->log().toStdString();
    EXPECT_FALSE(quiet->log().contains("accept にない")) << quiet->log().toStdString();
}

// The store taken away while the service runs, then put back: the file moved away; on the server, every connection
// to the database cut and no new one let in, as when the server goes.
class StoreAway {
  public:
    explicit StoreAway(const TestDatabase& db) : db_(db) { move(false); }
    ~StoreAway() { move(true); }

  private:
    void move(bool back) {
        if (!db_.onServer()) {
            const QString away = db_.path() + QStringLiteral(".away");
            back ? QFile::rename(away, db_.path()) : QFile::rename(db_.path(), away);
            return;
        }
        const QString name = QUrl(db_.path()).path().mid(1);
        auto admin = openDatabase(uriWithDatabase(db_.path(), QStringLiteral("postgres")));
        admin->execute(
            QStringLiteral("ALTER DATABASE \"%1\" WITH ALLOW_CONNECTIONS %2").arg(name, back ? "true" : "false"));
        if (!back) {
            admin->execute("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE datname = ?", {name});
        }
    }
    const TestDatabase& db_;
};

TEST_F(WorklistFind, AStoreThatIsGoneFailsTheQueryAndIsServedAgainOnceBack) {
    auto service = start();
    const QueryKeys day{.date = "20300115", .station = "MRI1"};
    {
        StoreAway away(db);
        const FindRun run = find(*service, day);
        EXPECT_TRUE(run.items.empty());
        EXPECT_TRUE(run.tool.err.contains("Received Final Find Response (Failed: UnableToProcess)"))
            << run.tool.err.toStdString();
        EXPECT_TRUE(service->running());
    }
    const FindRun back = find(*service, day);
    EXPECT_EQ(back.accessionNumbers(), QStringList({"1203001150930", "1203001151000"}))
        << back.tool.err.toStdString() << service->log().toStdString();
    EXPECT_TRUE(service->log().contains("MRI1 (127.0.0.1): C-FIND に失敗しました: データベースを読めません"))
        << service->log().toStdString();
}

TEST_F(WorklistFind, ABusyStoreFailsTheQueryAndTheServiceStaysUp) {
    auto service = start();
    const QueryKeys day{.date = "20300115", .station = "MRI1"};
    {
        const auto writer = db.holdWholeStore();  // another workstation's long write
        const FindRun run = find(*service, day);
        EXPECT_TRUE(run.items.empty());
        EXPECT_TRUE(run.tool.err.contains("Received Final Find Response (Failed: UnableToProcess)"))
            << run.tool.err.toStdString();
    }
    EXPECT_EQ(find(*service, day).accessionNumbers(), QStringList({"1203001150930", "1203001151000"}));
}

// A connection of its own to the service's port, open until destroyed.
int connectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// Sends bytes on a connection of its own and closes it, as a scanner that stops in the middle would.
void sendAndHangUp(int port, const QByteArray& bytes) {
    const int fd = connectTo(port);
    if (!bytes.isEmpty()) {
        [[maybe_unused]] const auto sent =
            ::send(fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
    }
    close(fd);
}

// The log's lines that hold the text, once the service has written as many as expected (or after 10 s).
int linesWith(RunningWorklist& service, const QString& text, int expected) {
    for (int waited = 0; service.log().count(text) < expected && waited < 10000; waited += 50) QThread::msleep(50);
    return static_cast<int>(service.log().count(text));
}

TEST_F(WorklistFind, AssociationsCutOrBrokenLeaveTheServiceServingAndOneLineEach) {
    auto service = start();
    const int historyRows = db.count("RIREKI");
    const QByteArray associateHeader = QByteArray::fromHex("01000000ffff0001");  // A-ASSOCIATE-RQ of 64 KiB ...
    const struct {
        QByteArray bytes;
        const char* line;  // the service's line for it, after the peer's address
    } cases[] = {
        {{}, nullptr},  // a connection and nothing: a check that the port is open
        {associateHeader, "127.0.0.1: 関連付け要求の途中で接続が切れました"},  // ... that never comes
        {associateHeader + QByteArray(200, '\x20'), "127.0.0.1: 関連付け要求の途中で接続が切れました"},
        {QByteArray::fromHex("07000000000400000000"),  // an A-ABORT before any association
         "127.0.0.1: 接続を閉じました: DICOM の関連付け要求ではありません"},
        {QByteArray::fromHex("ff00000000020000"),  // a PDU type that does not exist
         "127.0.0.1: 接続を閉じました: DICOM の関連付け要求ではありません"},
        {QByteArray(5000, '\xff'), "127.0.0.1: 接続を閉じました: DICOM の関連付け要求ではありません"},  // noise
        {QByteArray::fromHex("0100ffffffff"),  // a length of 4 GiB
         "127.0.0.1: 接続を閉じました: 関連付け要求の長さが 1048576 バイトを超えます"},
    };
    QMap<QString, int> expectedLines;
    for (const auto& c : cases) {
        sendAndHangUp(service->port(), c.bytes);
        if (c.line) ++expectedLines[QString::fromUtf8(c.line)];
    }
    for (auto [line, count] : expectedLines.asKeyValueRange()) {
        EXPECT_EQ(linesWith(*service, line, count), count) << line.toStdString() << "\n"
                                                           << service->log().toStdString();
    }
    EXPECT_EQ(service->log().count("127.0.0.1: "), 6) << service->log().toStdString();
    // A scanner that asks and is gone while the answers are still being sent.
    QTemporaryDir dir;
    DcmDataset query = worklistQuery({.date = "20300101-20301231"});
    DcmFileFormat(&query).saveFile(dir.filePath("query.wl").toLocal8Bit().constData(), EXS_LittleEndianExplicit);
    QProcess impatient;
    impatient.start("findscu", {"-W", "-aet", "MRI1", "-aec", "KESOLA_MWL", "127.0.0.1",
                                QString::number(service->port()), dir.filePath("query.wl")});
    impatient.waitForStarted();
    QThread::msleep(30);
    impatient.kill();
    impatient.waitForFinished();
    const FindRun after = find(*service, {.date = "20300115", .station = "MRI1"});
    EXPECT_EQ(after.items.size(), 2u) << after.tool.err.toStdString() << service->log().toStdString();
    EXPECT_TRUE(service->running());
    EXPECT_EQ(db.count("RIREKI"), historyRows);
}

TEST_F(WorklistFind, SilentConnectionsNeverKeepAScannerWaiting) {
    auto service = start();
    std::vector<int> silent;
    for (int i = 0; i < 200; ++i) silent.push_back(connectTo(service->port()));
    const FindRun run = find(*service, {.date = "20300115", .station = "MRI1"});
    EXPECT_EQ(run.accessionNumbers(), QStringList({"1203001150930", "1203001151000"})) << run.tool.err.toStdString();
    const QString closed = QStringLiteral("127.0.0.1: 接続を閉じました: 5 秒のあいだに関連付け要求が届きませんでした");
    EXPECT_EQ(service->log().count(closed), 0) << "the scanner waited until the silent ones were closed";
    EXPECT_EQ(linesWith(*service, closed, 200), 200);
    for (int fd : silent) {
        char byte = 0;
        EXPECT_EQ(recv(fd, &byte, 1, 0), 0) << "closed by the service";
        close(fd);
    }
}

}  // namespace
}  // namespace kesola::test
