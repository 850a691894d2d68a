// The maintenance menu on its own and as the board opens it: editors opened from it, and what the board shows
// once it has closed.
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include "board/Pro001.h"
#include "masters/NameMasterWindows.h"
#include "masters/Pro003.h"
#include "masters/Pro006.h"
#include "store/Cp932.h"
#include "tests/masters/MasterTestSupport.h"
#include "tests/support/ExpectedTexts.h"
#include "tests/support/TestFiles.h"
#include "ui/Twips.h"

namespace kesola::test {

using namespace kesola::expected;
namespace {

void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

template <typename Window>
Window& as(QDialog& dialog) {
    auto* window = dynamic_cast<Window*>(&dialog);
    if (!window) throw std::runtime_error("another window opened: " + dialog.windowTitle().toStdString());
    return *window;
}

// -------------------------------------------------------------------------------------------------------------
// The menu alone

class MenuTest : public EditorTest {
  protected:
    std::unique_ptr<PRO003> openMenu() {
        auto menu = std::make_unique<PRO003>(context.ctx);
        menu->Form_Load();
        menu->show();
        return menu;
    }
};

TEST_F(MenuTest, ShowsItsFourButtonsWhereTheyBelong) {
    auto menu = openMenu();
    EXPECT_EQ(menu->windowTitle(), kSystemTitle + QStringLiteral(" - [ メンテナンスメニュー ]"));
    EXPECT_EQ(menu->size(), twipsSize(3645, 3720));
    const struct {
        int index;
        const char* caption;
        QRect twips;
    } expected[] = {{0, "部位登録", {225, 225, 1500, 1500}},
                    {3, "室登録", {1920, 225, 1500, 1500}},
                    {2, "科登録", {225, 1950, 1500, 1500}},
                    {4, "戻る", {1920, 2430, 1500, 510}}};
    for (const auto& e : expected) {
        QPushButton* b = menu->BTN[e.index];
        EXPECT_EQ(b->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(b->geometry(), twipsRect(e.twips.x(), e.twips.y(), e.twips.width(), e.twips.height()));
        EXPECT_TRUE(b->isVisible());
    }
    EXPECT_FALSE(menu->BTN[1]->isVisible());
    click(menu->BTN[1]);
    EXPECT_EQ(context.modal.opened, 0);
}

TEST_F(MenuTest, EachButtonOpensItsEditorAndBackClosesTheMenu) {
    auto menu = openMenu();
    QStringList classes;
    for (int i = 0; i < 3; ++i) {
        context.modal.then([&](QDialog& d) { classes << QString::fromLatin1(d.metaObject()->className()); });
    }
    click(menu->BTN[0]);
    click(menu->BTN[3]);
    click(menu->BTN[2]);
    EXPECT_EQ(classes, (QStringList{"kesola::PRO004", "kesola::PRO007", "kesola::PRO006"}));
    EXPECT_EQ(context.modal.openedTitles, (QStringList{kSystemTitle + QStringLiteral(" - [ 部位登録 ]"),
                                                       kSystemTitle + QStringLiteral(" - [ 室登録 ]"),
                                                       kSystemTitle + QStringLiteral(" - [ 科登録 ]")}));
    EXPECT_TRUE(menu->isVisible());
    click(menu->BTN[4]);
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(MenuTest, AnEditorOpenedAgainStartsWithAFreshList) {
    auto menu = openMenu();
    context.modal.then([](QDialog& d) {
        auto& editor = as<PRO004>(d);
        pressRow(editor.LST, 0);
        editor.TXT->setText(QStringLiteral("保存しない"));
        click(editor.BTN[NameMasterEditor::kBack]);
    });
    context.modal.then([](QDialog& d) {
        auto& editor = as<PRO004>(d);
        EXPECT_EQ(editor.TXT->text(), QString());
        EXPECT_EQ(selectedRowCount(editor.LST), 0);
        pressRow(editor.LST, 1);
        editor.TXT->setText(QStringLiteral("胸部"));
        click(editor.BTN[NameMasterEditor::kChange]);
        pressRow(editor.LST, 2);
        editor.close();
    });
    context.modal.then([](QDialog& d) {
        auto& editor = as<PRO004>(d);
        EXPECT_EQ(rowTexts(editor.LST).mid(0, 3), (QStringList{"01", "02 胸部", "03"}));
        EXPECT_EQ(selectedRowCount(editor.LST), 0);
        EXPECT_EQ(editor.TXT->text(), QString());
    });
    for (int i = 0; i < 3; ++i) click(menu->BTN[0]);
    EXPECT_EQ(context.modal.opened, 3);
    EXPECT_TRUE(context.modal.actions.empty());
    EXPECT_TRUE(menu->isVisible());
}

// -------------------------------------------------------------------------------------------------------------
// The menu opened from the board

class BoardMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ１"));
        db.addDepartment(QStringLiteral("01"), QStringLiteral("内科"), 255, 224, 192, 0, 0, 0);
        db.addBodyPart(QStringLiteral("01"), QStringLiteral("頭部"));
        // Room 1, today (2005-03-07), 9:00, 30 minutes, not yet done.
        db.addReservation(QStringLiteral("1200503070900"), QStringLiteral("30"), QStringLiteral("01"),
                          QStringLiteral("山田"), QStringLiteral("01"), QStringLiteral("1"));
        writeFile(programFolder.filePath(QStringLiteral("KESOLA.INI")), Cp932::encode(db.path()) + "\r\n");
    }
    void TearDown() override {
        if (board) board->Timer1.stop();
    }

    // Starts the program as a user does, with the first room chosen.
    PRO001& start() {
        if (board) board->Timer1.stop();
        board.reset();
        context = std::make_unique<TestContext>(nullptr);
        context->g.PATH_APP = programFolder.path() + u'/';
        board = std::make_unique<PRO001>(context->ctx);
        board->Form_Load();
        board->show();
        board->CMB[0]->setCurrentIndex(0);
        board->TTBL_SET();
        return *board;
    }

    static constexpr int kNineOClock = 12;

    // Opens the menu from the board; inMenu runs while the menu is open, editorActions inside the editors it
    // opens, in order.
    void useMenu(std::function<void(PRO003&)> inMenu, std::vector<ScriptedModal::Action> editorActions = {}) {
        context->modal.then([this, inMenu](QDialog& d) {
            lockWhileOpen = db.lockValue();
            inMenu(as<PRO003>(d));
        });
        for (auto& a : editorActions) context->modal.then(std::move(a));
        click(board->BTN[2]);
        EXPECT_TRUE(context->modal.actions.empty());
    }

    static void renameSlot(NameMasterEditor& editor, int row, const QString& name) {
        pressRow(editor.LST, row);
        editor.TXT->setText(name);
        click(editor.BTN[NameMasterEditor::kChange]);
    }

    TestDatabase db;
    QTemporaryDir programFolder;
    std::unique_ptr<TestContext> context;
    std::unique_ptr<PRO001> board;
    QString lockWhileOpen;
};

TEST_F(BoardMenuTest, ARenamedDepartmentAndItsColoursShowAtOnce) {
    PRO001& b = start();
    ASSERT_EQ(b.cellCaption(kNineOClock), QStringLiteral("山田\r内科\r頭部"));
    useMenu(
        [](PRO003& menu) {
            click(menu.BTN[PRO003::kDepartments]);
            click(menu.BTN[PRO003::kBodyParts]);
            click(menu.BTN[PRO003::kBack]);
        },
        {[](QDialog& d) {
             auto& editor = as<PRO006>(d);
             pressRow(editor.LST, 0);
             editor.BSRGB[2]->setValue(64);
             editor.FSRGB[0]->setValue(200);
             editor.TXT->setText(QStringLiteral("循環器内科"));
             click(editor.BTN[NameMasterEditor::kChange]);
             click(editor.BTN[NameMasterEditor::kBack]);
         },
         [](QDialog& d) {
             auto& editor = as<PRO004>(d);
             renameSlot(editor, 0, QStringLiteral("頸部"));
             click(editor.BTN[NameMasterEditor::kBack]);
         }});
    EXPECT_EQ(lockWhileOpen, QStringLiteral("1"));
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_EQ(b.lookups().KA_NAME[1], QStringLiteral("循環器内科"));
    EXPECT_EQ(b.lookups().KA_BRGB[1], (std::array<std::int16_t, 3>{255, 224, 64}));
    EXPECT_EQ(b.lookups().KA_FRGB[1], (std::array<std::int16_t, 3>{200, 0, 0}));
    EXPECT_EQ(b.lookups().BU_NAME[1], QStringLiteral("頸部"));
    EXPECT_EQ(b.cellCaption(kNineOClock), QStringLiteral("山田\r循環器内科\r頸部"));
    EXPECT_EQ(b.cell(kNineOClock + 2).background, QColor(255, 224, 64));
    EXPECT_EQ(b.cell(kNineOClock).text, QColor(200, 0, 0));
}

TEST_F(BoardMenuTest, ANewRoomAppearsOnlyAfterARestart) {
    PRO001& b = start();
    useMenu([](PRO003& menu) { click(menu.BTN[PRO003::kRooms]); }, {[](QDialog& d) {
                auto& editor = as<PRO007>(d);
                renameSlot(editor, 1, QStringLiteral("ＣＴ室"));
                renameSlot(editor, 0, QStringLiteral("ＭＲＩ１号室"));
            }});
    EXPECT_EQ(b.CMB[0]->count(), 1);
    EXPECT_EQ(b.CMB[0]->itemText(0), QStringLiteral("ＭＲＩ１"));
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));

    PRO001& restarted = start();
    ASSERT_EQ(restarted.CMB[0]->count(), 2);
    EXPECT_EQ(restarted.CMB[0]->itemText(0), QStringLiteral("ＭＲＩ１号室"));
    EXPECT_EQ(restarted.CMB[0]->itemText(1), QStringLiteral("ＣＴ室"));
}

TEST_F(BoardMenuTest, TheCloseBoxActsAsBack) {
    PRO001& b = start();
    useMenu(
        [](PRO003& menu) {
            click(menu.BTN[PRO003::kDepartments]);
            menu.close();
        },
        {[](QDialog& d) {
            auto& editor = as<PRO006>(d);
            renameSlot(editor, 0, QStringLiteral("消化器科"));
            editor.close();
        }});
    EXPECT_EQ(lockWhileOpen, QStringLiteral("1"));
    EXPECT_EQ(db.lockValue(), QStringLiteral("0"));
    EXPECT_EQ(b.lookups().KA_NAME[1], QStringLiteral("消化器科"));
    EXPECT_EQ(b.cellCaption(kNineOClock), QStringLiteral("山田\r消化器科\r頭部"));
}

// A department deleted in the editor keeps its name on the board until the program restarts.
TEST_F(BoardMenuTest, ADeletedDepartmentStaysOnTheBoardUntilARestart) {
    PRO001& b = start();
    useMenu([](PRO003& menu) { click(menu.BTN[PRO003::kDepartments]); },
            {[](QDialog& d) { renameSlot(as<PRO006>(d), 0, QString()); }});
    EXPECT_EQ(db.count(QStringLiteral("KA")), 0);
    EXPECT_EQ(b.lookups().KA_NAME[1], QStringLiteral("内科"));
    EXPECT_EQ(start().lookups().KA_NAME[1], QString());
}

TEST_F(BoardMenuTest, TheMenuDoesNotOpenWhileAnotherWorkstationHoldsTheLock) {
    start();
    db.connect()->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '1' WHERE ID = '1'"));
    click(board->BTN[2]);
    EXPECT_EQ(context->modal.opened, 0);
    ASSERT_EQ(context->messages.shown.size(), 1u);
    EXPECT_EQ(context->messages.last().text, kLockHeld);
    EXPECT_EQ(db.lockValue(), QStringLiteral("1"));
}

}  // namespace
}  // namespace kesola::test
