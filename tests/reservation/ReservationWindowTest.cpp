// The reservation window as it opens: layout, start time, lists, the loaded booking, and the key filter.

#include <QApplication>
#include <QClipboard>
#include <QInputMethodQueryEvent>
#include <QSignalSpy>
#include <QTest>

#include "tests/reservation/ReservationFixture.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"

using namespace kesola;
using namespace kesola::test;

namespace {

QStringList entries(const QComboBox* selector) {
    QStringList out;
    for (int i = 0; i < selector->count(); ++i) out << selector->itemText(i);
    return out;
}

QColor background(const QWidget* w) { return w->palette().color(QPalette::Window); }

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// Layout

TEST_F(ReservationWindowTest, ControlsSitWhereTheFormPlacesThem) {
    auto w = open(0);
    EXPECT_EQ(w->size(), twipsSize(6540, 5745));
    EXPECT_EQ(w->minimumSize(), w->maximumSize()) << "a fixed frame";
    EXPECT_EQ(background(w.get()), QColor(255, 224, 192));

    const struct {
        QWidget* control;
        QRect twips;
    } places[] = {
        {w->LBL[2], {225, 225, 1020, 360}},   {w->SLBL[0], {1500, 285, 240, 240}},
        {w->LBL[18], {1800, 285, 240, 240}},  {w->SLBL[1], {2085, 285, 240, 240}},
        {w->LBL[17], {2355, 285, 240, 240}},  {w->LBL[11], {2730, 285, 240, 240}},
        {w->CMB[0], {3150, 225, 735, 360}},   {w->LBL[16], {3975, 285, 480, 240}},
        {w->LBL[8], {225, 795, 1020, 360}},   {w->CMB[1], {1455, 795, 2505, 360}},
        {w->LBL[1], {225, 1380, 1020, 360}},  {w->TXT[0], {1455, 1380, 2490, 360}},
        {w->LBL[3], {225, 1950, 1020, 360}},  {w->CMB[3], {1455, 1950, 2505, 360}},
        {w->LBL[0], {4740, 1905, 1020, 360}}, {w->CMB[2], {5970, 1905, 2505, 360}},
        {w->LBL[4], {225, 2520, 1020, 360}},  {w->CMB[4], {1455, 2520, 870, 360}},
        {w->LBL[5], {225, 3090, 1020, 360}},  {w->TXT[1], {1455, 3090, 840, 360}},
        {w->LBL[7], {2385, 3135, 240, 240}},  {w->LBL[9], {225, 3660, 1020, 360}},
        {w->CMB[5], {1455, 3660, 870, 360}},  {w->LBL[6], {225, 4230, 1020, 360}},
        {w->TXT[2], {1455, 4230, 4890, 360}}, {w->BTN[0], {225, 5145, 1020, 360}},
        {w->BTN[2], {1785, 5145, 1020, 360}}, {w->BTN[1], {3300, 5145, 1020, 360}},
        {w->LBL[10], {4065, 1380, 840, 360}}, {w->TXT[3], {5115, 1380, 1230, 360}},
    };
    for (const auto& p : places) {
        ASSERT_NE(p.control, nullptr);
        EXPECT_EQ(p.control->geometry(), twipsRect(p.twips.x(), p.twips.y(), p.twips.width(), p.twips.height()))
            << p.control->objectName().toStdString();
        EXPECT_EQ(p.control->font().family(), kFontFamily) << p.control->objectName().toStdString();
        EXPECT_EQ(p.control->font().pointSize(), 12) << p.control->objectName().toStdString();
    }
    for (int missing : {12, 13, 14, 15}) EXPECT_EQ(w->LBL[missing], nullptr);
    EXPECT_EQ(w->TXT[3]->geometry().right(), w->TXT[2]->geometry().right());
    EXPECT_EQ(w->findChild<QComboBox*>(QStringLiteral("CMB3")), w->CMB[3]);
    EXPECT_EQ(w->findChild<QLineEdit*>(QStringLiteral("TXT2")), w->TXT[2]);
}

TEST_F(ReservationWindowTest, CaptionsAndColoursOfLabelsAndButtons) {
    auto w = open(0);
    const struct {
        int index;
        const char* caption;
    } titles[] = {{2, "予約時間"}, {8, "科"},   {1, "名前"}, {3, "部位"}, {0, "病棟"},
                  {4, "性別"},     {5, "年齢"}, {9, "状況"}, {6, "備考"}, {10, "患者ID"}};
    for (const auto& t : titles) {
        QLabel* label = w->LBL[t.index];
        EXPECT_EQ(label->text(), QString::fromUtf8(t.caption));
        EXPECT_EQ(background(label), QColor(0, 128, 176));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 255, 255));
        EXPECT_TRUE(label->autoFillBackground());
        EXPECT_EQ(label->frameShape(), QFrame::Box);
        EXPECT_EQ(label->alignment(), Qt::AlignCenter);
    }
    const struct {
        int index;
        const char* caption;
    } units[] = {{18, "時"}, {17, "分"}, {11, "～"}, {16, "分間"}, {7, "歳"}};
    for (const auto& u : units) {
        EXPECT_EQ(w->LBL[u.index]->text(), QString::fromUtf8(u.caption));
        EXPECT_FALSE(w->LBL[u.index]->autoFillBackground()) << "transparent";
    }
    for (QLabel* start : w->SLBL) {
        EXPECT_EQ(background(start), QColor(208, 208, 208));
        EXPECT_TRUE(start->autoFillBackground());
        EXPECT_EQ(start->alignment(), Qt::AlignCenter);
    }
    EXPECT_EQ(w->BTN[0]->text(), QStringLiteral("戻る"));
    EXPECT_EQ(w->BTN[1]->text(), QStringLiteral("登録"));
    EXPECT_EQ(w->BTN[2]->text(), QStringLiteral("削除"));
    for (QPushButton* button : w->BTN) EXPECT_EQ(button->palette().color(QPalette::Button), QColor(224, 224, 224));
}

TEST_F(ReservationWindowTest, WardIsHiddenAndNeverFilled) {
    auto w = open(0);
    w->show();
    EXPECT_FALSE(w->LBL[0]->isVisible());
    EXPECT_FALSE(w->CMB[2]->isVisible());
    EXPECT_EQ(w->CMB[2]->count(), 0);
    EXPECT_TRUE(w->CMB[1]->isVisible());
}

TEST_F(ReservationWindowTest, TabOrderRunsDownTheFormThenAlongTheButtonsThenToThePatientId) {
    auto w = open(0);
    const QWidget* order[] = {w->CMB[0], w->CMB[1], w->CMB[2], w->TXT[0], w->CMB[3], w->CMB[4], w->TXT[1],
                              w->CMB[5], w->TXT[2], w->BTN[0], w->BTN[2], w->BTN[1], w->TXT[3]};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1]) << "after " << order[i]->objectName().toStdString();
    }
}

TEST_F(ReservationWindowTest, AltIReachesThePatientIdBoxItsTooltipSaysSo) {
    auto w = open(0);
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->TXT[0]->setFocus();
    QTest::keyClick(w->TXT[0], Qt::Key_I, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), w->TXT[3]);
    EXPECT_EQ(w->TXT[0]->text(), QString());
    EXPECT_EQ(w->TXT[3]->toolTip(),
              QStringLiteral("患者ID（半角英数字と「-」、16文字まで）。Alt+I でこの欄に移ります。"));
    EXPECT_EQ(w->LBL[10]->toolTip(), w->TXT[3]->toolTip());
}

// What a receptionist pastes into the age and patient ID boxes: taken without its spaces and line end and in half
// width, or refused with a word, never cut to fit.
TEST_F(ReservationWindowTest, PastesIntoTheAgeAndIdBoxesAreTakenAsMeantOrRefusedWithAMessage) {
    auto w = open(0);
    const struct {
        int box;
        const char* pasted;
        const char* stands;
        const char* message;  // "" for none
    } cases[] = {
        {1, " ４５\r\n", "45", ""},
        {3, "P-0001\r\n", "P-0001", ""},
        {1, "１２３４", "", "貼り付けた「１２３４」は年齢に入力できません。年齢は3桁までの数字で入力してください。"},
        {3, "P-0001-2345-6789-0123", "",
         "貼り付けた「P-0001-2345-6789-012…」は患者IDに入力できません。患者IDは16文字までの半角英数字と「-」で入力"
         "してください。"},
    };
    for (const auto& p : cases) {
        c.messages.clear();
        w->TXT[p.box]->clear();
        QGuiApplication::clipboard()->setText(QString::fromUtf8(p.pasted));
        QTest::keyClick(w->TXT[p.box], Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(w->TXT[p.box]->text(), QString::fromUtf8(p.stands)) << p.pasted;
        EXPECT_EQ(c.messages.texts(), *p.message ? QStringList{QString::fromUtf8(p.message)} : QStringList{});
        if (*p.message) {
            EXPECT_EQ(c.messages.last().title, w->windowTitle());
            EXPECT_EQ(c.messages.last().icon, MsgIcon::Exclamation);
        }
    }
}

TEST_F(ReservationWindowTest, TextBoxesLimitCharactersAndInputMethod) {
    auto w = open(0);
    EXPECT_EQ(w->TXT[0]->maxLength(), 20);
    EXPECT_EQ(w->TXT[1]->maxLength(), 3);
    EXPECT_EQ(w->TXT[2]->maxLength(), 40);
    EXPECT_EQ(w->TXT[3]->maxLength(), 16);
    // What the platform asks the focused box before it hands keys to the input method.
    const auto inputMethodTakesKeys = [](QLineEdit* box) {
        QInputMethodQueryEvent query(Qt::ImEnabled);
        QCoreApplication::sendEvent(box, &query);
        return query.value(Qt::ImEnabled).toBool();
    };
    EXPECT_TRUE(inputMethodTakesKeys(w->TXT[0]));
    EXPECT_FALSE(inputMethodTakesKeys(w->TXT[1]));
    EXPECT_TRUE(inputMethodTakesKeys(w->TXT[2]));
    EXPECT_FALSE(inputMethodTakesKeys(w->TXT[3]));
    EXPECT_TRUE(w->TXT[1]->inputMethodHints() & Qt::ImhDigitsOnly);
    for (QChar typed : QStringLiteral("あP-0１2_ z"))
        QTest::sendKeyEvent(QTest::Click, w->TXT[3], Qt::Key_unknown, QString(typed), Qt::NoModifier);
    EXPECT_EQ(w->TXT[3]->text(), QStringLiteral("P-02z")) << "ASCII letters, digits and hyphens only";
    for (QComboBox* selector : w->CMB) EXPECT_FALSE(selector->isEditable()) << "drop-down lists only";
}

// ---------------------------------------------------------------------------------------------------------------
// Loading

TEST_F(ReservationWindowTest, StartTimeComesFromTheChosenCell) {
    const struct {
        int cell;
        const char* hour;
        const char* minute;
    } cases[] = {{0, "7", "00"}, {77, "19", "50"}, {9, "8", "30"}, {15, "9", "30"}};
    for (const auto& k : cases) {
        auto w = open(k.cell);
        EXPECT_EQ(w->SLBL[0]->text(), QString::fromLatin1(k.hour)) << k.cell;
        EXPECT_EQ(w->SLBL[1]->text(), QString::fromLatin1(k.minute)) << k.cell;
    }
}

TEST_F(ReservationWindowTest, CaptionNamesTheBoardsRoom) {
    board.roomName = QStringLiteral(" ＣＴ室２ ");
    auto w = open(3);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ＭＲＩ予約システム - [  ＣＴ室２  予約操作 ]"));
}

TEST_F(ReservationWindowTest, FreeCellOpensEmptyWithTheFixedLists) {
    auto w = open(15);
    EXPECT_EQ(w->windowTitle(), kReservationCaption);
    EXPECT_EQ(entries(w->CMB[0]),
              QStringList({"10", "20", "30", "40", "50", "60", "70", "80", "90", "100", "110", "120"}));
    EXPECT_EQ(entries(w->CMB[4]), QStringList({"男性" + kGap + "1", "女性" + kGap + "2"}));
    EXPECT_EQ(entries(w->CMB[5]), QStringList({"未" + kGap + "1", "済" + kGap + "2"}));
    for (QComboBox* selector : w->CMB) EXPECT_EQ(selector->currentText(), QString()) << "untouched";
    for (QLineEdit* box : w->TXT) EXPECT_EQ(box->text(), QString());
    EXPECT_TRUE(c.messages.shown.empty());
}

TEST_F(ReservationWindowTest, MasterListsInCodeOrderWithoutBlankNames) {
    db.addDepartment(QStringLiteral("10"), QStringLiteral("  "), 0, 0, 0, 0, 0, 0);
    db.addDepartment(QStringLiteral("05"), QStringLiteral(" 眼科 "), 0, 0, 0, 0, 0, 0);
    db.addDepartment(QStringLiteral("00"), QStringLiteral("総合"), 0, 0, 0, 0, 0, 0);
    db.connect()->execute(QStringLiteral("INSERT INTO KA (CODE) VALUES ('07')"));  // no name at all
    db.addBodyPart(QStringLiteral("99"), QStringLiteral("腹部"));
    db.addBodyPart(QStringLiteral("03"), QString());
    auto w = open(0);
    EXPECT_EQ(entries(w->CMB[1]),
              QStringList({"総合" + kGap + "00", "内科" + kGap + "01", "外科" + kGap + "02", " 眼科 " + kGap + "05"}));
    EXPECT_EQ(entries(w->CMB[3]), QStringList({"頭部" + kGap + "01", "胸部" + kGap + "02", "腹部" + kGap + "99"}));
}

TEST_F(ReservationWindowTest, BookedCellOpensWithEveryFieldOfTheBooking) {
    db.addReservation(keyOfCell(15), QStringLiteral("60"), QStringLiteral("02"), QStringLiteral(" 佐藤 花子"),
                      QStringLiteral("02"), QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("007"),
                      QStringLiteral(" 車椅子 "));
    auto w = open(15);
    EXPECT_EQ(w->CMB[0]->currentText(), QStringLiteral("60"));
    EXPECT_EQ(w->CMB[1]->currentText(), "外科" + kGap + "02");
    EXPECT_EQ(w->TXT[0]->text(), QStringLiteral(" 佐藤 花子"));
    EXPECT_EQ(w->CMB[3]->currentText(), "胸部" + kGap + "02");
    EXPECT_EQ(w->CMB[4]->currentText(), "女性" + kGap + "2");
    EXPECT_EQ(w->TXT[1]->text(), QStringLiteral("007"));
    EXPECT_EQ(w->CMB[5]->currentText(), "済" + kGap + "2");
    EXPECT_EQ(w->TXT[2]->text(), QStringLiteral(" 車椅子 "));
    EXPECT_TRUE(c.messages.shown.empty());
}

// Another program may store texts longer than the boxes let a user type: they load whole, and a save is judged on
// the whole text instead of quietly storing a cut one.
TEST_F(ReservationWindowTest, TextsLongerThanTheirBoxesLoadWhole) {
    const QString name(25, u'a'), age = QStringLiteral("0045"), remarks(45, u'b');
    db.addReservation(keyOfCell(15), QStringLiteral("60"), QStringLiteral("02"), name, QStringLiteral("02"),
                      QStringLiteral("2"), QStringLiteral("2"), age, remarks);
    auto w = open(15);
    EXPECT_EQ(w->TXT[0]->text(), name);
    EXPECT_EQ(w->TXT[1]->text(), age);
    EXPECT_EQ(w->TXT[2]->text(), remarks);
    w->RSV_SAVE();
    EXPECT_EQ(c.messages.shown.size(), 1u) << "the name is too wide to store";
    EXPECT_EQ(storedRow(db, keyOfCell(15)).value(QStringLiteral("YNAME")).toString(), name);
}

TEST_F(ReservationWindowTest, BlankOrMissingRemarksLeaveTheBoxEmpty) {
    db.addReservation(keyOfCell(20), QStringLiteral("10"), QStringLiteral("01"), QStringLiteral("a"),
                      QStringLiteral("01"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                      QStringLiteral("   "));
    db.addReservation(keyOfCell(21), QStringLiteral("10"), QStringLiteral("01"), QStringLiteral("b"),
                      QStringLiteral("01"), QStringLiteral("1"));
    db.connect()->execute(QStringLiteral("UPDATE KESOLA SET ETC = NULL WHERE CODE = ?"), {keyOfCell(21)});
    EXPECT_EQ(open(20)->TXT[2]->text(), QString());
    auto w = open(21);
    EXPECT_EQ(w->TXT[2]->text(), QString());
    EXPECT_EQ(w->TXT[0]->text(), QStringLiteral("b"));
}

TEST_F(ReservationWindowTest, StoredCodesWithoutAnEntryLeaveTheirSelectorEmpty) {
    db.addReservation(keyOfCell(30), QStringLiteral("15"), QStringLiteral("08"), QStringLiteral("鈴木"),
                      QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("3"), QStringLiteral("50"));
    auto w = open(30);
    for (int i : {0, 1, 3, 4, 5}) EXPECT_EQ(w->CMB[i]->currentIndex(), -1) << "CMB" << i;
    EXPECT_EQ(w->TXT[0]->text(), QStringLiteral("鈴木"));
    EXPECT_EQ(w->TXT[1]->text(), QStringLiteral("50"));
}

TEST_F(ReservationWindowTest, DepartmentRemovedSinceBookingOpensWithOnlyThatSelectorEmpty) {
    db.addReservation(keyOfCell(30), QStringLiteral("20"), QStringLiteral("02"), QStringLiteral("鈴木"),
                      QStringLiteral("02"), QStringLiteral("1"));
    db.connect()->execute(QStringLiteral("DELETE FROM KA WHERE CODE = '02'"));
    db.connect()->execute(QStringLiteral("UPDATE BU SET BNAME = ' ' WHERE CODE = '02'"));
    auto w = open(30);
    EXPECT_EQ(w->CMB[1]->currentText(), QString());
    EXPECT_EQ(w->CMB[3]->currentText(), QString());
    EXPECT_EQ(w->CMB[0]->currentText(), QStringLiteral("20"));
    EXPECT_EQ(w->CMB[4]->currentText(), "男性" + kGap + "1");
}

TEST_F(ReservationWindowTest, BookingOfAnotherRoomOrDayIsNotLoaded) {
    db.addReservation(QStringLiteral("2200503070930"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("other room"), QStringLiteral("01"), QStringLiteral("1"));
    db.addReservation(QStringLiteral("1200503080930"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("other day"), QStringLiteral("01"), QStringLiteral("1"));
    EXPECT_EQ(open(15)->TXT[0]->text(), QString());
    board.room = QStringLiteral("2");
    board.roomName = QStringLiteral("ＣＴ室");
    EXPECT_EQ(open(15)->TXT[0]->text(), QStringLiteral("other room"));
}

TEST_F(ReservationWindowTest, LoadFailureIsReportedOnceAndTheWindowStillOpens) {
    db.addReservation(keyOfCell(15), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("x"),
                      QStringLiteral("01"), QStringLiteral("1"));
    db.connect()->execute(QStringLiteral("DROP TABLE BU"));
    auto w = open(15);
    ASSERT_EQ(c.messages.shown.size(), 1u);
    EXPECT_TRUE(c.messages.last().text.startsWith(QStringLiteral("データベースの処理に失敗しました。\n")))
        << c.messages.last().text.toStdString();
    EXPECT_GT(c.messages.last().text.size(), QStringLiteral("データベースの処理に失敗しました。\n").size());
    EXPECT_EQ(c.messages.last().title, kReservationCaption);
    EXPECT_EQ(c.messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(w->CMB[1]->count(), 2) << "the lists read before the failure stay";
    EXPECT_EQ(w->CMB[4]->count(), 2);
    EXPECT_EQ(w->CMB[0]->count(), 12);
}

// ---------------------------------------------------------------------------------------------------------------
// Keys

TEST_F(ReservationWindowTest, AgeBoxTakesDigitsAndBackspaceOnly) {
    auto w = open(0);
    QLineEdit* age = w->TXT[1];
    QTest::keyClicks(age, QStringLiteral("a-1x2 "));
    EXPECT_EQ(age->text(), QStringLiteral("12"));
    QTest::keyClick(age, Qt::Key_Backspace);
    EXPECT_EQ(age->text(), QStringLiteral("1"));
    QTest::keyClicks(age, QStringLiteral("0987"));
    EXPECT_EQ(age->text(), QStringLiteral("109")) << "never more than three characters";
    int code = '-';
    w->TXT_KeyPress(1, code);
    EXPECT_EQ(code, 0);
    code = 8;
    w->TXT_KeyPress(1, code);
    EXPECT_EQ(code, 8);
}

// On X11 and Windows Tab, Delete and Ctrl shortcuts carry control characters as their text: they edit or move the
// focus, and the digit filter leaves them alone.
TEST_F(ReservationWindowTest, AgeBoxLetsEditingAndFocusKeysThrough) {
    auto w = open(0);
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QLineEdit* age = w->TXT[1];
    age->setFocus();
    QTest::keyClicks(age, QStringLiteral("123"));
    QTest::keyClick(age, Qt::Key_Home);
    QTest::keyClick(age, Qt::Key_Delete);
    EXPECT_EQ(age->text(), QStringLiteral("23"));
    QTest::keyClick(age, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(age, Qt::Key_Delete);
    EXPECT_EQ(age->text(), QString());
    QTest::keyClick(age, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->CMB[5]);
    QTest::keyClick(w->CMB[5], Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), age);
}

TEST_F(ReservationWindowTest, NameAndRemarksTakeAnyCharacter) {
    auto w = open(0);
    QTest::keyClicks(w->TXT[0], QStringLiteral("ab-1 x"));
    EXPECT_EQ(w->TXT[0]->text(), QStringLiteral("ab-1 x"));
    QTest::keyClicks(w->TXT[2], QStringLiteral("%*',"));
    EXPECT_EQ(w->TXT[2]->text(), QStringLiteral("%*',"));
}

TEST_F(ReservationWindowTest, EnterChangesNothingInAnyBox) {
    auto w = open(0);
    w->show();
    for (int i = 0; i < PRO002::kTextCount; ++i) {
        QLineEdit* box = w->TXT[i];
        box->setText(QStringLiteral("12"));
        QSignalSpy returned(box, &QLineEdit::returnPressed);
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter);
        EXPECT_EQ(box->text(), QStringLiteral("12"));
        EXPECT_EQ(returned.count(), 0) << box->objectName().toStdString();
        int code = 13;
        w->TXT_KeyPress(i, code);
        EXPECT_EQ(code, 0);
    }
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->result(), 0);
}

TEST_F(ReservationWindowTest, EscapeDoesNotThrowAwayWhatWasTyped) {
    auto w = open(0);
    w->show();
    w->TXT[0]->setText(QStringLiteral("山田"));
    QTest::keyClick(w->CMB[0], Qt::Key_Escape);
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->TXT[0]->text(), QStringLiteral("山田"));
}

TEST_F(ReservationWindowTest, BackClosesWithoutWriting) {
    auto w = open(15);
    w->show();
    enter(*w, Entries{});
    QTest::mouseClick(w->BTN[0], Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
    EXPECT_TRUE(c.messages.shown.empty());
    w->BTN_Click(7);  // no such button: nothing happens
    EXPECT_TRUE(c.messages.shown.empty());
}
