// Ctrl+F on the board opens the search window; a result chosen there shows its room and day on the board.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "search/Pro010.h"
#include "tests/board/BoardFixture.h"

using namespace kesola;
using namespace kesola::test;

TEST_F(BoardTest, CtrlFFindsAPatientAndTheBoardShowsTheDayWithoutALock) {
    db.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
    db.addRoom(QStringLiteral("2"), QStringLiteral("第２室"));
    db.addReservation(QStringLiteral("2200502150930"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("やまだ"), QStringLiteral("02"), QStringLiteral("1"));
    today = QDate(2005, 1, 31);
    PRO001& b = startOnDatabase();
    QString lockWhileOpen;
    context->modal.then([&](QDialog& dialog) {
        auto& search = dynamic_cast<PRO010&>(dialog);
        lockWhileOpen = db.lockValue();
        search.TXT->setText(QStringLiteral("ヤマダ"));
        QTest::keyClick(search.TXT, Qt::Key_Return);
        QTest::keyClick(search.TXT, Qt::Key_Down);
        QTest::keyClick(search.LST, Qt::Key_Return);
        EXPECT_FALSE(search.isVisible()) << "the jump closes the window";
    });
    QApplication::setActiveWindow(&b);
    QTest::keyClick(b.CMB[0], Qt::Key_F, Qt::ControlModifier);

    EXPECT_EQ(context->modal.openedTitles, QStringList{QStringLiteral("ＭＲＩ予約システム - [ 予約検索 ]")});
    EXPECT_EQ(lockWhileOpen, QStringLiteral("0"));
    EXPECT_EQ(b.CMB[0]->currentText(), QStringLiteral("第２室"));
    EXPECT_EQ(QStringList({b.CMB[1]->currentText(), b.CMB[2]->currentText(), b.CMB[3]->currentText()}),
              QStringList({"2005", "2", "15"}));
    EXPECT_TRUE(context->messages.texts().isEmpty()) << "no date on the way was refused";
    b.Timer1_Timer();
    EXPECT_TRUE(b.cell(15).caption.startsWith(QStringLiteral("やまだ")));
    EXPECT_TRUE(b.Timer1.isActive());
}

TEST_F(BoardTest, TheSearchOffersTheBoardsRoomsAndSaysWhenAJumpCannotBeShown) {
    db.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
    db.addRoom(QStringLiteral("2"), QStringLiteral("第２室"));
    PRO001& b = startOnDatabase();
    // Added after start-up: the board's selector does not list it.
    db.addRoom(QStringLiteral("3"), QStringLiteral("第３室"));
    db.addReservation(QStringLiteral("3200503080930"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("やまだ"), QStringLiteral("02"), QStringLiteral("1"));
    QStringList offered;
    context->modal.then([&](QDialog& dialog) {
        auto& search = dynamic_cast<PRO010&>(dialog);
        QComboBox* rooms = search.CMB[PRO010::kRoomSelector];
        for (int i = 0; i < rooms->count(); ++i) offered << rooms->itemText(i);
        search.TXT->setText(QStringLiteral("ヤマダ"));
        search.NAME_SEARCH();
        ASSERT_EQ(search.LST->topLevelItemCount(), 1);
        search.LST_Jump();
        EXPECT_TRUE(search.isVisible());
    });
    b.SEARCH_OPEN();

    EXPECT_EQ(offered, QStringList({"ＭＲＩ室", "第２室"}));
    EXPECT_EQ(context->messages.texts(), QStringList{"予約一覧で選択できない室名のため表示できません。"});
    EXPECT_FALSE(b.chooseDay(2, QDate(2005, 3, 8)));
    EXPECT_FALSE(b.chooseDay(1, QDate(2100, 1, 1)));
    EXPECT_EQ(b.CMB[0]->currentText(), QStringLiteral("ＭＲＩ室"))
        << "neither the refused jump nor a refused choice changes the board";
}
