// "登録": the eleven checks in their order, the stored row, the check against the stored day, and failures.

#include <QElapsedTimer>
#include <QTest>

#include "tests/reservation/ReservationFixture.h"
#include "tests/support/ExpectedTexts.h"

using namespace kesola;
using namespace kesola::test;
using namespace kesola::expected;

namespace {

class RegisterTest : public ReservationWindowTest {
  protected:
    // Opens the window on the cell, enters the values and presses "登録" as a user would.
    std::unique_ptr<PRO002> registerOn(int cell, const Entries& e) {
        auto w = open(cell);
        w->show();
        enter(*w, e);
        QTest::mouseClick(w->BTN[1], Qt::LeftButton);
        return w;
    }
    // The window refused with exactly this one message and stayed open with the entries as typed.
    void expectRefused(const PRO002& w, const Entries& e, const QString& message, const QString& title) {
        ASSERT_EQ(c.messages.shown.size(), 1u) << c.messages.texts().join(u'|').toStdString();
        EXPECT_EQ(c.messages.last().text, message);
        EXPECT_EQ(c.messages.last().title, title);
        EXPECT_EQ(c.messages.last().icon, MsgIcon::Exclamation);
        EXPECT_EQ(c.messages.last().buttons, MsgButtons::Ok);
        EXPECT_TRUE(w.isVisible());
        EXPECT_NE(w.result(), QDialog::Accepted);
        EXPECT_EQ(w.TXT[0]->text(), e.name);
        EXPECT_EQ(w.TXT[1]->text(), e.age);
        EXPECT_EQ(w.TXT[2]->text(), e.remarks);
        c.messages.clear();
    }
    void expectStored(const PRO002& w) {
        EXPECT_TRUE(c.messages.shown.empty()) << c.messages.texts().join(u'|').toStdString();
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_FALSE(w.isVisible());
    }
};

}  // namespace

TEST_F(RegisterTest, StoresEveryFieldUnderTheKeyOfTheCellAndCloses) {
    auto w = registerOn(15, Entries{});
    expectStored(*w);
    const QVariantMap row = storedRow(db, QStringLiteral("1200503070930"));
    ASSERT_FALSE(row.isEmpty()) << "the hour of 9:30 has two digits in the key";
    EXPECT_EQ(row["Min"], QStringLiteral("30"));
    EXPECT_EQ(row["KA"], QStringLiteral("01"));
    EXPECT_EQ(row["BYOTO"], QStringLiteral("N"));
    EXPECT_EQ(row["YNAME"], QStringLiteral("山田太郎"));
    EXPECT_EQ(row["BUI"], QStringLiteral("01"));
    EXPECT_EQ(row["SEX"], QStringLiteral("1"));
    EXPECT_EQ(row["AGE"], QStringLiteral("45"));
    EXPECT_EQ(row["JYOKYO"], QStringLiteral("1"));
    EXPECT_EQ(row["ETC"], QStringLiteral("造影あり"));
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 1);
}

TEST_F(RegisterTest, KeyTakesRoomCodeAndTwoDigitDate) {
    board.room = QStringLiteral("2");
    board.roomName = QStringLiteral("ＣＴ室");
    board.year = QStringLiteral("2012");
    board.month = QStringLiteral("11");
    board.day = QStringLiteral("4");
    Entries e;
    e.sex = QStringLiteral("女性");
    e.status = QStringLiteral("済");
    e.department = QStringLiteral("外科");
    e.bodyPart = QStringLiteral("胸部");
    e.remarks = QString();
    expectStored(*registerOn(77, e));
    const QVariantMap row = storedRow(db, QStringLiteral("2201211041950"));
    ASSERT_FALSE(row.isEmpty());
    EXPECT_EQ(row["SEX"], QStringLiteral("2"));
    EXPECT_EQ(row["JYOKYO"], QStringLiteral("2"));
    EXPECT_EQ(row["KA"], QStringLiteral("02"));
    EXPECT_EQ(row["BUI"], QStringLiteral("02"));
    EXPECT_EQ(row["ETC"], QString()) << "remarks may be empty";
}

TEST_F(RegisterTest, ChecksRunInOrderAndTheFirstFailureIsTheOnlyMessage) {
    Entries e;
    e.minutes = e.department = e.bodyPart = e.sex = e.status = e.name = e.age = QString();
    auto w = open(15);
    w->show();
    const struct {
        const char* message;
        std::function<void()> fix;
    } steps[] = {
        {"予約時間の選択を行ってください。", [&] { e.minutes = QStringLiteral("30"); }},
        {"科の選択を行ってください。", [&] { e.department = QStringLiteral("内科"); }},
        {"部位の選択を行ってください。", [&] { e.bodyPart = QStringLiteral("頭部"); }},
        {"性別の選択を行ってください。", [&] { e.sex = QStringLiteral("女性"); }},
        {"状況の選択を行ってください。", [&] { e.status = QStringLiteral("未"); }},
        {"名前の入力を行なってください。", [&] { e.name = QStringLiteral("山田"); }},
        {"年齢の入力を行なってください。", [&] { e.age = QStringLiteral("30"); }},
    };
    for (const auto& step : steps) {
        enter(*w, e);
        w->BTN_Click(1);
        expectRefused(*w, e, QString::fromUtf8(step.message), kReservationCaption);
        EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
        step.fix();
    }
    enter(*w, e);
    w->BTN_Click(1);
    expectStored(*w);
}

TEST_F(RegisterTest, NameOfBlanksIsStoredWithItsBlanks) {
    Entries e;
    e.name = QStringLiteral("   ");
    expectStored(*registerOn(15, e));
    EXPECT_EQ(storedRow(db, keyOfCell(15))["YNAME"], QStringLiteral("   "));
}

TEST_F(RegisterTest, NameWidthCountsBytesWithoutSurroundingBlanks) {
    Entries e;
    e.name = QStringLiteral("一二三四五六七八九十");  // 20 bytes
    expectStored(*registerOn(15, e));
    e.name = QStringLiteral("abcdefghijabcdefghij");
    expectStored(*registerOn(20, e));
    e.name = QStringLiteral("  一二三四五六七八  ");
    expectStored(*registerOn(25, e));
    EXPECT_EQ(storedRow(db, keyOfCell(25))["YNAME"], QStringLiteral("  一二三四五六七八  "));
}

TEST_F(RegisterTest, TooWideNameIsRefusedByTheWidthCheckAlone) {
    Entries e;
    e.name = QStringLiteral("一二三四五六七八九十壱");  // 11 characters, 22 bytes
    auto w = registerOn(15, e);
    expectRefused(*w, e, kTooWide, kWidthTitle);
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
}

TEST_F(RegisterTest, RemarksWidthIsFortyBytes) {
    Entries e;
    e.remarks = QString(20, QChar(0x3042));
    expectStored(*registerOn(15, e));
    e.remarks = QString(21, QChar(0x3042));
    auto w = registerOn(30, e);
    expectRefused(*w, e, kTooWide, kWidthTitle);
    EXPECT_TRUE(storedRow(db, keyOfCell(30)).isEmpty());
}

TEST_F(RegisterTest, NameTooWideIsReportedBeforeRemarks) {
    Entries e;
    e.name = QString(11, QChar(0x3042));
    e.remarks = QString(21, QChar(0x3042));
    e.age = QStringLiteral("999");
    expectRefused(*registerOn(15, e), e, kTooWide, kWidthTitle);
}

TEST_F(RegisterTest, TextThatIsItselfNgIsStored) {
    Entries e;
    e.name = QStringLiteral("NG");
    e.remarks = QStringLiteral(" NG ");
    expectStored(*registerOn(15, e));
    EXPECT_EQ(storedRow(db, keyOfCell(15))["ETC"], QStringLiteral(" NG "));
}

TEST_F(RegisterTest, AgeUpToOneHundredFiftyStoredAsTyped) {
    Entries e;
    for (const auto& [cell, age] : {std::pair{10, "150"}, std::pair{20, "0"}, std::pair{30, "007"}}) {
        e.age = QString::fromLatin1(age);
        expectStored(*registerOn(cell, e));
        EXPECT_EQ(storedRow(db, keyOfCell(cell))["AGE"], e.age);
    }
    e.age = QStringLiteral("151");
    expectRefused(*registerOn(40, e), e, kWrongAge, kReservationCaption);
}

TEST_F(RegisterTest, PastedAgeThatIsNotDigitsIsRefused) {
    Entries e;
    for (const char* age : {"1a", "-1", "+5", " 5", "１２", "5.", "0x1"}) {
        e.age = QString::fromUtf8(age);
        auto w = registerOn(15, e);
        expectRefused(*w, e, kWrongAge, kReservationCaption);
    }
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
}

// ---------------------------------------------------------------------------------------------------------------
// The overlap check on the painted board

TEST_F(RegisterTest, SpanExaminesOnlyTheCellsAfterTheFirst) {
    board.captions[15] = QStringLiteral("own\r内科\r頭部");  // the booking being changed
    board.captions[18] = QStringLiteral("next\r内科\r頭部");
    expectStored(*registerOn(15, Entries{}));  // cells 16 and 17

    Entries longer;
    longer.minutes = QStringLiteral("40");  // reaches 18
    expectRefused(*registerOn(15, longer), longer, kOverlapsLater, kReservationCaption);
    EXPECT_EQ(storedRow(db, keyOfCell(15))["Min"], QStringLiteral("30"));
}

TEST_F(RegisterTest, TenMinutesExaminesNothing) {
    board.captions[16] = QStringLiteral("next");
    Entries e;
    e.minutes = QStringLiteral("10");
    expectStored(*registerOn(15, e));
}

TEST_F(RegisterTest, LengtheningSucceedsOnlyUpToTheNextBookingStart) {
    db.addReservation(keyOfCell(15), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("x"),
                      QStringLiteral("01"), QStringLiteral("1"));
    board.captions[15] = QStringLiteral("x");
    Entries e;
    e.minutes = QStringLiteral("60");
    expectStored(*registerOn(15, e));
    EXPECT_EQ(storedRow(db, keyOfCell(15))["Min"], QStringLiteral("60"));

    board.captions[19] = QStringLiteral("done booking");
    e.minutes = QStringLiteral("120");
    expectRefused(*registerOn(15, e), e, kOverlapsLater, kReservationCaption);
    EXPECT_EQ(storedRow(db, keyOfCell(15))["Min"], QStringLiteral("60"));
}

TEST_F(RegisterTest, SpanPastTheLastCellIsAccepted) {
    Entries e;
    e.minutes = QStringLiteral("40");
    expectStored(*registerOn(75, e));  // 19:30 to 20:10
    EXPECT_EQ(storedRow(db, keyOfCell(75))["Min"], QStringLiteral("40"));
    board.day = QStringLiteral("8");
    e.minutes = QStringLiteral("120");
    expectStored(*registerOn(77, e));
    EXPECT_EQ(storedRow(db, QStringLiteral("1200503081950"))["Min"], QStringLiteral("120"));
}

TEST_F(RegisterTest, ReplacingABookingKeepsOneRowAndSetsTheWard) {
    db.addReservation(keyOfCell(15), QStringLiteral("20"), QStringLiteral("02"), QStringLiteral("old"),
                      QStringLiteral("02"), QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("80"),
                      QStringLiteral("old remarks"));
    db.connect()->execute(QStringLiteral("UPDATE KESOLA SET BYOTO = '3'"));
    auto w = open(15);
    w->show();
    enter(*w, Entries{});
    w->BTN_Click(1);
    expectStored(*w);
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 1);
    const QVariantMap row = storedRow(db, keyOfCell(15));
    EXPECT_EQ(row["Min"], QStringLiteral("30"));
    EXPECT_EQ(row["KA"], QStringLiteral("01"));
    EXPECT_EQ(row["BYOTO"], QStringLiteral("N"));
    EXPECT_EQ(row["YNAME"], QStringLiteral("山田太郎"));
    EXPECT_EQ(row["SEX"], QStringLiteral("1"));
    EXPECT_EQ(row["AGE"], QStringLiteral("45"));
    EXPECT_EQ(row["JYOKYO"], QStringLiteral("1"));
    EXPECT_EQ(row["ETC"], QStringLiteral("造影あり"));
}

// ---------------------------------------------------------------------------------------------------------------
// The check against the stored day: the painted board is stale when the lock was forced free

TEST_F(RegisterTest, StoredLaterBookingInsideTheSpanIsRefusedThoughTheBoardLooksFree) {
    db.addReservation(keyOfCell(17), QStringLiteral("10"), QStringLiteral("01"), QStringLiteral("other"),
                      QStringLiteral("01"), QStringLiteral("1"));
    Entries e;
    auto w = registerOn(15, e);
    expectRefused(*w, e, kOverlapsLater, kReservationCaption);
    EXPECT_TRUE(storedRow(db, keyOfCell(15)).isEmpty());
    e.minutes = QStringLiteral("20");
    expectStored(*registerOn(15, e));  // ends where the other begins
}

TEST_F(RegisterTest, StoredEarlierBookingCoveringTheCellIsRefused) {
    db.addReservation(keyOfCell(13), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("other"),
                      QStringLiteral("01"), QStringLiteral("2"));
    Entries e;
    e.minutes = QStringLiteral("10");
    auto w = registerOn(15, e);
    expectRefused(*w, e, kSlotTaken, kReservationCaption);
    EXPECT_TRUE(storedRow(db, keyOfCell(15)).isEmpty());
    expectStored(*registerOn(16, e));  // the first cell after its span
}

TEST_F(RegisterTest, StoredBookingsOfOtherRoomsDaysAndPastTheDayDoNotCount) {
    db.addReservation(QStringLiteral("2200503070940"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("room 2"), QStringLiteral("01"), QStringLiteral("1"));
    db.addReservation(QStringLiteral("1200503080940"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("next day"), QStringLiteral("01"), QStringLiteral("1"));
    db.addReservation(QStringLiteral("1200503062330"), QStringLiteral("120"), QStringLiteral("01"),
                      QStringLiteral("day before"), QStringLiteral("01"), QStringLiteral("1"));
    db.addReservation(kDayPrefix + QStringLiteral("2000"), QStringLiteral("10"), QStringLiteral("01"),
                      QStringLiteral("after the board"), QStringLiteral("01"), QStringLiteral("1"));
    Entries e;
    e.minutes = QStringLiteral("120");
    expectStored(*registerOn(15, e));
    expectStored(*registerOn(70, e));  // its span would reach 20:00, which has no cell
}

// ---------------------------------------------------------------------------------------------------------------
// Text that must survive storage byte for byte

TEST_F(RegisterTest, SqlMetacharactersAreStoredAndReadBackAsTyped) {
    Entries e;
    e.name = QStringLiteral("'; DROP TABLE KESOLA");
    e.remarks = QStringLiteral("'; DROP TABLE KESOLA; -- \"q\", 100% *x* ?");
    expectStored(*registerOn(15, e));
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 1);
    const QVariantMap row = storedRow(db, keyOfCell(15));
    EXPECT_EQ(row["YNAME"], e.name);
    EXPECT_EQ(row["ETC"], e.remarks);
    auto again = open(15);
    EXPECT_EQ(again->TXT[0]->text(), e.name);
    EXPECT_EQ(again->TXT[2]->text(), e.remarks);
}

// After the eleven checks, which keep their order: with a wrong age or a later booking in the span, their message
// comes first. Then the name, then the remarks. Nothing is written.
TEST_F(RegisterTest, TextCp932CannotWriteIsRefusedNamingTheCharacterAfterEveryOtherCheck) {
    board.captions[17] = QStringLiteral("next\r内科\r頭部");
    const struct {
        QString name, remarks, age, minutes, message;
    } cases[] = {
        {QStringLiteral("吉田𠮷男"), QStringLiteral("😀"), QStringLiteral("151"), QStringLiteral("30"), kWrongAge},
        {QStringLiteral("吉田𠮷男"), QStringLiteral("😀"), QStringLiteral("45"), QStringLiteral("30"), kOverlapsLater},
        {QStringLiteral("吉田𠮷男"), QStringLiteral("😀"), QStringLiteral("45"), QStringLiteral("20"),
         QStringLiteral("「𠮷」は登録できない文字です。")},
        {QStringLiteral("吉田"), QStringLiteral("造影\U0001F600"), QStringLiteral("45"), QStringLiteral("20"),
         QStringLiteral("「😀」は登録できない文字です。")},
    };
    for (const auto& c : cases) {
        Entries e;
        e.name = c.name;
        e.remarks = c.remarks;
        e.age = c.age;
        e.minutes = c.minutes;
        expectRefused(*registerOn(15, e), e, c.message, kReservationCaption);
    }
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
}

// Stored as typed; the width counts the bytes of the form that is written (剝 as 剥: two).
TEST_F(RegisterTest, FormsOf2004AreStoredAsTypedAndCountedAsWritten) {
    Entries e;
    e.name = QStringLiteral("剝頰塡鷗蔣麴麵嚙驒瘦");  // 20 bytes
    e.remarks = QStringLiteral("網膜剝離 ¢£¬");
    expectStored(*registerOn(15, e));
    EXPECT_EQ(storedRow(db, keyOfCell(15))["YNAME"], e.name);
    EXPECT_EQ(storedRow(db, keyOfCell(15))["ETC"], e.remarks);
    Entries wider = e;
    wider.name += QStringLiteral("𠮟");
    expectRefused(*registerOn(15, wider), wider, kTooWide, kWidthTitle);
}

// ---------------------------------------------------------------------------------------------------------------
// Database failures

TEST_F(RegisterTest, FailedInsertIsReportedAndNothingIsWritten) {
    failWritesToReservations(db, QStringLiteral("INSERT"));
    Entries e;
    auto w = registerOn(15, e);
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_TRUE(c.messages.last().text.startsWith(kDatabaseFailedLine)) << c.messages.last().text.toStdString();
    EXPECT_TRUE(c.messages.last().text.contains(QStringLiteral("disk I/O error")));
    EXPECT_EQ(c.messages.last().title, kReservationCaption);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->TXT[0]->text(), e.name);
    EXPECT_EQ(w->CMB[1]->currentText(), "内科" + kGap + "01");
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
}

TEST_F(RegisterTest, FailedReplaceLeavesTheStoredBookingWhole) {
    db.addReservation(keyOfCell(15), QStringLiteral("20"), QStringLiteral("02"), QStringLiteral("old"),
                      QStringLiteral("02"), QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("80"),
                      QStringLiteral("keep"));
    const QVariantMap before = storedRow(db, keyOfCell(15));
    failWritesToReservations(db, QStringLiteral("UPDATE"));
    auto w = registerOn(15, Entries{});
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_TRUE(c.messages.last().text.startsWith(kDatabaseFailedLine));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(storedRow(db, keyOfCell(15)), before);
    // The transaction was closed: the next registration on the same connection works once the fault is gone.
    db.connect()->execute(QStringLiteral("DROP TRIGGER fail_KESOLA_UPDATE") +
                          (db.onServer() ? QStringLiteral(" ON KESOLA") : QString()));
    c.messages.clear();
    w->BTN_Click(1);
    expectStored(*w);
    EXPECT_EQ(storedRow(db, keyOfCell(15))["YNAME"], QStringLiteral("山田太郎"));
}

// A store another workstation keeps busy: the registration and the cancellation each wait about five seconds,
// then say so with the engine's words; the window stays open with what was typed and works once the store is free.
TEST_F(RegisterTest, WritesIntoAStoreKeptBusyGiveUpAfterAboutFiveSecondsAndKeepTheWindow) {
    db.addReservation(keyOfCell(30), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("佐藤"),
                      QStringLiteral("01"), QStringLiteral("1"));
    const Entries e;
    auto booking = open(15);
    booking->show();
    enter(*booking, e);
    auto cancelling = open(30);
    cancelling->show();
    auto holder = db.holdWholeStore();
    QElapsedTimer pressed;
    const auto expectGaveUpAfterWaiting = [&] {
        EXPECT_GE(pressed.elapsed(), 4000) << "gave up without waiting for the other workstation";
        EXPECT_LT(pressed.elapsed(), 9000);
        ASSERT_EQ(c.messages.shown.size(), 1u) << c.messages.texts().join(u'|').toStdString();
        const QString text = c.messages.last().text;
        EXPECT_TRUE(text.startsWith(kDatabaseFailedLine) && text.size() > kDatabaseFailedLine.size())
            << text.toStdString();
        c.messages.clear();
    };

    pressed.start();
    booking->BTN_Click(1);
    expectGaveUpAfterWaiting();
    EXPECT_TRUE(booking->isVisible());
    EXPECT_EQ(booking->TXT[0]->text(), e.name);
    EXPECT_EQ(booking->TXT[2]->text(), e.remarks);

    c.messages.answerNext(MsgAnswer::Ok);
    pressed.restart();
    cancelling->BTN_Click(2);
    ASSERT_FALSE(c.messages.shown.empty());
    c.messages.shown.erase(c.messages.shown.begin());  // the question
    expectGaveUpAfterWaiting();
    EXPECT_TRUE(cancelling->isVisible());

    holder->rollbackTransaction();
    booking->BTN_Click(1);
    expectStored(*booking);
    EXPECT_EQ(storedRow(db, keyOfCell(15))["YNAME"], e.name);
    EXPECT_EQ(storedRow(db, keyOfCell(30))["YNAME"], QStringLiteral("佐藤"));
}

TEST_F(RegisterTest, MissingTableIsReportedAndTheWindowStaysOpen) {
    auto w = open(15);
    w->show();
    enter(*w, Entries{});
    db.connect()->execute(QStringLiteral("ALTER TABLE KESOLA RENAME TO KESOLA_MOVED"));
    w->BTN_Click(1);
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_TRUE(c.messages.last().text.startsWith(kDatabaseFailedLine));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(RegisterTest, ClosedDatabaseIsReportedNotCrashed) {
    auto w = open(15);
    w->show();
    enter(*w, Entries{});
    c.g.DB.reset();
    w->BTN_Click(1);
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_TRUE(c.messages.last().text.startsWith(kDatabaseFailedLine));
    EXPECT_TRUE(w->isVisible());
}
