// The department editor's colour panel: what a press, a bar and a save do to the bars, labels and preview, and
// what is stored.
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include "masters/ColourComponent.h"
#include "masters/Pro006.h"
#include "store/Texts.h"
#include "tests/masters/MasterTestSupport.h"
#include "ui/Twips.h"

namespace kesola::test {
namespace {

using Rgb = std::array<int, 3>;

QPoint partOf(QScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    if (bar->orientation() == Qt::Horizontal) option.state |= QStyle::State_Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
}

void clickPart(QScrollBar* bar, QStyle::SubControl part) {
    QTest::mouseClick(bar, Qt::LeftButton, {}, partOf(bar, part));
}

void sendMouse(QWidget* to, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, at, to->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

class DepartmentEditorTest : public EditorTest {
  protected:
    static QStringList captions(const PRO006::ValueLabels& labels) {
        QStringList out;
        for (QLabel* l : labels) out << l->text();
        return out;
    }
    static Rgb values(const PRO006::Bars& bars) { return {bars[0]->value(), bars[1]->value(), bars[2]->value()}; }
    QColor previewBackground() const { return window->PRGB->palette().color(QPalette::Window); }
    QColor previewText() const { return window->PRGB->palette().color(QPalette::WindowText); }
    QStringList storedColours(const QString& code) const {
        QStringList out;
        for (const char* f : {"BR", "BG", "BB", "FR", "FG", "FB"}) {
            out << storedField(db, QStringLiteral("KA"), code, QString::fromLatin1(f))
                       .value_or(QStringLiteral("<none>"));
        }
        return out;
    }
    void setBars(const PRO006::Bars& bars, const Rgb& rgb) {
        for (int i = 0; i < 3; ++i) bars[i]->setValue(rgb[i]);
    }
    void expectPanel(const Rgb& back, const Rgb& fore) const {
        EXPECT_EQ(values(window->BSRGB), back);
        EXPECT_EQ(values(window->FSRGB), fore);
        EXPECT_EQ(captions(window->BVRGB),
                  (QStringList{QString::number(back[0]), QString::number(back[1]), QString::number(back[2])}));
        EXPECT_EQ(captions(window->FVRGB),
                  (QStringList{QString::number(fore[0]), QString::number(fore[1]), QString::number(fore[2])}));
        EXPECT_EQ(previewBackground(), QColor(back[0], back[1], back[2]));
        EXPECT_EQ(previewText(), QColor(fore[0], fore[1], fore[2]));
    }
    void expectDefaults() const { expectPanel({0, 0, 0}, {255, 255, 255}); }

    std::unique_ptr<PRO006> window = open<PRO006>();
};

const QStringList kDefaultsStored = {QStringLiteral("0"),   QStringLiteral("0"),   QStringLiteral("0"),
                                     QStringLiteral("255"), QStringLiteral("255"), QStringLiteral("255")};

// Whatever font stands in for ＭＳ ゴシック, the preview letter is drawn whole: its white strokes come nowhere near
// the label's inner edges, where a cut-off letter would end.
TEST_F(DepartmentEditorTest, ThePreviewLetterShowsWholeInsideItsLabel) {
    const QImage image = window->PRGB->grab().toImage();
    const QRect inner = window->PRGB->contentsRect().adjusted(1, 1, -1, -1);
    QRect strokes;
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        for (int x = inner.left(); x <= inner.right(); ++x) {
            if (qGray(image.pixel(x, y)) > 128) strokes |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(strokes.isEmpty());
    EXPECT_GT(strokes.height(), inner.height() / 2) << "still a large letter";
    EXPECT_LT(strokes.bottom(), inner.bottom());
    EXPECT_LT(strokes.right(), inner.right());
}

TEST_F(DepartmentEditorTest, OpensWithTheDefaultColoursShown) {
    expectDefaults();
    EXPECT_EQ(window->PRGB->text(), QStringLiteral("あ"));
    EXPECT_EQ(window->LBL[7]->text(), QStringLiteral("BACKCOLOR"));
    EXPECT_EQ(window->LBL[8]->text(), QStringLiteral("FORECOLOR"));
    EXPECT_EQ((QStringList{window->LBL[0]->text(), window->LBL[1]->text(), window->LBL[3]->text()}),
              (QStringList{"R", "G", "B"}));
    EXPECT_EQ((QStringList{window->LBL[6]->text(), window->LBL[5]->text(), window->LBL[4]->text()}),
              (QStringList{"R", "G", "B"}));
    for (const PRO006::Bars* bars : {&window->BSRGB, &window->FSRGB}) {
        for (QScrollBar* bar : *bars) {
            EXPECT_EQ(bar->minimum(), 0);
            EXPECT_EQ(bar->maximum(), 255);
        }
    }
    EXPECT_EQ(window->size(), twipsSize(6600, 5805));
    EXPECT_EQ(window->PRGB->geometry(), twipsRect(4410, 240, 1575, 1560));
    EXPECT_EQ(window->BSRGB[1]->geometry(), twipsRect(4155, 2610, 1770, 240));
    EXPECT_EQ(window->FVRGB[0]->geometry(), twipsRect(5940, 3585, 420, 240));
    EXPECT_EQ(window->LBL[4]->geometry(), twipsRect(3930, 4125, 210, 240));
    EXPECT_EQ(window->BSRGB[1]->objectName(), QStringLiteral("BSRGB1"));
    EXPECT_EQ(window->FVRGB[2]->objectName(), QStringLiteral("FVRGB2"));
}

TEST_F(DepartmentEditorTest, PressingANamedSlotShowsItsStoredColours) {
    db.addDepartment(QStringLiteral("03"), QStringLiteral("内科"), 255, 224, 192, 0, 0, 0);
    window->LIST_SET();
    pressRow(window->LST, 2);
    EXPECT_EQ(window->TXT->text(), QStringLiteral("内科"));
    expectPanel({255, 224, 192}, {0, 0, 0});
}

// The bars already stand at these values, so no bar reports a change; the labels and preview must still be set.
TEST_F(DepartmentEditorTest, PressingASlotWhoseColoursEqualTheBarsShowsThem) {
    db.addDepartment(QStringLiteral("01"), QStringLiteral("外科"), 0, 0, 0, 255, 255, 255);
    window->LIST_SET();
    window->BVRGB[0]->clear();
    window->FVRGB[2]->clear();
    pressRow(window->LST, 0);
    expectDefaults();
}

TEST_F(DepartmentEditorTest, PressingAnEmptySlotShowsTheDefaultsAgain) {
    db.addDepartment(QStringLiteral("02"), QStringLiteral("眼科"), 10, 20, 30, 40, 50, 60);
    window->LIST_SET();
    pressRow(window->LST, 1);
    expectPanel({10, 20, 30}, {40, 50, 60});
    pressRow(window->LST, 4);
    EXPECT_EQ(window->TXT->text(), QString());
    expectDefaults();
}

TEST_F(DepartmentEditorTest, ABarChangeUpdatesItsLabelAndThePreview) {
    window->BSRGB[1]->setValue(128);
    EXPECT_EQ(previewBackground(), QColor(0, 128, 0));
    EXPECT_EQ(captions(window->BVRGB), (QStringList{"0", "128", "0"}));
    window->FSRGB[0]->setValue(7);
    EXPECT_EQ(previewText(), QColor(7, 255, 255));
    EXPECT_EQ(captions(window->FVRGB), (QStringList{"7", "255", "255"}));
    EXPECT_EQ(previewBackground(), QColor(0, 128, 0));
}

TEST_F(DepartmentEditorTest, ArrowsStepByOneAndTheTroughByFive) {
    QScrollBar* red = window->BSRGB[0];
    clickPart(red, QStyle::SC_ScrollBarAddLine);
    EXPECT_EQ(window->BVRGB[0]->text(), QStringLiteral("1"));
    clickPart(red, QStyle::SC_ScrollBarAddPage);
    EXPECT_EQ(window->BVRGB[0]->text(), QStringLiteral("6"));
    EXPECT_EQ(previewBackground(), QColor(6, 0, 0));

    QScrollBar* blue = window->FSRGB[2];
    clickPart(blue, QStyle::SC_ScrollBarSubLine);
    clickPart(blue, QStyle::SC_ScrollBarSubPage);
    EXPECT_EQ(window->FVRGB[2]->text(), QStringLiteral("249"));
    EXPECT_EQ(previewText(), QColor(255, 255, 249));

    blue->setFocus();
    QTest::keyClick(blue, Qt::Key_Left);
    EXPECT_EQ(window->FVRGB[2]->text(), QStringLiteral("248"));
}

TEST_F(DepartmentEditorTest, ADraggedThumbUpdatesThePanelOnlyWhenReleased) {
    QScrollBar* green = window->BSRGB[1];
    const QPoint thumb = partOf(green, QStyle::SC_ScrollBarSlider);
    const QPoint further = thumb + QPoint(green->width() / 2, 0);
    sendMouse(green, QEvent::MouseButtonPress, thumb, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(green->isSliderDown());
    sendMouse(green, QEvent::MouseMove, further, Qt::NoButton, Qt::LeftButton);
    EXPECT_GT(green->sliderPosition(), 0);
    EXPECT_EQ(window->BVRGB[1]->text(), QStringLiteral("0"));
    EXPECT_EQ(previewBackground(), QColor(0, 0, 0));
    sendMouse(green, QEvent::MouseButtonRelease, further, Qt::LeftButton, Qt::NoButton);
    const int released = green->value();
    EXPECT_GT(released, 0);
    EXPECT_EQ(window->BVRGB[1]->text(), QString::number(released));
    EXPECT_EQ(previewBackground(), QColor(0, released, 0));
}

TEST_F(DepartmentEditorTest, ANewDepartmentSavedWithoutTouchingTheBarsGetsTheDefaults) {
    pressRow(window->LST, 9);
    type(*window, QStringLiteral("皮膚科"));
    pressChange(*window);
    EXPECT_EQ(storedField(db, QStringLiteral("KA"), QStringLiteral("10"), QStringLiteral("KNAME")),
              QStringLiteral("皮膚科"));
    EXPECT_EQ(storedColours(QStringLiteral("10")), kDefaultsStored);
}

TEST_F(DepartmentEditorTest, ASlotChosenWithTheKeyboardRightAfterOpeningGetsTheDefaults) {
    window->LST->setFocus();
    QTest::keyClick(window->LST, Qt::Key_Down);
    QTest::keyClick(window->LST, Qt::Key_Down);
    ASSERT_EQ(selectedRowCount(window->LST), 1);
    const QString code = window->LST->selectedItems().first()->text();
    type(*window, QStringLiteral("整形外科"));
    pressChange(*window);
    EXPECT_EQ(storedField(db, QStringLiteral("KA"), code, QStringLiteral("KNAME")), QStringLiteral("整形外科"));
    EXPECT_EQ(storedColours(code), kDefaultsStored);
    EXPECT_EQ(db.count(QStringLiteral("KA")), 1);
}

TEST_F(DepartmentEditorTest, SavingStoresTheShownColoursAndResetsThePanel) {
    pressRow(window->LST, 0);
    setBars(window->BSRGB, {10, 20, 30});
    setBars(window->FSRGB, {40, 50, 60});
    type(*window, QStringLiteral("小児科"));
    pressChange(*window);
    EXPECT_EQ(storedColours(QStringLiteral("01")), (QStringList{"10", "20", "30", "40", "50", "60"}));
    expectDefaults();
    EXPECT_EQ(window->TXT->text(), QString());
    EXPECT_EQ(selectedRowCount(window->LST), 0);
    EXPECT_EQ(rowTexts(window->LST)[0], QStringLiteral("01 小児科"));
}

TEST_F(DepartmentEditorTest, TheKeyboardMovesTheSlotButNotThePanel) {
    db.addDepartment(QStringLiteral("05"), QStringLiteral("耳鼻科"), 1, 2, 3, 4, 5, 6);
    window->LIST_SET();
    pressRow(window->LST, 4);
    QTest::keyClick(window->LST, Qt::Key_Down);
    expectPanel({1, 2, 3}, {4, 5, 6});
    pressChange(*window);
    EXPECT_EQ(storedField(db, QStringLiteral("KA"), QStringLiteral("06"), QStringLiteral("KNAME")),
              QStringLiteral("耳鼻科"));
    EXPECT_EQ(storedColours(QStringLiteral("06")), (QStringList{"1", "2", "3", "4", "5", "6"}));
}

TEST_F(DepartmentEditorTest, AnEmptyNameDeletesTheDepartmentAndKeepsThePanel) {
    db.addDepartment(QStringLiteral("07"), QStringLiteral("泌尿器科"), 100, 110, 120, 130, 140, 150);
    window->LIST_SET();
    pressRow(window->LST, 6);
    window->TXT->clear();
    pressChange(*window);
    EXPECT_EQ(db.count(QStringLiteral("KA")), 0);
    expectPanel({100, 110, 120}, {130, 140, 150});
    EXPECT_TRUE(context.messages.shown.empty());
}

TEST_F(DepartmentEditorTest, ATooWideNameChangesNothingAndKeepsTheColoursOnScreen) {
    db.addDepartment(QStringLiteral("08"), QStringLiteral("産科"), 1, 1, 1, 2, 2, 2);
    window->LIST_SET();
    pressRow(window->LST, 7);
    window->BSRGB[2]->setValue(77);
    type(*window, QString(9, u'婦'));
    pressChange(*window);
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_EQ(context.messages.last().text, texts::kTooWide);
    EXPECT_EQ(storedField(db, QStringLiteral("KA"), QStringLiteral("08"), QStringLiteral("KNAME")),
              QStringLiteral("産科"));
    EXPECT_EQ(storedColours(QStringLiteral("08")), (QStringList{"1", "1", "1", "2", "2", "2"}));
    expectPanel({1, 1, 77}, {2, 2, 2});
}

TEST_F(DepartmentEditorTest, OddStoredColoursAreShownClampedAndWrittenBackClean) {
    db.connect()->execute(
        QStringLiteral("INSERT INTO KA (CODE, KNAME, BR, BG, BB, FR, FG, FB) VALUES ('09', '放射線科', ?,?,?,?,?,?)"),
        {QString(), QStringLiteral("abc"), QStringLiteral("-5"), QStringLiteral("300"), QStringLiteral(" 12 "),
         QStringLiteral("12.6")});
    db.connect()->execute(QStringLiteral("INSERT INTO KA (CODE, KNAME) VALUES ('11', '神経科')"));
    window->LIST_SET();
    pressRow(window->LST, 8);
    expectPanel({0, 0, 0}, {255, 12, 13});
    pressChange(*window);
    EXPECT_EQ(storedColours(QStringLiteral("09")), (QStringList{"0", "0", "0", "255", "12", "13"}));

    pressRow(window->LST, 10);  // every colour field NULL
    expectPanel({0, 0, 0}, {0, 0, 0});
    EXPECT_TRUE(context.messages.shown.empty());
}

TEST(ShownComponent, ClampsRoundsAndTreatsNonNumbersAsZero) {
    EXPECT_EQ(shownComponent(QStringLiteral("0")), 0);
    EXPECT_EQ(shownComponent(QStringLiteral("255")), 255);
    EXPECT_EQ(shownComponent(QStringLiteral("007")), 7);
    EXPECT_EQ(shownComponent(QStringLiteral("256")), 255);
    EXPECT_EQ(shownComponent(QStringLiteral("99999999999")), 255);
    EXPECT_EQ(shownComponent(QStringLiteral("-1")), 0);
    EXPECT_EQ(shownComponent(QStringLiteral("127.5")), 128);
    EXPECT_EQ(shownComponent(QString()), 0);
    EXPECT_EQ(shownComponent(QStringLiteral("１２")), 0);
    EXPECT_EQ(shownComponent(QStringLiteral("nan")), 0);
    EXPECT_EQ(shownComponent(QStringLiteral("12abc")), 0);
}

}  // namespace

// Adding, renaming and deleting a department each leave one history row with the whole record before and after.
TEST_F(DepartmentEditorTest, EveryMasterChangeLeavesOneHistoryRow) {
    pressRow(window->LST, 9);
    type(*window, QStringLiteral("皮膚科"));
    pressChange(*window);
    pressRow(window->LST, 9);
    type(*window, QStringLiteral("皮膚=科"));
    pressChange(*window);
    pressRow(window->LST, 9);
    type(*window, QString());
    pressChange(*window);
    auto rs = db.connect()->select(QStringLiteral("SELECT * FROM RIREKI ORDER BY NO"));
    QStringList rows;
    for (; !rs->eof(); rs->moveNext()) {
        rows << QStringList{rs->field(QStringLiteral("SOSA")), rs->field(QStringLiteral("TBL")),
                            rs->field(QStringLiteral("CODE")), rs->field(QStringLiteral("MAE")),
                            rs->field(QStringLiteral("ATO"))}
                    .join(u'|');
    }
    const QString added = QStringLiteral("CODE=10\tKNAME=皮膚科\tBR=0\tBG=0\tBB=0\tFR=255\tFG=255\tFB=255");
    const QString renamed = QStringLiteral("CODE=10\tKNAME=皮膚=科\tBR=0\tBG=0\tBB=0\tFR=255\tFG=255\tFB=255");
    EXPECT_EQ(rows, (QStringList{"マスタ登録|KA|10||" + added, "マスタ変更|KA|10|" + added + u'|' + renamed,
                                 "マスタ削除|KA|10|" + renamed + u'|'}));
}

}  // namespace kesola::test
