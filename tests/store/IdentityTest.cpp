// What ties a booking to its patient: the ID row and the study UID, saved with the booking, never passed on to a
// booking another workstation made over them; and a database that was not upgraded yet.
#include <gtest/gtest.h>

#include "store/BookingStore.h"
#include "store/ExamSteps.h"
#include "store/ReservationSearch.h"
#include "store/Schema.h"
#include "store/WorklistStore.h"
#include "tests/support/TestDatabase.h"

using namespace kesola;
using namespace kesola::test;

namespace {

const QString kKey = QStringLiteral("1200503070930");

Booking booking(const QString& name, const QString& id = {}) {
    return Booking{"30", "01", name, "02", "1", "45", "1", "", id};
}

// An older workstation, which knows the seven tables only: it cancels the booking and books the slot anew.
void rebookAsAnOlderWorkstation(Database& db, const QString& name) {
    db.execute("DELETE FROM KESOLA WHERE CODE = ?", {kKey});
    db.execute(
        "INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
        "VALUES (?, '30', '01', 'N', ?, '02', '2', '50', '1', '')",
        {kKey, name});
}

QString studyUid(Database& db) {
    std::vector<ScheduledBooking> one{*readScheduledBooking(db, kKey)};
    keepStudyUids(db, one);
    return one.front().studyUid;
}

QString storedIdRow(Database& db) {
    auto rs = db.selectNative("SELECT KANJYAID, YNAME FROM KANJYA WHERE CODE = ?", {kKey});
    const QString row = rs->eof() ? QString() : rs->field("KANJYAID") + u'/' + rs->field("YNAME");
    rs->close();
    return row;
}

// The database as kesola-admin made it before IDs were recorded with their booking.
void makeItAsBeforeTheRecord(Database& db) {
    db.execute("DROP TABLE JISSHI");
    db.execute("DROP TABLE KENSA");
    db.execute("ALTER TABLE KANJYA DROP COLUMN YNAME");
}

}  // namespace

TEST(PatientIdentity, AnIdLeftByAnOlderWorkstationNeverPassesToTheNewBooking) {
    TestDatabase db;
    auto conn = db.connect();
    ASSERT_EQ(storeBooking(*conn, kKey, booking("山田太郎", "P-OLD"), std::nullopt), StoreOutcome::Stored);
    EXPECT_EQ(storedIdRow(*conn), "P-OLD/山田太郎");
    rebookAsAnOlderWorkstation(*conn, "佐藤花子");

    const auto shown = findBooking(*conn, kKey);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->KANJYAID, "") << "the window shows no ID";
    EXPECT_EQ(readScheduledBooking(*conn, kKey)->patientId, "") << "the worklist serves none";
    EXPECT_TRUE(findPatientBookings(*conn, "P-OLD", QDate(2005, 3, 1), QDate(2005, 3, 31)).empty());

    // Saved without an ID on this version, the old row goes; saved with one, it carries the new name.
    Booking same = *shown;
    ASSERT_EQ(storeBooking(*conn, kKey, same, shown), StoreOutcome::Stored);
    EXPECT_EQ(storedIdRow(*conn), "");
    Booking withId = same;
    withId.KANJYAID = "P-NEW";
    ASSERT_EQ(storeBooking(*conn, kKey, withId, same), StoreOutcome::Stored);
    EXPECT_EQ(storedIdRow(*conn), "P-NEW/佐藤花子");
    EXPECT_EQ(findBooking(*conn, kKey)->KANJYAID, "P-NEW");
}

TEST(PatientIdentity, TheStudyUidIsMadeOnceKeptThroughCorrectionsAndNeverReused) {
    TestDatabase db;
    auto conn = db.connect();
    ASSERT_EQ(storeBooking(*conn, kKey, booking("山田 太郎"), std::nullopt), StoreOutcome::Stored);
    const QString first = studyUid(*conn);
    EXPECT_TRUE(first.startsWith("2.25.")) << first.toStdString();
    EXPECT_EQ(studyUid(*conn), first) << "asked again";

    Booking corrected = booking("山田 太郎", "P-1");
    ASSERT_EQ(storeBooking(*conn, kKey, corrected, findBooking(*conn, kKey)), StoreOutcome::Stored);
    corrected.YNAME = "山田 大郎";
    ASSERT_EQ(storeBooking(*conn, kKey, corrected, findBooking(*conn, kKey)), StoreOutcome::Stored);
    EXPECT_EQ(studyUid(*conn), first) << "an ID added and the name corrected: the same study";

    ASSERT_EQ(deleteBooking(*conn, kKey, findBooking(*conn, kKey)), CancelOutcome::Cancelled);
    ASSERT_EQ(storeBooking(*conn, kKey, corrected, std::nullopt), StoreOutcome::Stored);
    const QString second = studyUid(*conn);
    EXPECT_NE(second, first) << "the same patient booked again is a study of its own";

    rebookAsAnOlderWorkstation(*conn, "鈴木一郎");
    EXPECT_EQ(readScheduledBooking(*conn, kKey)->studyUid, "") << "the older booking's study is not offered";
    const QString third = studyUid(*conn);
    EXPECT_NE(third, second);
    EXPECT_EQ(studyUid(*conn), third) << "made when first offered, and kept";
}

TEST(PatientIdentity, ADatabaseWithIdsButNoRecordKeepsWorkingUntilTheUpgradeRecordsThem) {
    TestDatabase db;
    auto conn = db.connect();
    db.addReservation(kKey, "30", "01", "山田太郎", "02", "1");
    db.addReservation("1200503071000", "30", "01", "佐藤花子", "02", "1");
    makeItAsBeforeTheRecord(*conn);
    conn->execute(
        "INSERT INTO KANJYA (CODE, KANJYAID) VALUES (?, 'P-1'), ('1200503071000', 'P-2'), "
        "('1200503071100', 'P-3')",
        {kKey});
    EXPECT_EQ(identityFormOf(*conn), IdentityForm::PatientIdsOnly);
    EXPECT_EQ(findBooking(*conn, kKey)->KANJYAID, "P-1");
    const auto offered = readScheduledBooking(*conn, kKey);
    EXPECT_EQ(offered->patientId, "P-1");
    EXPECT_EQ(offered->studyUid, readScheduledBooking(*conn, kKey)->studyUid) << "derived, the same each time";
    Booking changed = *findBooking(*conn, kKey);
    changed.KANJYAID = "P-9";
    ASSERT_EQ(storeBooking(*conn, kKey, changed, findBooking(*conn, kKey)), StoreOutcome::Stored);

    createIdentityRecords(*conn);
    EXPECT_EQ(findBooking(*conn, kKey)->KANJYAID, "P-9") << "a row without the record is still the booking's";
    EXPECT_EQ(recordPatientIdOwners(*conn), 2) << "the row without a booking keeps none";
    EXPECT_EQ(storedIdRow(*conn), "P-9/山田太郎");
    EXPECT_EQ(recordPatientIdOwners(*conn), 0);
}

// On the server a failed statement ends the transaction it ran in: the question whether KANJYA exists is asked
// before the write begins.
TEST(PatientIdentity, ScannerReportsWorkOnADatabaseWithoutPatientIds) {
    TestDatabase db;
    auto conn = db.connect();
    db.addReservation(kKey, "30", "01", "山田太郎", "02", "1");
    conn->execute("DROP TABLE JISSHI");
    conn->execute("DROP TABLE KENSA");
    conn->execute("DROP TABLE KANJYA");
    const HistoryActor scanner{"MRI1", "kesola-worklist"};
    EXPECT_EQ(recordExamStep(*conn, kKey, history_actions::kExamStarted, scanner), ExamStepOutcome::Recorded);
    EXPECT_EQ(recordExamStep(*conn, kKey, history_actions::kExamDiscontinued, scanner), ExamStepOutcome::Recorded);
    EXPECT_EQ(completeExam(*conn, kKey, scanner), ExamStepOutcome::Recorded);
    EXPECT_EQ(findBooking(*conn, kKey)->JYOKYO, "2");
    EXPECT_EQ(db.count("RIREKI"), 3);
}
