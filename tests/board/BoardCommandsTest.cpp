#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include "store/Texts.h"
#include "tests/board/BoardFixture.h"
#include "tools/Pro009.h"
#include "ui/Printing.h"

using namespace kesola;
using namespace kesola::test;

namespace {

const QString kBoardCaption = QStringLiteral("ＭＲＩ予約システム - [ ＭＲＩ室 予約一覧 ]");
const QString kExitQuestion = QStringLiteral("システム終了してもよろしいですか？");
const QString kLockQuestion = QStringLiteral("ロックを解除しますか？");
const QString kLockHeld = QStringLiteral("他のマシンで使用中です。しばらくしてリトライしてください。");
const QString kPrintFailed = QStringLiteral("印刷できませんでした。");

enum { kCsv = 0, kExit = 1, kMasters = 2, kPrint = 3 };

// Records the keys that get past the filters installed after it, that is the keys the control itself sees.
class KeySpy : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) seen << static_cast<QKeyEvent*>(event)->text();
        return false;
    }
    QStringList seen;
};

// Puts the spy behind the board's key preview on a control, so that it sees what the control would see.
void spyBehindBoard(QObject* control, PRO001& board, KeySpy& spy) {
    control->removeEventFilter(&board);
    control->installEventFilter(&spy);
    control->installEventFilter(&board);
}

// Prints through another service and notes the lock value while printing.
class LockWatchingPrinter : public PrintService {
  public:
    LockWatchingPrinter(PrintService& inner, const TestDatabase& db) : inner_(inner), db_(db) {}
    bool printImage(const QImage& image, QString* error) override {
        lockWhilePrinting = db_.lockValue();
        return inner_.printImage(image, error);
    }
    QString lockWhilePrinting;

  private:
    PrintService& inner_;
    const TestDatabase& db_;
};

int pageCount(const QByteArray& pdf) {
    int pages = 0;
    for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0; at = pdf.indexOf("/Type /Page", at + 1)) {
        if (pdf.mid(at + 11, 1) != "s") ++pages;
    }
    return pages;
}

}  // namespace

class BoardCommandsTest : public BoardTest {
  protected:
    void setLock(const char* value) {
        db.connect()->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = ? WHERE ID = '1'"),
                              {QString::fromLatin1(value)});
    }
    // A shown, active board with the focus on the given control.
    void focusOn(QWidget* control) {
        QApplication::setActiveWindow(board.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(board.get()));
        control->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([control] { return control->hasFocus(); }));
    }
    // A board like the fixture's, printing through the given service.
    PRO001& startPrintingTo(PrintService& printer) {
        pointSettingsAt(db.path());
        context = std::make_unique<TestContext>(nullptr, today);
        context->g.PATH_APP = programFolder.path() + QLatin1Char('/');
        printingCtx = std::make_unique<AppContext>(AppContext{context->g, context->modal, printer});
        board = std::make_unique<PRO001>(*printingCtx);
        board->Form_Load();
        board->show();
        board->CMB[0]->setCurrentIndex(0);
        board->TTBL_SET();
        return *board;
    }

    std::unique_ptr<AppContext> printingCtx;
};

// ---------------------------------------------------------------------------------------------------------------
// Exit

TEST_F(BoardCommandsTest, ExitAsksAndOnOkClosesTheBoardAndReleasesTheDatabase) {
    PRO001& b = startOnDatabase();
    QTest::mouseClick(b.BTN[kExit], Qt::LeftButton);
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text, kExitQuestion);
    EXPECT_EQ(context->messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(context->messages.last().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(context->messages.last().title, kBoardCaption);
    EXPECT_FALSE(b.isVisible());
    EXPECT_FALSE(b.Timer1.isActive());
    EXPECT_EQ(context->g.DB, nullptr);
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
}

TEST_F(BoardCommandsTest, ExitAnsweredCancelKeepsTheBoardRunningAndTheLockUntouched) {
    PRO001& b = startOnDatabase();
    setLock("1");
    context->messages.answerNext(MsgAnswer::Cancel);
    b.BTN_Click(kExit);
    EXPECT_EQ(context->messages.texts(), QStringList{kExitQuestion});
    EXPECT_TRUE(b.isVisible());
    EXPECT_TRUE(b.Timer1.isActive());
    EXPECT_NE(context->g.DB, nullptr);
    EXPECT_EQ(db.lockValue(), QStringLiteral("1"));
}

TEST_F(BoardCommandsTest, ClosingTheWindowOtherwiseUnloadsWithoutTheQuestion) {
    PRO001& b = startOnDatabase();
    b.close();
    EXPECT_TRUE(context->messages.shown.empty());
    EXPECT_FALSE(b.Timer1.isActive());
    EXPECT_EQ(context->g.DB, nullptr);
}

// ---------------------------------------------------------------------------------------------------------------
// CSV export

TEST_F(BoardCommandsTest, CsvOpensTheExportWindowUnderTheLockAndGivesItBack) {
    PRO001& b = startOnDatabase();
    QString lockWhileOpen;
    bool timerWhileOpen = true;
    context->modal.then([&](QDialog& dialog) {
        lockWhileOpen = db.lockValue();
        timerWhileOpen = b.Timer1.isActive();
        EXPECT_NE(qobject_cast<PRO009*>(&dialog), nullptr);
    });
    QTest::mouseClick(b.BTN[kCsv], Qt::LeftButton);
    EXPECT_EQ(context->modal.openedTitles, QStringList{QStringLiteral("ＭＲＩ予約システム - [ ＣＳＶ変換 ]")});
    EXPECT_EQ(lockWhileOpen, QStringLiteral("1"));
    EXPECT_FALSE(timerWhileOpen);
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_TRUE(b.Timer1.isActive());
    EXPECT_TRUE(context->messages.shown.empty());
}

TEST_F(BoardCommandsTest, TheExportWindowWritesTheFileIntoTheProgramFolder) {
    db.addReservation(QStringLiteral("1200503070930"), QStringLiteral("30"), QStringLiteral("03"),
                      QStringLiteral("患者"), QStringLiteral("05"), QStringLiteral("1"), QStringLiteral("1"),
                      QStringLiteral("45"));
    PRO001& b = startOnDatabase();
    context->modal.then([](QDialog& dialog) { static_cast<PRO009&>(dialog).BTN[1]->click(); });
    b.BTN_Click(kCsv);
    QFile file(programFolder.filePath(QStringLiteral("KESOLA.CSV")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("1,2005,03,07,09,30,30,03,\x8a\xb3\x8e\xd2,05,1,45,1,,\r\r\n"));
    EXPECT_EQ(context->messages.texts(),
              (QStringList{QStringLiteral("ＣＳＶ変換を開始しますか？"), QStringLiteral("ＣＳＶ変換終了しました。")}));
}

TEST_F(BoardCommandsTest, ALockHeldElsewhereOpensNothingPrintsNothingAndKeepsTheLock) {
    PRO001& b = startOnDatabase();
    setLock("1");
    for (int button : {kCsv, kPrint}) {
        context->messages.clear();
        b.BTN_Click(button);
        ASSERT_EQ(context->messages.shown.size(), 1u) << button;
        EXPECT_EQ(context->messages.last().text, kLockHeld);
        EXPECT_EQ(context->messages.last().title, QStringLiteral("ＭＲＩ予約システム"));
        EXPECT_EQ(db.lockValue(), QStringLiteral("1"));
        EXPECT_TRUE(b.Timer1.isActive());
    }
    EXPECT_EQ(context->modal.opened, 0);
    EXPECT_TRUE(context->printer.pages.empty());
}

// ---------------------------------------------------------------------------------------------------------------
// Printing

TEST_F(BoardCommandsTest, PrintingProducesAPdfPageShowingTheBoardUnderTheLock) {
    db.addDepartment(QStringLiteral("03"), QStringLiteral("内科"), 0, 0, 255, 255, 255, 255);
    db.addReservation(QStringLiteral("1200503070700"), QStringLiteral("30"), QStringLiteral("03"),
                      QStringLiteral("患者"), QStringLiteral("05"), QStringLiteral("1"));
    db.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
    const QString pdfPath = programFolder.filePath(QStringLiteral("board.pdf"));
    PdfPrintService pdf(pdfPath);
    LockWatchingPrinter printer(pdf, db);
    PRO001& b = startPrintingTo(printer);
    QTest::mouseClick(b.BTN[kPrint], Qt::LeftButton);

    EXPECT_TRUE(context->messages.shown.empty());
    EXPECT_EQ(printer.lockWhilePrinting, QStringLiteral("1"));
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_TRUE(b.Timer1.isActive());
    QFile file(pdfPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_EQ(pageCount(bytes), 1);
    // The page holds one image of the board's size.
    EXPECT_TRUE(bytes.contains("/Subtype /Image"));
    EXPECT_TRUE(bytes.contains(QByteArray("/Width ") + QByteArray::number(b.width())));
    EXPECT_TRUE(bytes.contains(QByteArray("/Height ") + QByteArray::number(b.height())));
}

TEST_F(BoardCommandsTest, ThePrintedImageIsTheBoardAsItLooks) {
    db.addDepartment(QStringLiteral("03"), QStringLiteral("内科"), 0, 0, 255, 255, 255, 255);
    db.addReservation(QStringLiteral("1200503070700"), QStringLiteral("30"), QStringLiteral("03"),
                      QStringLiteral("患者"), QStringLiteral("05"), QStringLiteral("1"));
    db.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
    PRO001& b = startOnDatabase();
    b.TTBL_SET();
    b.BTN_Click(kPrint);
    ASSERT_EQ(context->printer.pages.size(), 1u);
    const QImage page = context->printer.pages.front();
    EXPECT_EQ(page.size() / page.devicePixelRatio(), b.size());
    // The window's own background at its corner, and the booked block in the department's colour.
    EXPECT_EQ(page.pixelColor(2, 2), QColor(255, 224, 192));
    const QPoint inBlock = b.TTBL[1]->geometry().center() * page.devicePixelRatio();
    EXPECT_EQ(page.pixelColor(inBlock), QColor(0, 0, 255));
}

TEST_F(BoardCommandsTest, AFailedPrintSaysSoAndStillGivesTheLockBack) {
    PRO001& b = startOnDatabase();
    context->printer.fail = true;
    b.BTN_Click(kPrint);
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text, kPrintFailed);
    EXPECT_EQ(context->messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(context->messages.last().buttons, MsgButtons::Ok);
    EXPECT_EQ(context->messages.last().title, kBoardCaption);
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_TRUE(b.Timer1.isActive());
}

TEST_F(BoardCommandsTest, APdfThatCannotBeWrittenIsAFailedPrint) {
    PdfPrintService pdf(programFolder.path());  // a folder: the file cannot be made
    PRO001& b = startPrintingTo(pdf);
    b.BTN_Click(kPrint);
    EXPECT_EQ(context->messages.texts(), QStringList{kPrintFailed});
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_TRUE(b.Timer1.isActive());
}

// ---------------------------------------------------------------------------------------------------------------
// Keys

TEST_F(BoardCommandsTest, LOnASelectorOffersTheLockReleaseAndTheSelectorStillGetsTheLetter) {
    db.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
    db.addRoom(QStringLiteral("2"), QStringLiteral("lab"));
    PRO001& b = startOnDatabase();
    setLock("1");
    focusOn(b.CMB[0]);
    QTest::keyClick(b.CMB[0], Qt::Key_L);
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text, kLockQuestion);
    EXPECT_EQ(context->messages.last().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(context->messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(context->messages.last().title, kBoardCaption);
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_TRUE(b.Timer1.isActive());
    // The selector searched its entries for the letter.
    EXPECT_EQ(b.CMB[0]->currentText(), QStringLiteral("lab"));

    setLock("1");
    context->messages.answerNext(MsgAnswer::Cancel);
    QTest::keyClick(b.CMB[0], Qt::Key_L, Qt::ShiftModifier);
    EXPECT_EQ(context->messages.texts(), (QStringList{kLockQuestion, kLockQuestion}));
    EXPECT_EQ(db.lockValue(), QStringLiteral("1"));
}

TEST_F(BoardCommandsTest, LOnAButtonAsksOnlyOnce) {
    PRO001& b = startOnDatabase();
    focusOn(b.BTN[kPrint]);
    context->messages.answerNext(MsgAnswer::Cancel);
    QTest::keyClick(b.BTN[kPrint], Qt::Key_L);
    EXPECT_EQ(context->messages.texts(), QStringList{kLockQuestion});
}

TEST_F(BoardCommandsTest, EnterReachesNeitherASelectorNorAButton) {
    PRO001& b = startOnDatabase();
    for (QWidget* control : {static_cast<QWidget*>(b.CMB[2]), static_cast<QWidget*>(b.BTN[kExit])}) {
        KeySpy spy;
        spyBehindBoard(control, b, spy);
        focusOn(control);
        QTest::keyClick(control, Qt::Key_Return);
        QTest::keyClick(control, Qt::Key_Enter);
        QTest::keyClick(control, Qt::Key_A);
        EXPECT_EQ(spy.seen, QStringList{QStringLiteral("a")}) << control->objectName().toStdString();
        control->removeEventFilter(&spy);
    }
    EXPECT_TRUE(context->messages.shown.empty());
    EXPECT_EQ(b.monthText(), QStringLiteral("3"));
    EXPECT_TRUE(b.isVisible());
}

TEST_F(BoardCommandsTest, EnterInAnOpenSelectorListChoosesButReachesNoControl) {
    PRO001& b = startOnDatabase();
    focusOn(b.CMB[2]);
    b.CMB[2]->showPopup();
    QAbstractItemView* list = b.CMB[2]->view();
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->isVisible(); }));
    KeySpy spy;
    spyBehindBoard(list, b, spy);
    context->messages.answerNext(MsgAnswer::Cancel);
    QTest::keyClick(list, Qt::Key_L);
    EXPECT_EQ(context->messages.texts(), QStringList{kLockQuestion});

    list->setCurrentIndex(list->model()->index(5, 0));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(b.monthText(), QStringLiteral("6"));
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(b.YOUBI->text(), QStringLiteral("火曜日")) << "the choice raised CMB_Click: 2005/06/07";
    EXPECT_EQ(spy.seen, QStringList{QStringLiteral("l")}) << "the Enter character itself reaches no control";
}

// The date message shows at every choice while the date does not exist, also when the entry already shown is chosen
// again, and once per choice.
TEST_F(BoardCommandsTest, EveryChoiceOfAnEntryRaisesTheClickOnce) {
    PRO001& b = startOnDatabase();
    select(3, QStringLiteral("31"));
    select(2, QStringLiteral("4"));
    ASSERT_EQ(context->messages.shown.size(), 1u);
    focusOn(b.CMB[2]);
    QAbstractItemView* list = b.CMB[2]->view();
    for (size_t expected = 2; expected <= 3; ++expected) {
        b.CMB[2]->showPopup();
        ASSERT_TRUE(QTest::qWaitFor([list] { return list->isVisible(); }));
        QTest::keyClick(list, Qt::Key_Return);
        EXPECT_FALSE(list->isVisible());
        EXPECT_EQ(b.monthText(), QStringLiteral("4"));
        EXPECT_EQ(context->messages.shown.size(), expected);
    }
    QTest::keyClick(b.CMB[2], Qt::Key_Down);  // a change by keyboard on the closed list: 5/31 exists
    QCoreApplication::processEvents();
    EXPECT_EQ(b.monthText(), QStringLiteral("5"));
    EXPECT_EQ(context->messages.shown.size(), 3u);
    QTest::keyClick(b.CMB[2], Qt::Key_Down);  // 6/31 does not
    EXPECT_EQ(context->messages.shown.size(), 4u);
}
