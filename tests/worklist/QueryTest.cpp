#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <gtest/gtest.h>

#include "worklist/StudyUid.h"
#include "worklist/WorklistAnswer.h"
#include "worklist/WorklistQuery.h"

namespace kesola::worklist {
namespace {

WorklistSettings twoStations() {
    WorklistSettings s;
    s.database = QStringLiteral("x");
    s.stations = {{QStringLiteral("MRI1"), QStringLiteral("1")}, {QStringLiteral("MRI2"), QStringLiteral("2")}};
    return s;
}

DcmDataset queryWith(const char* date, const char* station = "", const char* modality = "") {
    DcmDataset q;
    DcmItem* step = nullptr;
    q.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step, -2);
    step->putAndInsertString(DCM_ScheduledProcedureStepStartDate, date);
    step->putAndInsertString(DCM_ScheduledStationAETitle, station);
    step->putAndInsertString(DCM_Modality, modality);
    return q;
}

WorklistQuery parsed(DcmDataset& q) {
    auto result = parseWorklistQuery(q);
    EXPECT_TRUE(std::holds_alternative<WorklistQuery>(result));
    return std::get<WorklistQuery>(result);
}

TEST(WorklistQuery, WildcardsMatchAsDicomSays) {
    const struct {
        const char* pattern;
        const char* value;
        bool matches;
    } cases[] = {
        {"山田*", "山田^太郎", true},
        {"*太郎", "山田^太郎", true},
        {"山?^太郎", "山田^太郎", true},
        {"山田", "山田^太郎", false},
        {"*", "", true},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false},
        {"??", "abc", false},
        {"**a**", "a", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(wildcardMatch(QString::fromUtf8(c.pattern), QString::fromUtf8(c.value)), c.matches) << c.pattern;
    }
}

TEST(WorklistQuery, DatesAndStationsChooseWhatTheStoreReads) {
    const QDate today(2026, 12, 8);
    const struct {
        const char* date;
        const char* station;
        const char* modality;
        QStringList rooms;
        QDate from;
        QDate to;
        bool cut;
    } cases[] = {
        {"20261208", "", "", {"1", "2"}, today, today, false},
        {"20261207-20261209", "MRI2", "MR", {"2"}, QDate(2026, 12, 7), QDate(2026, 12, 9), false},
        {"", "MRI*", "", {"1", "2"}, today, QDate(2027, 12, 8), false},  // universal: a year from today
        {"20261210-", "MRI1", "", {"1"}, QDate(2026, 12, 10), QDate(2027, 12, 10), true},
        {"-20261208", "", "", {"1", "2"}, QDate(2025, 12, 8), today, true},
        {"20200101-20261208", "", "", {"1", "2"}, QDate(2020, 1, 1), QDate(2020, 12, 31), true},
        {"20261208-20271208", "", "", {"1", "2"}, today, QDate(2027, 12, 8), false},
        {"20261208", "CT1", "", {}, today, today, false},
        {"20261208", "", "CT", {}, today, today, false},
    };
    for (const auto& c : cases) {
        DcmDataset q = queryWith(c.date, c.station, c.modality);
        const StoreRead read = storeReadFor(parsed(q), twoStations(), today);
        EXPECT_EQ(read.roomCodes, c.rooms) << c.date << c.station;
        EXPECT_EQ(read.from, c.from) << c.date;
        EXPECT_EQ(read.to, c.to) << c.date;
        EXPECT_EQ(read.cut, c.cut) << c.date;
    }
}

TEST(WorklistQuery, StartTimesAndThePerformingPhysicianAreMatched) {
    ScheduledBooking booking;
    booking.code = QStringLiteral("1202612080930");
    const struct {
        const char* time;
        const char* physician;
        bool matches;
    } cases[] = {
        {"", "", true},
        {"0930", "", true},
        {"093000", "*", true},
        {"09", "", true},
        {"0900-1000", "", true},
        {"0931-", "", false},
        {"-0929", "", false},
        {"-09", "", true},
        {"10-", "", false},
        {"093000.000000-093000.5", "", true},
        {"", "YAMADA^TARO", false},
        {"", "*^*", true},
    };
    for (const auto& c : cases) {
        DcmDataset q = queryWith("");
        DcmItem* step = nullptr;
        q.findAndGetSequenceItem(DCM_ScheduledProcedureStepSequence, step, 0);
        step->putAndInsertString(DCM_ScheduledProcedureStepStartTime, c.time);
        step->putAndInsertString(DCM_ScheduledPerformingPhysicianName, c.physician);
        EXPECT_EQ(matches(parsed(q), booking), c.matches) << c.time << " " << c.physician;
    }
}

TEST(WorklistQuery, AnAccessionNumberAloneAsksForItsOwnDay) {
    DcmDataset q = queryWith("");
    q.putAndInsertString(DCM_AccessionNumber, "2202612240930");
    const StoreRead read = storeReadFor(parsed(q), twoStations(), QDate(2026, 12, 8));
    EXPECT_EQ(read.from, QDate(2026, 12, 24));
    EXPECT_EQ(read.to, QDate(2026, 12, 24));
}

TEST(WorklistQuery, UnreadableKeysAreRefused) {
    for (const char* date : {"2026-12-08", "20261332", "20261209-20261208", "-", "today"}) {
        DcmDataset q = queryWith(date);
        EXPECT_TRUE(std::holds_alternative<QString>(parseWorklistQuery(q))) << date;
    }
    for (const char* time : {"9", "0960", "2400", "1000-0900", "-", "09:30", "0930.5"}) {
        DcmDataset q = queryWith("20261208");
        DcmItem* step = nullptr;
        q.findAndGetSequenceItem(DCM_ScheduledProcedureStepSequence, step, 0);
        step->putAndInsertString(DCM_ScheduledProcedureStepStartTime, time);
        EXPECT_TRUE(std::holds_alternative<QString>(parseWorklistQuery(q))) << time;
    }
    DcmDataset q = queryWith("20261208");
    q.putAndInsertString(DCM_PatientName, "\xe5\xb1\xb1*");  // bytes with no character set named
    EXPECT_TRUE(std::holds_alternative<QString>(parseWorklistQuery(q)));
}

TEST(WorklistAnswer, AgesAndStudyUids) {
    EXPECT_EQ(dicomAgeOf(QStringLiteral("45")), "045Y");
    EXPECT_EQ(dicomAgeOf(QStringLiteral("007")), "007Y");
    EXPECT_EQ(dicomAgeOf(QStringLiteral("150")), "150Y");
    EXPECT_EQ(dicomAgeOf(QStringLiteral("151")), "");
    EXPECT_EQ(dicomAgeOf(QStringLiteral("")), "");
    QByteArray max(16, '\xff');
    EXPECT_EQ(uuidAsDecimal(max), "340282366920938463463374607431768211455");
    EXPECT_EQ(uuidAsDecimal(QByteArray(15, '\0') + '\x0b'), "11");
    const QString uid = newUid();
    EXPECT_TRUE(uid.startsWith("2.25."));
    EXPECT_LE(uid.size(), 64);
    EXPECT_NE(uid, newUid());
}

}  // namespace
}  // namespace kesola::worklist
