// "削除": the question, the three ends, and failures.

#include <QTest>

#include "tests/reservation/ReservationFixture.h"
#include "tests/support/ExpectedTexts.h"

using namespace kesola;
using namespace kesola::test;
using namespace kesola::expected;

namespace {

class CancelTest : public ReservationWindowTest {
  protected:
    CancelTest() {
        db.addReservation(keyOfCell(15), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("山田"),
                          QStringLiteral("01"), QStringLiteral("1"));
    }
    std::unique_ptr<PRO002> cancelOn(int cell, MsgAnswer answer) {
        auto w = open(cell);
        w->show();
        c.messages.answerNext(answer);
        QTest::mouseClick(w->BTN[2], Qt::LeftButton);
        return w;
    }
};

}  // namespace

TEST_F(CancelTest, QuestionNamesRoomDateAndTimeWithTwoDigits) {
    auto w = cancelOn(15, MsgAnswer::Cancel);
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_EQ(c.messages.last().text, QStringLiteral("ＭＲＩ室 の2005年03月07日09時30分の予約を取り消しますか？"));
    EXPECT_EQ(c.messages.last().title, kReservationCaption);
    EXPECT_EQ(c.messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(c.messages.last().buttons, MsgButtons::OkCancel);
}

TEST_F(CancelTest, DecliningChangesNothing) {
    auto w = open(15);
    w->show();
    w->TXT[0]->setText(QStringLiteral("edited"));
    c.messages.answerNext(MsgAnswer::Cancel);
    w->BTN_Click(2);
    EXPECT_EQ(c.messages.shown.size(), 1u);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->TXT[0]->text(), QStringLiteral("edited"));
    EXPECT_EQ(storedRow(db, keyOfCell(15))["YNAME"], QStringLiteral("山田"));
}

TEST_F(CancelTest, ConfirmedDeletesTheRowAndCloses) {
    auto w = cancelOn(15, MsgAnswer::Ok);
    EXPECT_EQ(c.messages.shown.size(), 1u) << "no message after a deletion";
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_TRUE(storedRow(db, keyOfCell(15)).isEmpty());
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
}

TEST_F(CancelTest, FreeCellAsksThenSaysThereIsNothingToCancel) {
    auto w = cancelOn(16, MsgAnswer::Ok);
    ASSERT_EQ(c.messages.shown.size(), 2u);
    EXPECT_EQ(c.messages.shown[0].text, QStringLiteral("ＭＲＩ室 の2005年03月07日09時40分の予約を取り消しますか？"));
    EXPECT_EQ(c.messages.last().text, kNothingToCancel);
    EXPECT_EQ(c.messages.last().title, kReservationCaption);
    EXPECT_EQ(c.messages.last().buttons, MsgButtons::Ok);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 1);
}

TEST_F(CancelTest, EditsMadeInTheWindowDoNotChangeWhatIsDeleted) {
    auto w = open(15);
    w->show();
    Entries other;
    other.minutes = QStringLiteral("120");
    other.name = QStringLiteral("別人");
    enter(*w, other);
    c.messages.answerNext(MsgAnswer::Ok);
    w->BTN_Click(2);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
}

TEST_F(CancelTest, ColumnsOfTheQuestionForOtherDates) {
    board.roomName = QStringLiteral("ＣＴ室");
    board.room = QStringLiteral("2");
    board.year = QStringLiteral("2010");
    board.month = QStringLiteral("12");
    board.day = QStringLiteral("31");
    auto w = cancelOn(0, MsgAnswer::Cancel);
    EXPECT_EQ(c.messages.last().text, QStringLiteral("ＣＴ室 の2010年12月31日07時00分の予約を取り消しますか？"));
}

TEST_F(CancelTest, FailedDeletionIsReportedAndTheBookingStays) {
    failWritesToReservations(db, QStringLiteral("DELETE"));
    auto w = cancelOn(15, MsgAnswer::Ok);
    ASSERT_EQ(c.messages.shown.size(), 2u);
    EXPECT_TRUE(c.messages.last().text.startsWith(QStringLiteral("データベースの処理に失敗しました。\n")));
    EXPECT_TRUE(c.messages.last().text.contains(QStringLiteral("disk I/O error")));
    EXPECT_EQ(c.messages.last().title, kReservationCaption);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(storedRow(db, keyOfCell(15))["YNAME"], QStringLiteral("山田"));
}
