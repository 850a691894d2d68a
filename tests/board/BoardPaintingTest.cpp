#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "tests/board/BoardFixture.h"

using namespace kesola;
using namespace kesola::test;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kGrey(180, 180, 180);

class BoardPainting : public BoardTest {
  protected:
    void SetUp() override {
        db.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
        db.addRoom(QStringLiteral("2"), QStringLiteral("第２室"));
        db.addDepartment(QStringLiteral("03"), QStringLiteral("整形外科"), 255, 224, 192, 0, 0, 128);
        db.addDepartment(QStringLiteral("04"), QStringLiteral("脳外科"), 10, 20, 30, 200, 210, 220);
        db.addBodyPart(QStringLiteral("05"), QStringLiteral("頭部"));
    }
    // A reservation in room 1 on 2005-03-07.
    void book(const char* time, const char* minutes, const char* department, const char* status,
              const QString& name = QStringLiteral("山田"), const char* bodyPart = "05") {
        db.addReservation(QStringLiteral("120050307") + QString::fromLatin1(time), QString::fromLatin1(minutes),
                          QString::fromLatin1(department), name, QString::fromLatin1(bodyPart),
                          QString::fromLatin1(status));
    }
    PRO001& paint() {
        PRO001& b = startOnDatabase();
        b.TTBL_SET();
        return b;
    }
    static bool blank(const CellPaint& c) { return c.caption.isEmpty() && c.background == kWhite && c.text == kBlack; }
};

}  // namespace

TEST_F(BoardPainting, PendingReservationPaintsItsBlockInTheDepartmentsColours) {
    book("0930", "30", "03", "1");
    PRO001& b = paint();
    EXPECT_EQ(b.cell(15).caption, QStringLiteral("山田\r整形外科\r頭部"));
    EXPECT_EQ(b.TTBL[15]->text(), QStringLiteral("山田\n整形外科\n頭部"));
    for (int i : {15, 16, 17}) EXPECT_EQ(b.cell(i).background, QColor(255, 224, 192)) << i;
    EXPECT_EQ(b.TTBL[16]->palette().color(QPalette::Window), QColor(255, 224, 192));
    EXPECT_EQ(b.cell(15).text, QColor(0, 0, 128));
    EXPECT_EQ(b.cellCaption(16), QString());
    EXPECT_TRUE(blank(b.cell(14)));
    EXPECT_TRUE(blank(b.cell(18)));
}

TEST_F(BoardPainting, DoneReservationIsGreyWithBlackText) {
    book("0930", "30", "03", "2");
    PRO001& b = paint();
    for (int i : {15, 16, 17}) EXPECT_EQ(b.cell(i).background, kGrey) << i;
    EXPECT_EQ(b.cell(15).text, kBlack);
    EXPECT_EQ(b.cell(15).caption, QStringLiteral("山田\r整形外科\r頭部"));
}

TEST_F(BoardPainting, BlocksStopAtTheLastCellAndShortDurationsPaintNoBackground) {
    book("1940", "40", "04", "1");
    book("0700", "5", "04", "1");
    PRO001& b = paint();
    EXPECT_EQ(b.cell(76).background, QColor(10, 20, 30));
    EXPECT_EQ(b.cell(77).background, QColor(10, 20, 30));
    EXPECT_EQ(b.cell(0).caption, QStringLiteral("山田\r脳外科\r頭部"));
    EXPECT_EQ(b.cell(0).background, kWhite);
    EXPECT_EQ(b.cell(0).text, QColor(200, 210, 220));
}

TEST_F(BoardPainting, LaterStartOverwritesTheSharedCells) {
    book("0900", "60", "03", "1");
    book("0920", "20", "04", "2", QStringLiteral("佐藤"));
    PRO001& b = paint();
    EXPECT_EQ(b.cell(12).background, QColor(255, 224, 192));
    EXPECT_EQ(b.cell(14).background, kGrey);
    EXPECT_EQ(b.cell(15).background, kGrey);
    EXPECT_EQ(b.cell(16).background, QColor(255, 224, 192));
    EXPECT_EQ(b.cell(14).caption, QStringLiteral("佐藤\r脳外科\r頭部"));
}

TEST_F(BoardPainting, OnlyTheChosenRoomAndDayArePainted) {
    db.addReservation(QStringLiteral("2200503070930"), QStringLiteral("30"), QStringLiteral("03"), QStringLiteral("x"),
                      QStringLiteral("05"), QStringLiteral("1"));
    db.addReservation(QStringLiteral("1200503080930"), QStringLiteral("30"), QStringLiteral("03"), QStringLiteral("y"),
                      QStringLiteral("05"), QStringLiteral("1"));
    PRO001& b = paint();
    for (int i = 0; i < kCellCount; ++i) EXPECT_TRUE(blank(b.cell(i))) << i;
    b.CMB[0]->setCurrentIndex(1);
    b.TTBL_SET();
    EXPECT_EQ(b.cell(15).caption.left(2), QStringLiteral("x\r"));
}

TEST_F(BoardPainting, NoRoomOrAnImpossibleDateLeavesTheGridBlank) {
    book("0930", "30", "03", "1");
    PRO001& b = paint();
    b.CMB[0]->setCurrentIndex(-1);
    b.TTBL_SET();
    for (int i = 0; i < kCellCount; ++i) EXPECT_TRUE(blank(b.cell(i))) << i;
    EXPECT_EQ(b.TTBL[15]->text(), QString());
    EXPECT_EQ(b.TTBL[15]->palette().color(QPalette::Window), kWhite);
    b.CMB[0]->setCurrentIndex(0);
    select(2, QStringLiteral("2"));
    select(3, QStringLiteral("30"));
    b.TTBL_SET();
    for (int i = 0; i < kCellCount; ++i) EXPECT_TRUE(blank(b.cell(i))) << i;
}

TEST_F(BoardPainting, UnknownDepartmentGivesAnEmptySecondLineInBlack) {
    book("0800", "20", "07", "1");
    PRO001& b = paint();
    EXPECT_EQ(b.cell(6).caption, QStringLiteral("山田\r\r頭部"));
    EXPECT_EQ(b.cell(6).background, kBlack);
    EXPECT_EQ(b.cell(7).background, kBlack);
    EXPECT_EQ(b.cell(6).text, kBlack);
}

TEST_F(BoardPainting, DamagedRowsPaintWhatTheyCanAndSkipTheRest) {
    db.addReservation(QStringLiteral("120050307"), QStringLiteral("30"), QStringLiteral("03"), QStringLiteral("short"),
                      QStringLiteral("05"), QStringLiteral("1"));
    db.addReservation(QStringLiteral("1200503070x3y"), QStringLiteral("30"), QStringLiteral("03"),
                      QStringLiteral("digits"), QStringLiteral("05"), QStringLiteral("1"));
    book("0800", "abc", "03", "1", QStringLiteral("minA"));
    book("0900", "99999", "03", "1", QStringLiteral("minB"));
    book("1000", "20", "00", "1", QStringLiteral("ka00"));
    book("1100", "20", "abc", "2", QStringLiteral("kaAbc"));
    book("1200", "20", "100", "1", QStringLiteral("ka100"), "xx");
    book("2000", "20", "03", "1", QStringLiteral("late"));
    book("0650", "30", "03", "1", QStringLiteral("early"));
    PRO001& b = paint();
    EXPECT_EQ(b.cell(6).caption, QStringLiteral("minA\r整形外科\r頭部"));
    EXPECT_EQ(b.cell(6).background, kWhite);
    EXPECT_EQ(b.cell(12).caption, QStringLiteral("minB\r整形外科\r頭部"));
    EXPECT_EQ(b.cell(12).background, kWhite);
    EXPECT_EQ(b.cell(18).caption, QStringLiteral("ka00\r頭部"));
    EXPECT_EQ(b.cell(18).background, kWhite);
    EXPECT_EQ(b.cell(24).caption, QStringLiteral("kaAbc\r頭部"));
    EXPECT_EQ(b.cell(24).background, kGrey);  // done rows need no department colour
    EXPECT_EQ(b.cell(30).caption, QStringLiteral("ka100\r"));
    // 6:50 for 30 minutes: the cells that exist are still painted.
    EXPECT_EQ(b.cell(0).background, QColor(255, 224, 192));
    EXPECT_EQ(b.cell(1).background, QColor(255, 224, 192));
    EXPECT_EQ(b.cell(2).background, kWhite);
}

TEST_F(BoardPainting, ColourFieldsOutOfRangeAreClampedAndNonNumbersSkipped) {
    db.connect()->execute(
        QStringLiteral("INSERT INTO KA (CODE, KNAME, BR, BG, BB, FR, FG, FB) VALUES ('09', '放射線科', '', '-20', "
                       "'999', 'x', '300', '7')"));
    book("0900", "10", "09", "1");
    PRO001& b = paint();
    EXPECT_EQ(b.cell(12).background, QColor(0, 0, 255));
    EXPECT_EQ(b.cell(12).text, QColor(0, 255, 7));
}

TEST_F(BoardPainting, LookupTablesSkipBlankNamesAndCodesOutsideTheRange) {
    db.connect()->execute(QStringLiteral("INSERT INTO KA (CODE, KNAME, BR) VALUES ('00', 'zero', '5')"));
    db.addDepartment(QStringLiteral("05"), QStringLiteral("  "), 1, 2, 3, 4, 5, 6);
    PRO001& b = paint();
    EXPECT_EQ(b.lookups().KA_NAME[3], QStringLiteral("整形外科"));
    EXPECT_EQ(b.lookups().KA_BRGB[3][1], 224);
    EXPECT_EQ(b.lookups().KA_NAME[5], QString());
    EXPECT_EQ(b.lookups().KA_BRGB[5][0], 0);
    EXPECT_EQ(b.lookups().KA_NAME[0], QString());
    EXPECT_EQ(b.lookups().BU_NAME[5], QStringLiteral("頭部"));
    // A department blanked later keeps its entries until the program restarts.
    db.connect()->execute(QStringLiteral("UPDATE KA SET KNAME = '' WHERE CODE = '03'"));
    db.connect()->execute(QStringLiteral("UPDATE KA SET KNAME = '内科' WHERE CODE = '04'"));
    b.MST_READ();
    EXPECT_EQ(b.lookups().KA_NAME[3], QStringLiteral("整形外科"));
    EXPECT_EQ(b.lookups().KA_NAME[4], QStringLiteral("内科"));
}

TEST_F(BoardPainting, ChoosingADateShowsTheWeekdayAndRefusesImpossibleDays) {
    PRO001& b = startOnDatabase();
    select(3, QStringLiteral("31"));
    EXPECT_EQ(b.YOUBI->text(), QStringLiteral("木曜日"));
    EXPECT_TRUE(context->messages.shown.empty());
    select(2, QStringLiteral("4"));
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text, QStringLiteral("日付の選択に誤りがあります。"));
    EXPECT_EQ(context->messages.last().title, b.windowTitle());
    EXPECT_EQ(b.monthText(), QStringLiteral("4"));
    b.CMB[0]->setCurrentIndex(1);  // another room: the check runs again
    EXPECT_EQ(context->messages.shown.size(), 2u);
    select(1, QString());
    EXPECT_EQ(b.YOUBI->text(), QString());
}

TEST_F(BoardPainting, AReservationWrittenByAnotherProcessShowsWithinHalfASecond) {
    // The other workstation is the engine's own command-line client.
    const QString client =
        QStandardPaths::findExecutable(db.onServer() ? QStringLiteral("psql") : QStringLiteral("sqlite3"));
    ASSERT_FALSE(client.isEmpty()) << "sqlite3 and psql are installed by scripts/install-deps.sh test";
    PRO001& b = startOnDatabase();
    ASSERT_TRUE(b.Timer1.isActive());
    QTest::qWait(50);
    ASSERT_TRUE(b.cell(15).caption.isEmpty());
    QProcess writer;
    const QString insert = QStringLiteral(
        "INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) VALUES ('1200503070930','30',"
        "'03','N','他端末','05','1','40','1','')");
    writer.start(client,
                 db.onServer() ? QStringList{db.path(), QStringLiteral("-c"), insert} : QStringList{db.path(), insert});
    ASSERT_TRUE(writer.waitForFinished(5000));
    ASSERT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
    // The board's own timer (500 ms) repaints: the row must be on the board after its very next tick. Counting
    // ticks rather than milliseconds keeps the test honest on a loaded machine.
    QSignalSpy ticks(&b.Timer1, &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !b.repaintPending(); }, 5000));
    EXPECT_FALSE(b.cell(15).caption.isEmpty());
    EXPECT_EQ(b.cell(16).background, QColor(255, 224, 192));
}
