#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "search/Pro010.h"
#include "store/BookingStore.h"
#include "tests/support/TestDatabase.h"

using namespace kesola;
using namespace kesola::test;

namespace {

// A board whose room selector lists rooms 1 and 3, nothing chosen unless a test chooses.
struct ChosenDays : DayChooser {
    bool chooseDay(int roomIndex, QDate date) override {
        chosen.emplace_back(roomIndex, date);
        return true;
    }
    std::vector<MasterEntry> roomEntries() const override { return rooms; }
    int chosenRoomIndex() const override { return roomIndex; }
    QDate chosenDate() const override { return date; }

    std::vector<std::pair<int, QDate>> chosen;
    std::vector<MasterEntry> rooms{{"1", "ＭＲＩ室"}, {"3", "第３室"}};
    int roomIndex = -1;
    QDate date;
};

QStringList row(const QTreeWidget* list, int index) {
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c) texts << list->topLevelItem(index)->text(c);
    return texts;
}

class SearchWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
        db.addRoom(QStringLiteral("3"), QStringLiteral("第３室"));
        db.addDepartment(QStringLiteral("01"), QStringLiteral("内科"), 0, 0, 0, 0, 0, 0);
        db.addBodyPart(QStringLiteral("02"), QStringLiteral("頭部"));
        context.g.DB = db.connect();
        window.Form_Load();
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    TestDatabase db;
    TestContext context{&db, QDate(2005, 3, 7)};
    ChosenDays board;
    PRO010 window{context.ctx, board};
};

}  // namespace

TEST_F(SearchWindowTest, NameSearchListsWithinThePeriodAndEnterOnAResultJumps) {
    db.addReservation(QStringLiteral("3200503080930"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("鈴木 はな"), QStringLiteral("02"), QStringLiteral("2"), QStringLiteral("2"),
                      QStringLiteral("51"));
    db.addReservation(QStringLiteral("1200502060900"), QStringLiteral("20"), QStringLiteral("01"),
                      QStringLiteral("鈴木ハナ"), QStringLiteral("02"), QStringLiteral("1"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("ＭＲＩ予約システム - [ 予約検索 ]"));
    EXPECT_EQ(window.CMB[PRO010::kFromMonth]->currentText(), QStringLiteral("2"));
    EXPECT_EQ(window.CMB[PRO010::kFromDay]->currentText(), QStringLiteral("7"));

    window.TXT->setText(QStringLiteral("鈴木　はな"));
    QTest::keyClick(window.TXT, Qt::Key_Return);
    ASSERT_EQ(window.LST->topLevelItemCount(), 1) << "6 February lies before the period";
    EXPECT_EQ(row(window.LST, 0), QStringList({"2005/03/08(火)", "9:30", "10:00", "第３室", "鈴木 はな", "51", "女性",
                                               "内科", "頭部", "済"}));
    QTest::keyClick(window.TXT, Qt::Key_Down);
    EXPECT_TRUE(window.LST->hasFocus());
    QTest::keyClick(window.LST, Qt::Key_Return);
    ASSERT_EQ(board.chosen.size(), 1u);
    EXPECT_EQ(board.chosen[0], std::make_pair(1, QDate(2005, 3, 8))) << "room code 3 is the board's second room";
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(context.messages.texts().isEmpty());
}

TEST_F(SearchWindowTest, FreeSlotsByMouseAndTheRefusals) {
    const QString title = window.windowTitle();
    QTest::keyClick(window.TXT, Qt::Key_Return);
    window.TXT->setText(QStringLiteral("佐藤"));
    QTest::mouseClick(window.BTN[PRO010::kSearchButton], Qt::LeftButton);
    QTest::mouseClick(window.BTN[PRO010::kFreeSlotButton], Qt::LeftButton);
    window.CMB[PRO010::kRoomSelector]->setCurrentIndex(0);
    QTest::mouseClick(window.BTN[PRO010::kFreeSlotButton], Qt::LeftButton);
    EXPECT_EQ(context.messages.texts(), QStringList({"患者名の入力を行なってください。", "該当する予約はありません。",
                                                     "室名の選択を行ってください。", "時間の選択を行ってください。"}));
    EXPECT_EQ(context.messages.last().title, title);

    db.addReservation(QStringLiteral("1200503070700"), QStringLiteral("120"), QStringLiteral("01"), QStringLiteral("A"),
                      QStringLiteral("02"), QStringLiteral("1"));
    window.CMB[PRO010::kDurationSelector]->setCurrentText(QStringLiteral("60"));
    QTest::mouseClick(window.BTN[PRO010::kFreeSlotButton], Qt::LeftButton);
    ASSERT_GE(window.LST->topLevelItemCount(), 10);
    EXPECT_EQ(row(window.LST, 0).mid(0, 4), QStringList({"2005/03/07(月)", "9:00", "10:00", "ＭＲＩ室"}));
    const QRect second = window.LST->visualItemRect(window.LST->topLevelItem(1));
    ASSERT_TRUE(second.isValid());
    QTest::mouseClick(window.LST->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(window.LST->viewport(), Qt::LeftButton, {}, second.center());
    ASSERT_EQ(board.chosen.size(), 1u);
    EXPECT_EQ(board.chosen[0], std::make_pair(0, QDate(2005, 3, 7)));
}

TEST_F(SearchWindowTest, ADatabaseFailureIsReported) {
    db.connect()->execute(QStringLiteral("DROP TABLE KESOLA"));
    window.TXT->setText(QStringLiteral("佐藤"));
    QTest::keyClick(window.TXT, Qt::Key_Return);
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_TRUE(context.messages.last().text.startsWith(QStringLiteral("データベースの処理に失敗しました。\n")));
    EXPECT_EQ(window.LST->topLevelItemCount(), 0);
}

TEST_F(SearchWindowTest, LettersOfEitherCaseAndWidthFindTheName) {
    db.addReservation(QStringLiteral("1200503090700"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("ＹＡＭＡＤＡ　ＴＡＲＯ"), QStringLiteral("02"), QStringLiteral("1"));
    window.TXT->setText(QStringLiteral("yamada taro"));
    window.BTN_Click(PRO010::kSearchButton);
    EXPECT_EQ(window.LST->topLevelItemCount(), 1);
}

TEST_F(SearchWindowTest, FreeSlotsOfTodayStartFromNowAndPastDatesAreRefused) {
    context.clock.setTime(QTime(15, 5));
    window.CMB[PRO010::kRoomSelector]->setCurrentIndex(0);
    window.CMB[PRO010::kDurationSelector]->setCurrentText(QStringLiteral("30"));
    window.BTN_Click(PRO010::kFreeSlotButton);
    ASSERT_GE(window.LST->topLevelItemCount(), 10);
    EXPECT_EQ(row(window.LST, 0).mid(0, 3), QStringList({"2005/03/07(月)", "15:10", "15:40"}));

    window.CMB[PRO010::kFirstDay]->setCurrentText(QStringLiteral("6"));
    window.BTN_Click(PRO010::kFreeSlotButton);
    EXPECT_EQ(context.messages.texts(), QStringList{"過去の日付は選択できません。"});
    EXPECT_EQ(window.LST->topLevelItemCount(), 0) << "a refused search leaves no old answers";

    db.bookWholeDays(QStringLiteral("1"), QDate(2005, 3, 8), QDate(2006, 3, 8));
    window.CMB[PRO010::kFirstDay]->setCurrentText(QStringLiteral("8"));
    window.BTN_Click(PRO010::kFreeSlotButton);
    EXPECT_EQ(context.messages.last().text, QStringLiteral("指定日から１年以内に空き枠はありません。"));
}

TEST_F(SearchWindowTest, TheFreeSlotStartsAtTheBoardsRoomAndADayNotPast) {
    board.roomIndex = 1;
    for (auto [boardDate, firstDay] : {std::pair(QDate(2005, 3, 20), "20"), std::pair(QDate(2005, 3, 1), "7")}) {
        board.date = boardDate;
        PRO010 search(context.ctx, board);
        search.Form_Load();
        EXPECT_EQ(search.CMB[PRO010::kRoomSelector]->currentText(), QStringLiteral("第３室"));
        EXPECT_EQ(search.CMB[PRO010::kFirstDay]->currentText(), QString::fromUtf8(firstDay));
    }
}

TEST_F(SearchWindowTest, TheDaysBookingsWithoutAPatientIdAreListedInTheirOrder) {
    for (const auto& [key, name] : {std::pair("1200503071300", "佐藤 一郎"), std::pair("3200503070900", "田中 次郎"),
                                    std::pair("1200503080900", "翌日 三郎")}) {
        db.addReservation(QString::fromUtf8(key), QStringLiteral("30"), QStringLiteral("01"), QString::fromUtf8(name),
                          QStringLiteral("02"), QStringLiteral("1"));
    }
    auto store = db.connect();
    const QString withId = QStringLiteral("1200503071000");
    Booking booked{QStringLiteral("30"),    QStringLiteral("01"), QStringLiteral("山田 花子"), QStringLiteral("02"),
                   QStringLiteral("2"),     QStringLiteral("40"), QStringLiteral("1"),         QString(),
                   QStringLiteral("P-0001")};
    ASSERT_EQ(storeBooking(*store, withId, booked, std::nullopt), StoreOutcome::Stored);

    QTest::mouseClick(window.BTN[PRO010::kWithoutIdButton], Qt::LeftButton);
    ASSERT_EQ(window.LST->topLevelItemCount(), 2);
    EXPECT_EQ(row(window.LST, 0).mid(0, 5), QStringList({"2005/03/07(月)", "9:00", "9:30", "第３室", "田中 次郎"}));
    EXPECT_EQ(row(window.LST, 1).mid(0, 5), QStringList({"2005/03/07(月)", "13:00", "13:30", "ＭＲＩ室", "佐藤 一郎"}));

    for (const QString& key : {QStringLiteral("1200503071300"), QStringLiteral("3200503070900")}) {
        const std::optional<Booking> shown = findBooking(*store, key);
        ASSERT_TRUE(shown);
        Booking given = *shown;
        given.KANJYAID = QStringLiteral("P-") + key.right(4);
        ASSERT_EQ(storeBooking(*store, key, given, shown), StoreOutcome::Stored);
    }
    QTest::mouseClick(window.BTN[PRO010::kWithoutIdButton], Qt::LeftButton);
    EXPECT_EQ(window.LST->topLevelItemCount(), 0);
    EXPECT_EQ(context.messages.texts(), QStringList({"患者IDのない予約はありません。"}));
}
