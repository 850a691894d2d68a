#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "store/BookingStore.h"
#include "tests/support/TestDatabase.h"
#include "tests/worklist/RunningWorklist.h"

namespace kesola::test {
namespace {

constexpr int kSuccess = 0x0000;
constexpr int kProcessingFailure = 0x0110;
constexpr int kNoSuchInstance = 0x0112;
constexpr int kInvalidAttributeValue = 0x0106;

// The key of a booking `days` from today (the service takes examinations of today only, by default).
QString keyOf(const char* room, int days, const char* time) {
    return QString::fromLatin1(room) + QDate::currentDate().addDays(days).toString("yyyyMMdd") + time;
}

// A scanner played by dcmjs-dimse (tests/worklist/scanner/scanner.js): its answer as JSON.
QJsonObject scanner(const RunningWorklist& service, const QStringList& args, const QString& ae = "MRI1") {
    const ToolRun run = runTool(
        "node",
        QStringList{KESOLA_TEST_SCANNER, "127.0.0.1", QString::number(service.port()), ae, "KESOLA_MWL"} + args);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    return QJsonDocument::fromJson(run.out.trimmed().section(u'\n', -1).toUtf8()).object();
}

// Who did what to the booking, oldest first: "TANMATSU/RIYOSHA/SOSA".
QStringList historyOf(const TestDatabase& db, const QString& key) {
    auto rows =
        db.connect()->selectNative("SELECT TANMATSU, RIYOSHA, SOSA FROM RIREKI WHERE CODE = ? ORDER BY NO", {key});
    QStringList history;
    for (; !rows->eof(); rows->moveNext()) {
        history << rows->field("TANMATSU") + u'/' + rows->field("RIYOSHA") + u'/' + rows->field("SOSA");
    }
    return history;
}

Booking booked(const QString& name, const QString& id, const QString& status = "1") {
    return Booking{"30", "01", name, "01", "1", "45", status, "", id};
}

class WorklistScanner : public ::testing::Test {
  protected:
    void SetUp() override {
        db.addRoom("1", "ＭＲＩ室");
        db.addRoom("2", "ＭＲＩ第２室");
        db.addRoom("3", "ＣＴ室");
        db.addDepartment("01", "内科", 255, 192, 192, 0, 0, 0);
        db.addBodyPart("01", "頭部");
        book(kKey, booked("山田　太郎", "P-0001"));
        book(kNoId, booked("佐藤 花子", ""));
        book(kKato, booked("加藤 陽子", "P-KATO"));
        book(keyOf("2", 0, "0930"), booked("田中 健", "P-MRI2"));
        book(keyOf("3", 0, "0930"), booked("伊藤 由美", "P-CT"));
        book(keyOf("1", 1, "0930"), booked("渡辺 誠", "P-TOMORROW"));
        book(keyOf("1", -1, "0930"), booked("中村 恵", "P-DONE", "2"));
        start();
    }

    void book(const QString& key, const Booking& b) {
        auto connection = db.connect();
        ASSERT_EQ(storeBooking(*connection, key, b, findBooking(*connection, key)), StoreOutcome::Stored);
    }

    void start(const QString& extra = {}) {
        service.reset();
        service = std::make_unique<RunningWorklist>("database = " + db.path() + "\n" + extra, "MRI1 = 1\nMRI2 = 2");
        ASSERT_TRUE(service->listening()) << service->log().toStdString();
    }

    QStringList offered() {
        QStringList accessions;
        const QString today = QDate::currentDate().toString("yyyyMMdd");
        for (const auto& item : scanner(*service, {"worklist", today})["items"].toArray()) {
            accessions << item.toObject()["AccessionNumber"].toString();
        }
        return accessions;
    }

    QString statusOf(const QString& key) { return findBooking(*db.connect(), key).value_or(Booking{}).JYOKYO; }

    const QString kKey = keyOf("1", 0, "0930");
    const QString kNoId = keyOf("1", 0, "1000");
    const QString kKato = keyOf("1", 0, "1100");
    TestDatabase db;
    std::unique_ptr<RunningWorklist> service;
};

TEST_F(WorklistScanner, TakesItsDayThenCompletesTheExaminationAsTheBoardsSeeIt) {
    const QJsonObject day = scanner(*service, {"worklist", QDate::currentDate().toString("yyyyMMdd")});
    EXPECT_EQ(day["status"].toInt(), kSuccess);
    const QJsonObject first = day["items"].toArray().at(0).toObject();
    EXPECT_EQ(first["AccessionNumber"].toString(), kKey);
    EXPECT_EQ(first["PatientID"].toString(), "P-0001");
    EXPECT_EQ(first["PatientSex"].toString(), "M");
    const QJsonObject step = first["ScheduledProcedureStepSequence"].toArray().at(0).toObject();
    EXPECT_EQ(step["ScheduledStationAETitle"].toString(), "MRI1");
    EXPECT_EQ(step["ScheduledProcedureStepStartTime"].toString(), "093000");
    ASSERT_EQ(offered(), QStringList({kKey, kKato})) << "the booking without a patient ID is left out";
    EXPECT_EQ(service->log().count(QString("予約 %1 は患者 ID がないため検査装置に出しません").arg(kNoId)), 1)
        << "named once a day: " << service->log().toStdString();

    const Booking before = *findBooking(*db.connect(), kKey);
    const QJsonObject exam = scanner(*service, {"exam", kKey, "COMPLETED"});
    EXPECT_EQ(exam["create"].toInt(), kSuccess);
    EXPECT_EQ(exam["set"].toInt(), kSuccess);

    Booking done = before;
    done.JYOKYO = "2";
    EXPECT_EQ(findBooking(*db.connect(), kKey), done);
    EXPECT_EQ(historyOf(db, kKey).mid(2), QStringList({"MRI1/kesola-worklist/検査開始", "MRI1/kesola-worklist/変更"}));
    EXPECT_EQ(offered(), QStringList({kKato}));
    EXPECT_TRUE(service->log().contains(QString("MRI1 (127.0.0.1): MPPS 検査完了 %1; 終了").arg(kKey)))
        << service->log().toStdString();
}

TEST_F(WorklistScanner, ADiscontinuedExaminationIsRecordedAndStaysToBeDone) {
    const Booking before = *findBooking(*db.connect(), kKey);
    const QJsonObject exam = scanner(*service, {"exam", kKey, "DISCONTINUED"});
    EXPECT_EQ(exam["set"].toInt(), kSuccess);
    EXPECT_EQ(findBooking(*db.connect(), kKey), before);
    EXPECT_EQ(historyOf(db, kKey).mid(2),
              QStringList({"MRI1/kesola-worklist/検査開始", "MRI1/kesola-worklist/検査中止"}));
    EXPECT_EQ(offered(), QStringList({kKey, kKato}));
}

TEST_F(WorklistScanner, AnUnknownStepFailsAndWritesNothing) {
    const int historyRows = db.count("RIREKI");
    const QJsonObject exam = scanner(*service, {"exam", keyOf("1", 0, "1950"), "COMPLETED"});
    EXPECT_EQ(exam["create"].toInt(), kProcessingFailure);
    EXPECT_EQ(exam["set"].toInt(), kNoSuchInstance);
    EXPECT_EQ(db.count("RIREKI"), historyRows);
    EXPECT_TRUE(service->log().contains(
        QString("MRI1 (127.0.0.1): MPPS N-CREATE を断りました: 予約が見つかりません (%1)").arg(keyOf("1", 0, "1950"))))
        << service->log().toStdString();
    // A booking cancelled after the scanner took its worklist: its examination is refused and nothing comes back.
    auto connection = db.connect();
    ASSERT_EQ(deleteBooking(*connection, kKey, findBooking(*connection, kKey)), CancelOutcome::Cancelled);
    EXPECT_EQ(scanner(*service, {"exam", kKey, "COMPLETED"})["create"].toInt(), kProcessingFailure);
    EXPECT_FALSE(findBooking(*db.connect(), kKey));
}

// A step is begun only for a booking the service would offer that scanner, and for the patient it names.
TEST_F(WorklistScanner, StepsNeverOfferedAreRefusedAndWriteNothing) {
    const struct {
        QString ae, key, patientId, name, comment;
    } cases[] = {
        {"MRI1", kKato, "OTHER-99", "", "patient ID does not match the step"},
        {"MRI1", kKato, "", "Yamada^Taro", "patient name does not match the step"},
        {"MRI1", kKato, "P-KATO", "佐藤^花子", "patient name does not match the step"},
        {"MRI1", keyOf("3", 0, "0930"), "", "", "step scheduled for another station"},
        {"MRI1", keyOf("2", 0, "0930"), "", "", "step scheduled for another station"},
        {"MRI1", keyOf("1", 1, "0930"), "", "", "step not scheduled for today"},
        {"MRI1", keyOf("1", -1, "0930"), "", "", "step not scheduled for today"},
        {"MRI1", kNoId, "", "", "step has no patient ID"},
    };
    const int historyRows = db.count("RIREKI");
    for (const auto& c : cases) {
        const QJsonObject created = scanner(*service, {"create", c.key, c.patientId, c.name}, c.ae);
        EXPECT_EQ(created["create"].toInt(), kProcessingFailure) << c.key.toStdString();
        EXPECT_EQ(created["comment"].toString(), c.comment) << c.key.toStdString();
        EXPECT_EQ(scanner(*service, {"set", created["uid"].toString(), "COMPLETED"})["set"].toInt(), kNoSuchInstance);
    }
    EXPECT_EQ(db.count("RIREKI"), historyRows);
    EXPECT_EQ(db.count("JISSHI"), 0);
    EXPECT_EQ(statusOf(kKato), "1");
    EXPECT_EQ(statusOf(keyOf("2", 0, "0930")), "1");
    // The patient named as the worklist gave it, or by its ID, is taken.
    const QJsonObject named = scanner(*service, {"create", kKato, "P-KATO", "加藤^陽子"});
    EXPECT_EQ(named["create"].toInt(), kSuccess) << named["comment"].toString().toStdString();
    EXPECT_EQ(scanner(*service, {"create", kKey, "P-0001", "=山田^太郎"})["create"].toInt(), kSuccess);
}

// The slot is cancelled and booked for another patient while the scanner examines the first: its completion is
// refused, whichever workstation made the new booking, and the new booking stays to be done.
TEST_F(WorklistScanner, ACompletionNeverLandsOnAnotherPatient) {
    const auto cancelAndBook = [this](const QString& name, const QString& id) {
        return [this, name, id](Database& c) {
            ASSERT_EQ(deleteBooking(c, kKey, findBooking(c, kKey)), CancelOutcome::Cancelled);
            ASSERT_EQ(storeBooking(c, kKey, booked(name, id), std::nullopt), StoreOutcome::Stored);
        };
    };
    const struct {
        const char* how;
        std::function<void(Database&)> rebook;
        QString comment;
    } cases[] = {
        {"another patient", cancelAndBook("鈴木 一郎", "P-SUZUKI"), "patient ID changed since the step began"},
        {"another name under the same ID", cancelAndBook("鈴木 一郎", "P-0001"),
         "patient changed since the step began"},
        {"the same patient booked anew", cancelAndBook("山田　太郎", "P-0001"), "study changed since the step began"},
        {"an older workstation's new booking",
         [this](Database& c) {
             c.execute("DELETE FROM KESOLA WHERE CODE = ?", {kKey});
             c.execute(
                 "INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                 "VALUES (?, '30', '01', 'N', '鈴木 一郎', '01', '1', '50', '1', '')",
                 {kKey});
         },
         "patient ID changed since the step began"},
    };
    for (const auto& c : cases) {
        book(kKey, booked("山田　太郎", "P-0001"));
        const QJsonObject created = scanner(*service, {"create", kKey});
        ASSERT_EQ(created["create"].toInt(), kSuccess) << c.how;
        auto connection = db.connect();
        c.rebook(*connection);
        const int historyRows = db.count("RIREKI");
        const QJsonObject set = scanner(*service, {"set", created["uid"].toString(), "COMPLETED"});
        EXPECT_EQ(set["set"].toInt(), kProcessingFailure) << c.how;
        EXPECT_EQ(set["comment"].toString(), c.comment) << c.how;
        EXPECT_EQ(statusOf(kKey), "1") << c.how;
        EXPECT_EQ(db.count("RIREKI"), historyRows) << c.how;
        for (const char* table : {"KESOLA", "KANJYA", "KENSA"})
            connection->execute(QString("DELETE FROM %1 WHERE CODE = ?").arg(table), {kKey});
    }
    EXPECT_TRUE(service->log().contains("MPPS N-SET を断りました: 予約 " + kKey +
                                        " の患者 ID が検査開始の後に「P-0001」から「P-SUZUKI」に変わりました"))
        << service->log().toStdString();
}

TEST_F(WorklistScanner, TheStepOutlivesARestartOfTheService) {
    const QJsonObject created = scanner(*service, {"create", kKey});
    ASSERT_EQ(created["create"].toInt(), kSuccess);
    start();
    const QJsonObject set = scanner(*service, {"set", created["uid"].toString(), "COMPLETED"});
    EXPECT_EQ(set["set"].toInt(), kSuccess) << set["comment"].toString().toStdString();
    EXPECT_EQ(statusOf(kKey), "2");
    EXPECT_EQ(scanner(*service, {"set", created["uid"].toString(), "COMPLETED"})["comment"].toString(),
              "performed procedure step already finished");
}

TEST_F(WorklistScanner, SitesThatServeBookingsWithoutIdOfferAndTakeThem) {
    start("without_id = serve\nmpps_days = 1");
    EXPECT_EQ(offered(), QStringList({kKey, kNoId, kKato}));
    EXPECT_EQ(scanner(*service, {"exam", kNoId, "COMPLETED"})["set"].toInt(), kSuccess);
    EXPECT_EQ(statusOf(kNoId), "2");
    EXPECT_EQ(scanner(*service, {"exam", keyOf("1", 1, "0930"), "COMPLETED"})["set"].toInt(), kSuccess)
        << "tomorrow's booking lies within mpps_days";
    EXPECT_FALSE(service->log().contains("患者 ID がないため"));
}

// A database made before patient IDs were kept, on either engine: its examinations are taken, the links in memory.
TEST_F(WorklistScanner, ADatabaseNotYetUpgradedStillTakesItsExaminations) {
    auto connection = db.connect();
    for (const char* table : {"JISSHI", "KENSA", "KANJYA"}) connection->execute(QString("DROP TABLE %1").arg(table));
    start("without_id = serve");
    EXPECT_EQ(offered(), QStringList({kKey, kNoId, kKato}));
    const QJsonObject discontinued = scanner(*service, {"exam", kKato, "DISCONTINUED"});
    EXPECT_EQ(discontinued["create"].toInt(), kSuccess) << discontinued["createComment"].toString().toStdString();
    EXPECT_EQ(discontinued["set"].toInt(), kSuccess) << discontinued["setComment"].toString().toStdString();
    const QJsonObject completed = scanner(*service, {"exam", kKey, "COMPLETED"});
    EXPECT_EQ(completed["set"].toInt(), kSuccess) << completed["setComment"].toString().toStdString();
    EXPECT_EQ(statusOf(kKey), "2");
    EXPECT_EQ(historyOf(db, kKato).mid(2),
              QStringList({"MRI1/kesola-worklist/検査開始", "MRI1/kesola-worklist/検査中止"}));
}

void registerYamada(const TestDatabase& db) {
    db.connect()->execute(
        QStringLiteral("INSERT INTO KANJYAMST (KANJYAID, SHIMEI, KANA, SEINENGAPPI, SEX) VALUES "
                       "('P-0001', '山田　太郎', 'ヤマダ　タロウ', '19600308', '1')"));
}

TEST_F(WorklistScanner, AStepNamingABirthDateTheRegisterContradictsIsRefused) {
    registerYamada(db);
    const QStringList booked = historyOf(db, kKey);
    EXPECT_EQ(scanner(*service, {"create", kKey, "", "", "19600309"})["create"].toInt(), kProcessingFailure);
    EXPECT_EQ(historyOf(db, kKey), booked);
    EXPECT_TRUE(service->log().contains("MPPS N-CREATE を断りました: 患者が違います (" + kKey +
                                        ": 患者ID P-0001 の生年月日は患者台帳では 19600308、検査では 19600309 です)"))
        << service->log().toStdString();
    EXPECT_EQ(scanner(*service, {"create", kKey, "", "", "19600308"})["create"].toInt(), kSuccess);
    EXPECT_EQ(historyOf(db, kKey), booked + QStringList({"MRI1/kesola-worklist/検査開始"}));
}

// A console that shows no kanji sends back the romaji it was offered, another the kana: each names the patient.
TEST_F(WorklistScanner, ARegisteredPatientIsNamedByAnyGroupTheWorklistOffered) {
    registerYamada(db);
    const struct {
        const char* name;
        int status;
    } cases[] = {
        {"YAMADA^TARO", kSuccess},
        {"Yamada^Taro", kSuccess},
        {"=山田^太郎", kSuccess},
        {"==ヤマダ^タロウ", kSuccess},
        {"YAMADA^TARO=山田^太郎=ヤマダ^タロウ", kSuccess},
        {"SUZUKI^ICHIRO=鈴木^一郎", kProcessingFailure},
        {"YAMADA^HANAKO", kProcessingFailure},
    };
    for (const auto& c : cases) {
        const QJsonObject created = scanner(*service, {"create", kKey, "P-0001", QString::fromUtf8(c.name)});
        EXPECT_EQ(created["create"].toInt(), c.status) << c.name << " " << created["comment"].toString().toStdString();
    }
}

}  // namespace
}  // namespace kesola::test
