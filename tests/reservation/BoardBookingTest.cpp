// Booking from the board: slot selection, the workstation lock around the reservation window, and two
// workstations on one database.

#include <QTest>

#include "tests/reservation/ReservationFixture.h"
#include "tests/support/ExpectedTexts.h"

using namespace kesola;
using namespace kesola::test;
using namespace kesola::expected;

namespace {

const QColor kWhite(255, 255, 255);

class BoardBookingTest : public ::testing::Test {
  protected:
    BoardBookingTest() {
        addMasters(db);
        board = startBoardOnDatabase(c);
    }

    void registerIn(PRO002& w, const Entries& e) {
        enter(w, e);
        QTest::mouseClick(w.BTN[1], Qt::LeftButton);
    }

    TestDatabase db;
    TestContext c{&db};
    std::unique_ptr<PRO001> board;
};

}  // namespace

TEST_F(BoardBookingTest, DoubleClickOpensTheWindowUnderTheLockAndReleasesItAfter) {
    bool inside = false;
    c.modal.then([&](QDialog& dialog) {
        inside = true;
        auto& w = dynamic_cast<PRO002&>(dialog);
        EXPECT_EQ(db.lockValue(), QStringLiteral("1"));
        EXPECT_FALSE(board->Timer1.isActive());
        EXPECT_EQ(c.g.SEL_CELL, 15);
        EXPECT_EQ(w.windowTitle(), kReservationCaption);
        EXPECT_EQ(w.SLBL[0]->text(), QStringLiteral("9"));
        EXPECT_EQ(w.SLBL[1]->text(), QStringLiteral("30"));
        EXPECT_EQ(w.TXT[0]->text(), QString());
    });
    QTest::mouseDClick(board->TTBL[15], Qt::LeftButton);
    EXPECT_TRUE(inside);
    EXPECT_EQ(c.modal.opened, 1);
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_TRUE(board->Timer1.isActive());
    EXPECT_TRUE(c.messages.shown.empty());
}

TEST_F(BoardBookingTest, RegisteredBookingIsPaintedAtOnceAndOnTheOtherWorkstationsNextTick) {
    TestContext other(&db);
    auto otherBoard = startBoardOnDatabase(other);
    doubleClickCell(*board, c, 15, [&](PRO002& w) { registerIn(w, Entries{}); });
    EXPECT_TRUE(board->cellCaption(15).startsWith(QStringLiteral("山田太郎\r内科\r頭部")));
    for (int cell : {15, 16, 17}) EXPECT_EQ(board->cell(cell).background, QColor(255, 192, 192)) << cell;
    EXPECT_EQ(board->cell(18).background, kWhite);
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));

    EXPECT_EQ(otherBoard->cellCaption(15), QString());
    tickAndPaint(*otherBoard);
    EXPECT_EQ(otherBoard->cellCaption(15), board->cellCaption(15));
    EXPECT_EQ(otherBoard->cell(17).background, QColor(255, 192, 192));
}

// Room 2 blanked in the room editor: 第３室 is the second entry of the selector, yet its bookings stay under its
// code 3, and room 2's bookings show nowhere.
TEST_F(BoardBookingTest, RoomsAreKnownByTheirCodeAcrossAGap) {
    db.connect()->execute(QStringLiteral("UPDATE ROOM SET RNAME = ' ' WHERE CODE = '2'"));
    db.addRoom(QStringLiteral("3"), QStringLiteral("第３室"));
    db.addReservation(QStringLiteral("2200503070700"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("二号室"), QStringLiteral("01"), QStringLiteral("1"));
    TestContext third(&db);
    auto gapBoard = startBoardOnDatabase(third);
    gapBoard->CMB[0]->setCurrentIndex(1);
    ASSERT_EQ(gapBoard->roomText(), QStringLiteral("第３室"));
    doubleClickCell(*gapBoard, third, 15, [&](PRO002& w) { registerIn(w, Entries{}); });
    EXPECT_EQ(storedRow(db, QStringLiteral("3200503070930"))["YNAME"], QStringLiteral("山田太郎"));
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 2);
    EXPECT_TRUE(gapBoard->cellCaption(15).startsWith(QStringLiteral("山田太郎\r")));
    EXPECT_EQ(gapBoard->cellCaption(0), QString());
}

TEST_F(BoardBookingTest, StartCellOpensTheBookingAndFollowingCellsAreRefused) {
    db.addReservation(keyOfCell(15), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("山田"),
                      QStringLiteral("01"), QStringLiteral("1"));
    db.addReservation(keyOfCell(30), QStringLiteral("20"), QStringLiteral("02"), QStringLiteral("済んだ人"),
                      QStringLiteral("02"), QStringLiteral("2"));
    doubleClickCell(*board, c, 15, [](PRO002& w) { EXPECT_EQ(w.TXT[0]->text(), QStringLiteral("山田")); });
    EXPECT_EQ(c.modal.opened, 1);
    for (int covered : {16, 17, 31}) {
        doubleClickCell(*board, c, covered, nullptr);
        ASSERT_EQ(c.messages.shown.size(), 1u) << covered;
        EXPECT_EQ(c.messages.last().text, kSlotTaken);
        EXPECT_EQ(c.messages.last().title, kBoardCaption);
        EXPECT_EQ(c.messages.last().icon, MsgIcon::Exclamation);
        c.messages.clear();
    }
    EXPECT_EQ(c.modal.opened, 1);
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_TRUE(board->Timer1.isActive());
}

TEST_F(BoardBookingTest, EachMissingChoiceHasItsMessageInOrder) {
    db.addReservation(keyOfCell(15), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("山田"),
                      QStringLiteral("01"), QStringLiteral("1"));
    const struct {
        int selector;
        const char* message;
    } steps[] = {{0, "室名の選択を行ってください。"},
                 {1, "年の選択を行ってください。"},
                 {2, "月の選択を行ってください。"},
                 {3, "日の選択を行ってください。"}};
    for (const auto& step : steps) {
        auto fresh = startBoardOnDatabase(c);
        for (int i = step.selector; i < PRO001::kSelectorCount; ++i) fresh->CMB[i]->setCurrentIndex(-1);
        c.messages.clear();
        doubleClickCell(*fresh, c, 16, nullptr);  // inside the booking, but the blank board cannot show it
        ASSERT_EQ(c.messages.shown.size(), 1u) << step.selector;
        EXPECT_EQ(c.messages.last().text, QString::fromUtf8(step.message));
        EXPECT_EQ(c.messages.last().title, kBoardCaption);
        EXPECT_TRUE(fresh->Timer1.isActive());
    }
    EXPECT_EQ(c.modal.opened, 0);
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
}

TEST_F(BoardBookingTest, DayThatDoesNotExistIsRefused) {
    board->CMB[2]->setCurrentIndex(board->CMB[2]->findText(QStringLiteral("2")));
    board->CMB[3]->setCurrentIndex(board->CMB[3]->findText(QStringLiteral("30")));
    c.messages.clear();
    doubleClickCell(*board, c, 15, nullptr);
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_EQ(c.messages.last().text, QStringLiteral("日付の選択に誤りがあります。"));
    EXPECT_EQ(c.modal.opened, 0);
}

TEST_F(BoardBookingTest, LockHeldElsewhereOpensNothing) {
    db.connect()->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '1'"));
    doubleClickCell(*board, c, 40, [](PRO002&) { ADD_FAILURE() << "the window opened"; });
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_EQ(c.messages.last().text, kLockHeld);
    EXPECT_EQ(c.messages.last().title, kSystemTitle);
    EXPECT_EQ(c.modal.opened, 0);
    EXPECT_EQ(c.g.SEL_CELL, 40);
    EXPECT_TRUE(board->Timer1.isActive());
    EXPECT_EQ(db.lockValue(), QStringLiteral("1")) << "nothing released";
}

TEST_F(BoardBookingTest, MissingLockRowIsADatabaseFailureAndOpensNothing) {
    db.connect()->execute(QStringLiteral("DELETE FROM LOCKTBL"));
    doubleClickCell(*board, c, 40, nullptr);
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_TRUE(c.messages.last().text.startsWith(QStringLiteral("データベースの処理に失敗しました。\n")));
    EXPECT_EQ(c.messages.last().title, kSystemTitle);
    EXPECT_EQ(c.modal.opened, 0);
}

TEST_F(BoardBookingTest, EveryOpeningStartsFromEmptyControls) {
    doubleClickCell(*board, c, 15, [](PRO002& w) {
        enter(w, Entries{});
        QTest::mouseClick(w.BTN[0], Qt::LeftButton);
    });
    doubleClickCell(*board, c, 15, [](PRO002& w) {
        for (QLineEdit* box : w.TXT) EXPECT_EQ(box->text(), QString());
        for (QComboBox* selector : w.CMB) EXPECT_EQ(selector->currentIndex(), -1);
    });
    EXPECT_EQ(c.modal.opened, 2);
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
}

TEST_F(BoardBookingTest, CancelledBookingLeavesItsCellsWhite) {
    db.addReservation(keyOfCell(15), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("山田"),
                      QStringLiteral("01"), QStringLiteral("1"));
    board->TTBL_SET();
    ASSERT_NE(board->cell(16).background, kWhite);
    doubleClickCell(*board, c, 15, [&](PRO002& w) {
        c.messages.answerNext(MsgAnswer::Ok);
        QTest::mouseClick(w.BTN[2], Qt::LeftButton);
    });
    for (int cell : {15, 16, 17}) {
        EXPECT_EQ(board->cell(cell).background, kWhite);
        EXPECT_EQ(board->cellCaption(cell), QString());
    }
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
}

TEST_F(BoardBookingTest, LetterLOffersTheLockReleaseAndPassesTheKeyOn) {
    db.connect()->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '1'"));
    c.messages.answerNext(MsgAnswer::Cancel);
    QTest::keyClick(board->CMB[0], Qt::Key_L);
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_EQ(c.messages.last().text, QStringLiteral("ロックを解除しますか？"));
    EXPECT_EQ(c.messages.last().title, kBoardCaption);
    EXPECT_EQ(c.messages.last().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(db.lockValue(), QStringLiteral("1"));

    c.messages.answerNext(MsgAnswer::Ok);
    QTest::keyClick(board->CMB[1], 'l');
    EXPECT_EQ(c.messages.shown.size(), 2u);
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_TRUE(board->Timer1.isActive());

    int key = 'L';
    board->Form_KeyPress(key);
    EXPECT_EQ(key, 'L') << "the letter is passed on";
    key = 13;
    board->Form_KeyPress(key);
    EXPECT_EQ(key, 0) << "Enter reaches no control of the board";
}

// ---------------------------------------------------------------------------------------------------------------
// Two workstations on one database

class TwoWorkstationsTest : public BoardBookingTest {
  protected:
    TwoWorkstationsTest() { otherBoard = startBoardOnDatabase(other); }

    // The other workstation books a cell through its own board (forcing the lock free first when asked).
    void otherBooks(int cell, const Entries& e, bool forceLockFree) {
        if (forceLockFree) {
            other.messages.answerNext(MsgAnswer::Ok);
            QTest::keyClick(otherBoard->CMB[0], Qt::Key_L);
        }
        doubleClickCell(*otherBoard, other, cell, [&](PRO002& w) { registerIn(w, e); });
    }

    TestContext other{&db};
    std::unique_ptr<PRO001> otherBoard;
};

TEST_F(TwoWorkstationsTest, WhileOneWindowIsOpenTheOtherWorkstationIsToldToWait) {
    doubleClickCell(*board, c, 15, [&](PRO002& w) {
        otherBooks(20, Entries{}, false);
        EXPECT_EQ(other.modal.opened, 0);
        ASSERT_EQ(other.messages.shown.size(), 1u);
        EXPECT_EQ(other.messages.last().text, kLockHeld);
        registerIn(w, Entries{});
    });
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 1);
    otherBooks(20, Entries{}, false);
    EXPECT_EQ(other.modal.opened, 1);
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 2);
}

TEST_F(TwoWorkstationsTest, LockForcedFreeLaterBookingInTheSpanIsStillRefused) {
    doubleClickCell(*board, c, 15, [&](PRO002& w) {
        Entries e;
        e.name = QStringLiteral("後から");
        e.minutes = QStringLiteral("20");
        otherBooks(17, e, true);
        ASSERT_EQ(other.modal.opened, 1);
        EXPECT_EQ(board->cellCaption(17), QString()) << "this board's paint is stale";
        registerIn(w, Entries{});  // 9:30 for 30 minutes reaches cell 17
        ASSERT_FALSE(c.messages.shown.empty());
        EXPECT_EQ(c.messages.last().text, QStringLiteral("後の予約と重なるため予約できません。"));
        EXPECT_EQ(c.messages.last().title, kReservationCaption);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.TXT[0]->text(), QStringLiteral("山田太郎"));
        QTest::mouseClick(w.BTN[0], Qt::LeftButton);
    });
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 1);
    EXPECT_FALSE(storedRow(db, keyOfCell(17)).isEmpty());
}

TEST_F(TwoWorkstationsTest, LockForcedFreeEarlierBookingOverTheCellIsStillRefused) {
    doubleClickCell(*board, c, 15, [&](PRO002& w) {
        Entries e;
        e.minutes = QStringLiteral("30");
        otherBooks(13, e, true);  // 13, 14, 15
        registerIn(w, Entries{});
        ASSERT_FALSE(c.messages.shown.empty());
        EXPECT_EQ(c.messages.last().text, kSlotTaken);
        EXPECT_EQ(c.messages.last().title, kReservationCaption);
        EXPECT_TRUE(w.isVisible());
    });
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 1);
    EXPECT_TRUE(storedRow(db, keyOfCell(15)).isEmpty());
}

TEST_F(BoardBookingTest, WhiteDepartmentHidesItsBlockButTheCellCannotBeBooked) {
    db.addDepartment(QStringLiteral("03"), QStringLiteral("白科"), 255, 255, 255, 0, 0, 0);
    db.addReservation(keyOfCell(13), QStringLiteral("30"), QStringLiteral("03"), QStringLiteral("白"),
                      QStringLiteral("01"), QStringLiteral("1"));
    board->MST_READ();
    bool opened = false;
    doubleClickCell(*board, c, 15, [&](PRO002& w) {
        opened = true;  // the board cannot tell the covered cell from a free one
        registerIn(w, Entries{});
        ASSERT_EQ(c.messages.shown.size(), 1u);
        EXPECT_EQ(c.messages.last().text, kSlotTaken);
        EXPECT_TRUE(w.isVisible());
    });
    EXPECT_TRUE(opened);
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 1);
}
