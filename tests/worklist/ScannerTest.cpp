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

// A scanner played by dcmjs-dimse (tests/worklist/scanner/scanner.js): its answer as JSON.
QJsonObject scanner(const RunningWorklist& service, const QStringList& args) {
    const ToolRun run = runTool(
        "node",
        QStringList{KESOLA_TEST_SCANNER, "127.0.0.1", QString::number(service.port()), "MRI1", "KESOLA_MWL"} + args);
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

class WorklistScanner : public ::testing::Test {
  protected:
    void SetUp() override {
        db.addRoom("1", "ＭＲＩ室");
        db.addDepartment("01", "内科", 255, 192, 192, 0, 0, 0);
        db.addBodyPart("01", "頭部");
        db.addReservation("1203001150930", "30", "01", "山田　太郎", "01", "1", "1", "45");
        db.addReservation("1203001151000", "20", "01", "佐藤 花子", "01", "1", "2", "33");
        db.connect()->execute("INSERT INTO KANJYA (CODE, KANJYAID) VALUES (?, ?)", {kKey, QString("P-0001")});
        service = std::make_unique<RunningWorklist>("database = " + db.path(), "MRI1 = 1");
        ASSERT_TRUE(service->listening()) << service->log().toStdString();
    }

    QStringList offered() {
        QStringList accessions;
        for (const auto& item : scanner(*service, {"worklist", "20300115"})["items"].toArray()) {
            accessions << item.toObject()["AccessionNumber"].toString();
        }
        return accessions;
    }

    const QString kKey = QStringLiteral("1203001150930");
    TestDatabase db;
    std::unique_ptr<RunningWorklist> service;
};

TEST_F(WorklistScanner, TakesItsDayThenCompletesTheExaminationAsTheBoardsSeeIt) {
    const QJsonObject day = scanner(*service, {"worklist", "20300115"});
    EXPECT_EQ(day["status"].toInt(), kSuccess);
    const QJsonObject first = day["items"].toArray().at(0).toObject();
    EXPECT_EQ(first["AccessionNumber"].toString(), kKey);
    EXPECT_EQ(first["PatientID"].toString(), "P-0001");
    EXPECT_EQ(first["PatientSex"].toString(), "M");
    const QJsonObject step = first["ScheduledProcedureStepSequence"].toArray().at(0).toObject();
    EXPECT_EQ(step["ScheduledStationAETitle"].toString(), "MRI1");
    EXPECT_EQ(step["ScheduledProcedureStepStartTime"].toString(), "093000");
    ASSERT_EQ(offered(), QStringList({kKey, "1203001151000"}));

    const Booking before = *findBooking(*db.connect(), kKey);
    const QJsonObject exam = scanner(*service, {"exam", kKey, "COMPLETED"});
    EXPECT_EQ(exam["create"].toInt(), kSuccess);
    EXPECT_EQ(exam["set"].toInt(), kSuccess);

    Booking done = before;
    done.JYOKYO = "2";
    EXPECT_EQ(findBooking(*db.connect(), kKey), done);
    EXPECT_EQ(historyOf(db, kKey), QStringList({"MRI1/kesola-worklist/検査開始", "MRI1/kesola-worklist/変更"}));
    EXPECT_EQ(offered(), QStringList({"1203001151000"}));
    EXPECT_TRUE(service->log().contains("MRI1 (127.0.0.1): MPPS 検査完了 1203001150930; 終了"))
        << service->log().toStdString();
}

TEST_F(WorklistScanner, ADiscontinuedExaminationIsRecordedAndStaysToBeDone) {
    const Booking before = *findBooking(*db.connect(), kKey);
    const QJsonObject exam = scanner(*service, {"exam", kKey, "DISCONTINUED"});
    EXPECT_EQ(exam["set"].toInt(), kSuccess);
    EXPECT_EQ(findBooking(*db.connect(), kKey), before);
    EXPECT_EQ(historyOf(db, kKey), QStringList({"MRI1/kesola-worklist/検査開始", "MRI1/kesola-worklist/検査中止"}));
    EXPECT_EQ(offered(), QStringList({kKey, "1203001151000"}));
}

TEST_F(WorklistScanner, AnUnknownStepFailsAndWritesNothing) {
    const int historyRows = db.count("RIREKI");
    const QJsonObject exam = scanner(*service, {"exam", "1203001159990", "COMPLETED"});
    EXPECT_EQ(exam["create"].toInt(), kProcessingFailure);
    EXPECT_EQ(exam["set"].toInt(), kNoSuchInstance);
    EXPECT_EQ(db.count("RIREKI"), historyRows);
    EXPECT_EQ(db.count("KESOLA"), 2);
    EXPECT_TRUE(
        service->log().contains("MRI1 (127.0.0.1): MPPS N-CREATE を断りました: 予約が見つかりません (1203001159990)"))
        << service->log().toStdString();
    // A booking cancelled after the scanner took its worklist: its examination is refused and nothing comes back.
    auto connection = db.connect();
    ASSERT_EQ(deleteBooking(*connection, kKey, findBooking(*connection, kKey)), CancelOutcome::Cancelled);
    EXPECT_EQ(scanner(*service, {"exam", kKey, "COMPLETED"})["create"].toInt(), kProcessingFailure);
    EXPECT_FALSE(findBooking(*db.connect(), kKey));
}

TEST_F(WorklistScanner, AStepNamingABirthDateTheRegisterContradictsIsRefused) {
    db.connect()->execute(
        QStringLiteral("INSERT INTO KANJYAMST (KANJYAID, SHIMEI, KANA, SEINENGAPPI, SEX) VALUES "
                       "('P-0001', '山田　太郎', 'ヤマダ　タロウ', '19600308', '1')"));
    EXPECT_EQ(scanner(*service, {"create", kKey, "19600309"})["create"].toInt(), kInvalidAttributeValue);
    EXPECT_EQ(historyOf(db, kKey), QStringList());
    EXPECT_TRUE(
        service->log().contains("MPPS N-CREATE を断りました: 患者が違います (1203001150930: 患者ID P-0001 の"
                                "生年月日は患者台帳では 19600308、検査では 19600309 です)"))
        << service->log().toStdString();
    EXPECT_EQ(scanner(*service, {"create", kKey, "19600308"})["create"].toInt(), kSuccess);
    EXPECT_EQ(historyOf(db, kKey), QStringList({"MRI1/kesola-worklist/検査開始"}));
}

}  // namespace
}  // namespace kesola::test
