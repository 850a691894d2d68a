// Database failures while listing, pressing and saving: reported in the window's caption, nothing held open,
// nothing typed lost.
#include <QElapsedTimer>
#include <QLabel>
#include <QScrollBar>

#include "masters/NameMasterWindows.h"
#include "masters/Pro006.h"
#include "tests/masters/MasterTestSupport.h"
#include "tests/support/ExpectedTexts.h"

namespace kesola::test {

using namespace kesola::expected;
namespace {

class MasterFailureTest : public EditorTest {
  protected:
    void run(const QString& sql) const { db.connect()->execute(sql); }
    // Makes the engine refuse one kind of write to the table with the message "書き込み拒否".
    void refuse(const QString& table, const QString& when) const {
        const QString trigger = QStringLiteral("refuse_%1_%2").arg(table, when);
        if (db.onServer()) {
            run(
                QStringLiteral("CREATE OR REPLACE FUNCTION refuse_write() RETURNS trigger AS $body$ BEGIN RAISE "
                               "EXCEPTION '書き込み拒否'; END $body$ LANGUAGE plpgsql"));
            run(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION refuse_write()")
                    .arg(trigger, when, table));
        } else {
            run(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 BEGIN SELECT RAISE(ABORT, '書き込み拒否'); END")
                    .arg(trigger, when, table));
        }
    }
    void allow(const QString& table, const QString& when) const {
        const QString trigger = QStringLiteral("refuse_%1_%2").arg(table, when);
        run(db.onServer() ? QStringLiteral("DROP TRIGGER %1 ON %2").arg(trigger, table)
                          : QStringLiteral("DROP TRIGGER %1").arg(trigger));
    }
    void expectOneFailureReport(const QString& title, const QString& engineText) const {
        ASSERT_EQ(context.messages.shown.size(), 1u);
        const auto& box = context.messages.last();
        EXPECT_TRUE(box.text.startsWith(kDatabaseFailed + u'\n')) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(engineText)) << box.text.toStdString();
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
        EXPECT_EQ(box.title, title);
        EXPECT_TRUE(anotherWorkstationCanWrite(db));
    }
};

TEST_F(MasterFailureTest, AMissingTableIsReportedAndTheWindowStaysUsable) {
    run(QStringLiteral("DROP TABLE BU"));
    auto window = open<PRO004>();
    expectOneFailureReport(QStringLiteral("ＭＲＩ予約システム - [ 部位登録 ]"), QStringLiteral("BU"));
    EXPECT_EQ(window->LST->count(), 0);

    type(*window, QStringLiteral("頭部"));
    pressChange(*window);
    ASSERT_GE(context.messages.shown.size(), 2u);
    EXPECT_EQ(context.messages.shown[1].text, kSelectSlot);
    QTest::mouseClick(window->BTN[NameMasterEditor::kBack], Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MasterFailureTest, ARefusedNewRecordKeepsTheSlotAndTheNameForAnotherTry) {
    auto window = open<PRO007>();
    refuse(QStringLiteral("ROOM"), QStringLiteral("INSERT"));
    pressRow(window->LST, 1);
    type(*window, QStringLiteral("ＭＲＩ２"));
    pressChange(*window);
    expectOneFailureReport(QStringLiteral("ＭＲＩ予約システム - [ 室登録 ]"), QStringLiteral("書き込み拒否"));
    EXPECT_EQ(db.count(QStringLiteral("ROOM")), 0);
    EXPECT_EQ(window->TXT->text(), QStringLiteral("ＭＲＩ２"));
    EXPECT_EQ(window->LST->selectedItems().size(), 1);
    EXPECT_EQ(window->LST->currentRow(), 1);

    allow(QStringLiteral("ROOM"), QStringLiteral("INSERT"));
    pressChange(*window);
    EXPECT_EQ(storedField(db, QStringLiteral("ROOM"), QStringLiteral("2"), QStringLiteral("RNAME")),
              QStringLiteral("ＭＲＩ２"));
    EXPECT_EQ(window->TXT->text(), QString());
}

TEST_F(MasterFailureTest, ASaveIntoAStoreKeptBusyGivesUpAfterAboutFiveSecondsAndKeepsTheName) {
    auto window = open<PRO007>();
    pressRow(window->LST, 1);
    type(*window, QStringLiteral("ＭＲＩ２"));
    auto holder = db.holdWholeStore();
    QElapsedTimer pressed;
    pressed.start();
    pressChange(*window);
    EXPECT_GE(pressed.elapsed(), 4000) << "gave up without waiting for the other workstation";
    EXPECT_LT(pressed.elapsed(), 9000);
    ASSERT_EQ(context.messages.shown.size(), 1u) << context.messages.texts().join(u'|').toStdString();
    EXPECT_TRUE(context.messages.last().text.startsWith(kDatabaseFailedLine));
    EXPECT_EQ(window->TXT->text(), QStringLiteral("ＭＲＩ２"));

    holder->rollbackTransaction();
    pressChange(*window);
    EXPECT_EQ(storedField(db, QStringLiteral("ROOM"), QStringLiteral("2"), QStringLiteral("RNAME")),
              QStringLiteral("ＭＲＩ２"));
}

TEST_F(MasterFailureTest, ARefusedChangeKeepsTheRecordTheNameAndTheColours) {
    db.addDepartment(QStringLiteral("04"), QStringLiteral("内科"), 1, 2, 3, 4, 5, 6);
    auto window = open<PRO006>();
    refuse(QStringLiteral("KA"), QStringLiteral("UPDATE"));
    pressRow(window->LST, 3);
    window->BSRGB[0]->setValue(200);
    type(*window, QStringLiteral("総合内科"));
    pressChange(*window);
    expectOneFailureReport(QStringLiteral("ＭＲＩ予約システム - [ 科登録 ]"), QStringLiteral("書き込み拒否"));
    EXPECT_EQ(storedField(db, QStringLiteral("KA"), QStringLiteral("04"), QStringLiteral("KNAME")),
              QStringLiteral("内科"));
    EXPECT_EQ(storedField(db, QStringLiteral("KA"), QStringLiteral("04"), QStringLiteral("BR")), QStringLiteral("1"));
    EXPECT_EQ(window->TXT->text(), QStringLiteral("総合内科"));
    EXPECT_EQ(window->LST->currentRow(), 3);
    EXPECT_EQ(window->BVRGB[0]->text(), QStringLiteral("200"));
    EXPECT_EQ(window->FVRGB[2]->text(), QStringLiteral("6"));
}

TEST_F(MasterFailureTest, ARefusedDeletionKeepsTheRecord) {
    db.addBodyPart(QStringLiteral("05"), QStringLiteral("腹部"));
    auto window = open<PRO004>();
    refuse(QStringLiteral("BU"), QStringLiteral("DELETE"));
    pressRow(window->LST, 4);
    window->TXT->clear();
    pressChange(*window);
    expectOneFailureReport(QStringLiteral("ＭＲＩ予約システム - [ 部位登録 ]"), QStringLiteral("書き込み拒否"));
    EXPECT_EQ(storedField(db, QStringLiteral("BU"), QStringLiteral("05"), QStringLiteral("BNAME")),
              QStringLiteral("腹部"));
    EXPECT_EQ(window->LST->item(4)->text(), QStringLiteral("05 腹部"));
}

TEST_F(MasterFailureTest, AFailedPressLoadsTheNameAndLeavesThePanel) {
    db.addDepartment(QStringLiteral("02"), QStringLiteral("外科"), 9, 9, 9, 8, 8, 8);
    auto window = open<PRO006>();
    run(QStringLiteral("ALTER TABLE KA RENAME TO KA_OLD"));
    pressRow(window->LST, 1);
    expectOneFailureReport(QStringLiteral("ＭＲＩ予約システム - [ 科登録 ]"), QStringLiteral("KA"));
    EXPECT_EQ(window->TXT->text(), QStringLiteral("外科"));
    EXPECT_EQ(window->BVRGB[0]->text(), QStringLiteral("0"));
    EXPECT_EQ(window->FVRGB[0]->text(), QStringLiteral("255"));
}

TEST_F(MasterFailureTest, WithoutAnOpenDatabaseEveryActionIsReported) {
    context.g.DB.reset();
    auto window = open<PRO006>();
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_TRUE(context.messages.last().text.startsWith(kDatabaseFailed));
    EXPECT_EQ(window->LST->count(), 0);
    window->LIST_SET();
    EXPECT_EQ(context.messages.shown.size(), 2u);
}

}  // namespace
}  // namespace kesola::test
