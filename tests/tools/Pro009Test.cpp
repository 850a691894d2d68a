#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <utility>
#include <vector>

#include "store/Cp932.h"
#include "tests/support/ExpectedTexts.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"
#include "tools/CsvExportProgress.h"
#include "tools/Pro009.h"
#include "ui/Twips.h"

using namespace kesola;
using namespace kesola::expected;
using kesola::test::TestContext;
using kesola::test::TestDatabase;

using kesola::test::readAll;
using kesola::test::writeFile;

namespace {

QStringList itemsOf(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

class CancelAtOnce : public ExportProgress {
  public:
    bool proceed(qint64) override { return false; }
};

// Three rooms, the second with a blank name (left out of the selectors, as on the board).
class Pro009Test : public ::testing::Test {
  protected:
    Pro009Test() {
        t.addRoom(QStringLiteral("1"), QStringLiteral("ＭＲＩ室"));
        t.addRoom(QStringLiteral("2"), QStringLiteral("   "));
        t.addRoom(QStringLiteral("3"), QStringLiteral("第３室"));
    }
    void add(const char* code, const char* name = "患者") {
        t.addReservation(QString::fromLatin1(code), QStringLiteral("30"), QStringLiteral("03"), QString::fromUtf8(name),
                         QStringLiteral("05"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("45"));
    }
    // The record add() stores, for the code.
    static QByteArray recordOf(const char* code) {
        const QByteArray c(code);
        return c.left(1) + ',' + c.mid(1, 4) + ',' + c.mid(5, 2) + ',' + c.mid(7, 2) + ',' + c.mid(9, 2) + ',' +
               c.mid(11, 2) + ",30,03,\x8a\xb3\x8e\xd2,05,1,45,1,,\r";
    }
    PRO009& window() {
        if (!w) {
            w = std::make_unique<PRO009>(tc.ctx);
            w->Form_Load();
            w->show();
        }
        return *w;
    }
    void choose(int selector, const QString& text) {
        QComboBox* combo = window().CMB[selector];
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
    }
    void convert() { window().BTN_Click(1); }
    QString exportPath() const { return tc.g.PATH_APP + kExportFile; }

    TestDatabase t;
    TestContext tc{&t};
    std::unique_ptr<PRO009> w;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// The window

TEST_F(Pro009Test, LoadingOffersAnEmptyFirstEntryInEverySelectorAndChoosesNothing) {
    PRO009& w = window();
    EXPECT_EQ(itemsOf(w.CMB[0]), (QStringList{QString(), QStringLiteral("ＭＲＩ室"), QStringLiteral("第３室")}));
    const QStringList years = itemsOf(w.CMB[1]);
    ASSERT_EQ(years.size(), 100);
    EXPECT_EQ(years.front(), QString());
    EXPECT_EQ(years[1], QStringLiteral("2001"));
    EXPECT_EQ(years.back(), QStringLiteral("2099"));
    EXPECT_EQ(itemsOf(w.CMB[2]).mid(0, 3), (QStringList{QString(), QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_EQ(w.CMB[2]->count(), 13);
    EXPECT_EQ(w.CMB[3]->count(), 32);
    EXPECT_EQ(w.CMB[3]->itemText(31), QStringLiteral("31"));
    for (QComboBox* combo : w.CMB) {
        EXPECT_EQ(combo->currentIndex(), -1) << combo->objectName().toStdString();
        EXPECT_EQ(combo->currentText(), QString());
        EXPECT_FALSE(combo->isEditable());
    }
}

TEST_F(Pro009Test, CaptionControlsAndTabOrder) {
    PRO009& w = window();
    EXPECT_EQ(w.windowTitle(), kExportCaption);
    EXPECT_EQ(w.size(), twipsSize(5475, 3225));
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(255, 224, 192));
    EXPECT_EQ(w.CMB[0]->geometry(), twipsRect(1470, 225, 2730, 360));
    EXPECT_EQ(w.CMB[1]->geometry(), twipsRect(1470, 795, 825, 360));
    EXPECT_EQ(w.CMB[3]->geometry(), twipsRect(1470, 1935, 630, 360));
    EXPECT_EQ(w.BTN[0]->text(), QStringLiteral("戻る"));
    EXPECT_EQ(w.BTN[1]->text(), QStringLiteral("変換"));
    EXPECT_EQ(w.BTN[1]->geometry(), twipsRect(1470, 2580, 1020, 360));
    const std::pair<int, const char*> headings[] = {{2, "部屋"}, {8, "年"}, {0, "月"}, {1, "日"}};
    for (const auto& [index, caption] : headings) {
        ASSERT_NE(w.LBL[index], nullptr);
        EXPECT_EQ(w.LBL[index]->text(), QString::fromUtf8(caption));
        EXPECT_EQ(w.LBL[index]->palette().color(QPalette::Window), QColor(0, 128, 176));
        EXPECT_EQ(w.LBL[index]->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    }
    EXPECT_EQ(w.LBL[5]->text(), QStringLiteral("年"));
    EXPECT_EQ(w.LBL[4]->pos(), QPoint(twips(2130), twips(1425)));
    // The order Tab walks: the focus chain without the widgets that take no focus.
    std::vector<const QWidget*> walked{w.BTN[0]};
    for (QWidget* x = w.BTN[0]->nextInFocusChain(); x != w.BTN[0]; x = x->nextInFocusChain()) {
        if (x->focusPolicy() & Qt::TabFocus) walked.push_back(x);
    }
    EXPECT_EQ(walked, (std::vector<const QWidget*>{w.BTN[0], w.BTN[1], w.CMB[0], w.CMB[3], w.CMB[2], w.CMB[1]}));
}

TEST_F(Pro009Test, BackClosesTheWindowAndAnExportLeavesItOpen) {
    PRO009& w = window();
    QTest::mouseClick(w.BTN[1], Qt::LeftButton);
    EXPECT_EQ(tc.messages.texts(), (QStringList{kExportQuestion, kExportFinished}));
    EXPECT_TRUE(w.isVisible());
    QTest::mouseClick(w.BTN[0], Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(Pro009Test, WithoutADatabaseTheWindowOpensAndTheExportSaysItFailed) {
    tc.g.DB.reset();
    PRO009& w = window();
    EXPECT_EQ(itemsOf(w.CMB[0]), QStringList{QString()});
    convert();
    ASSERT_EQ(tc.messages.shown.size(), 2u);
    EXPECT_EQ(tc.messages.last().text, QStringLiteral("ＣＳＶ変換に失敗しました。\nデータベースを開けませんでした。"));
    EXPECT_EQ(tc.messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(tc.messages.last().buttons, MsgButtons::Ok);
    EXPECT_EQ(tc.messages.last().title, kExportCaption);
    EXPECT_FALSE(QFile::exists(exportPath()));
}

TEST_F(Pro009Test, ARoomListThatCannotBeReadIsToldAndTheWindowStillOpens) {
    t.connect()->execute(QStringLiteral("ALTER TABLE ROOM RENAME TO ROOM_OLD"));
    PRO009& w = window();
    EXPECT_EQ(itemsOf(w.CMB[0]), QStringList{QString()});
    ASSERT_EQ(tc.messages.shown.size(), 1u);
    EXPECT_TRUE(tc.messages.last().text.startsWith(QStringLiteral("データベースの処理に失敗しました。\n")));
    EXPECT_EQ(tc.messages.last().title, kExportCaption);
    EXPECT_TRUE(w.isVisible());
}

// ---------------------------------------------------------------------------------------------------------------
// The date check and the question

TEST_F(Pro009Test, DateCheckTreatsEmptySelectorsAsAnyValue) {
    PRO009& w = window();
    EXPECT_EQ(w.DATE_CHECK(), QString());
    choose(2, QStringLiteral("2"));
    choose(3, QStringLiteral("29"));
    EXPECT_EQ(w.DATE_CHECK(), QString());
    choose(1, QStringLiteral("2009"));
    EXPECT_EQ(w.DATE_CHECK(), QStringLiteral("NG"));
    choose(1, QString());
    choose(3, QStringLiteral("30"));
    EXPECT_EQ(w.DATE_CHECK(), QStringLiteral("NG"));
    choose(3, QString());
    EXPECT_EQ(w.DATE_CHECK(), QString());
}

TEST_F(Pro009Test, AnImpossibleDateIsRefusedAndTheFileLeftAlone) {
    writeFile(exportPath(), "old");
    choose(2, QStringLiteral("2"));
    choose(3, QStringLiteral("30"));
    convert();
    ASSERT_EQ(tc.messages.shown.size(), 1u);
    EXPECT_EQ(tc.messages.last().text, kWrongDate);
    EXPECT_EQ(tc.messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(tc.messages.last().title, kExportCaption);
    EXPECT_EQ(readAll(exportPath()), QByteArray("old"));
}

TEST_F(Pro009Test, CancelAtTheQuestionDoesNothing) {
    add("1200503070930");
    writeFile(exportPath(), "old");
    tc.messages.answerNext(MsgAnswer::Cancel);
    convert();
    ASSERT_EQ(tc.messages.shown.size(), 1u);
    EXPECT_EQ(tc.messages.last().text, kExportQuestion);
    EXPECT_EQ(tc.messages.last().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(tc.messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(tc.messages.last().title, kExportCaption);
    EXPECT_EQ(readAll(exportPath()), QByteArray("old"));
}

// ---------------------------------------------------------------------------------------------------------------
// What is exported

TEST_F(Pro009Test, AllSelectorsEmptyExportsEveryReservationInCodeOrder) {
    add("3200501010700");
    add("2200503070930");
    add("1200612312000");
    add("1200503071000");
    convert();
    EXPECT_EQ(tc.messages.texts(), (QStringList{kExportQuestion, kExportFinished}));
    EXPECT_EQ(tc.messages.last().title, kExportCaption);
    EXPECT_EQ(readAll(exportPath()), recordOf("1200503071000") + recordOf("1200612312000") + recordOf("2200503070930") +
                                         recordOf("3200501010700") + "\r\n");
}

// Each chosen selector narrows the export; the stored keys, the choices (selector, text) and the keys exported.
struct FilterCase {
    const char* name;
    std::vector<const char*> stored;
    std::vector<std::pair<int, QString>> choices;
    std::vector<const char*> exported;
};

class Pro009FilterTest : public Pro009Test, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(Pro009FilterTest, ExportsOnlyTheChosenRoomAndDate) {
    for (const char* code : GetParam().stored) add(code);
    for (const auto& [selector, text] : GetParam().choices) choose(selector, text);
    convert();
    QByteArray expected;
    for (const char* code : GetParam().exported) expected += recordOf(code);
    EXPECT_EQ(readAll(exportPath()), expected + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Filters, Pro009FilterTest,
    ::testing::Values(
        FilterCase{"RoomYearAndMonthNarrowTheExportAndMonthFourMeansZeroFour",
                   {"1200604010900", "1200604300900", "1200605010900", "1200704010900", "3200604150900"},
                   {{0, QStringLiteral("ＭＲＩ室")}, {1, QStringLiteral("2006")}, {2, QStringLiteral("4")}},
                   {"1200604010900", "1200604300900"}},
        // "第３室" is the second room listed (room 2 is blank), yet its reservations are those under its code 3.
        FilterCase{"TheRoomKeyIsTheRoomsCodeAcrossAGap",
                   {"2200604010900", "3200604010900"},
                   {{0, QStringLiteral("第３室")}},
                   {"3200604010900"}},
        FilterCase{"TwentyNinthFebruaryWithoutYearExportsItFromEveryYear",
                   {"1200802290900", "1201202291000", "1200802280900", "2200403290900"},
                   {{2, QStringLiteral("2")}, {3, QStringLiteral("29")}},
                   {"1200802290900", "1201202291000"}}),
    [](const ::testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

TEST_F(Pro009Test, NoMatchWritesOnlyTheLineEndAndStillFinishes) {
    add("1200503070930");
    writeFile(exportPath(), QByteArray(300, 'x'));
    choose(1, QStringLiteral("2099"));
    convert();
    EXPECT_EQ(tc.messages.texts(), (QStringList{kExportQuestion, kExportFinished}));
    EXPECT_EQ(readAll(exportPath()), QByteArray("\r\n"));
}

TEST_F(Pro009Test, ASecondExportOverwritesTheFirst) {
    add("1200503070930");
    add("1200503071000");
    convert();
    choose(1, QStringLiteral("2001"));
    convert();
    EXPECT_EQ(readAll(exportPath()), QByteArray("\r\n"));
    EXPECT_EQ(tc.messages.texts(), (QStringList{kExportQuestion, kExportFinished, kExportQuestion, kExportFinished}));
}

TEST_F(Pro009Test, NamesAndRemarksThatWouldBreakTheFileAreQuotedAndTheRestStaysExact) {
    t.addReservation(QStringLiteral("1200503070930"), QStringLiteral("30"), QStringLiteral("03"),
                     QStringLiteral("山田,\"太郎\"😀"), QStringLiteral("05"), QStringLiteral("1"), QStringLiteral("1"),
                     QStringLiteral("45"), QStringLiteral("一行目\r\n二行目"));
    t.addReservation(QStringLiteral("1200503071000"), QStringLiteral("30"), QStringLiteral("03"), QStringLiteral(" "),
                     QStringLiteral("05"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("45"),
                     QStringLiteral("      "));
    convert();
    const QByteArray expected =
        QByteArray("1,2005,03,07,09,30,30,03,\"") + Cp932::encode(QStringLiteral("山田")) + ",\"\"" +
        Cp932::encode(QStringLiteral("太郎")) + "\"\"?\",05,1,45,1,\"" + Cp932::encode(QStringLiteral("一行目")) +
        "\r\n" + Cp932::encode(QStringLiteral("二行目")) + "\",\r" + "1,2005,03,07,10,00,30,03, ,05,1,45,1,,\r\r\n";
    EXPECT_EQ(readAll(exportPath()), expected);
}

// Text stored before such text was refused, or by another program, is written with "?" as before, and a second
// notice after the finishing one counts its records. A form of 2004 is written as its cp932 form and not counted.
TEST_F(Pro009Test, RecordsHoldingACharacterCp932CannotWriteAreCountedAfterTheFinishingMessage) {
    add("1200503070930", "吉田𠮷男");
    add("1200503071000", "網膜剝離");
    add("1200503071030", "花子😀😀");
    add("1200503071100");
    convert();
    EXPECT_EQ(tc.messages.texts(),
              (QStringList{kExportQuestion, kExportFinished,
                           QStringLiteral("出力できない文字を含む予約が 2 件あり、その文字は「?」で出力しました。")}));
    EXPECT_EQ(tc.messages.last().title, kExportCaption);
    EXPECT_EQ(tc.messages.last().icon, MsgIcon::Exclamation);
    const QByteArray file = readAll(exportPath());
    EXPECT_TRUE(
        file.contains(",03," + Cp932::encode(QStringLiteral("吉田")) + '?' + Cp932::encode(QStringLiteral("男"))));
    EXPECT_TRUE(file.contains(",03," + Cp932::encode(QStringLiteral("網膜剥離")) + ','));
    EXPECT_TRUE(file.contains(",03," + Cp932::encode(QStringLiteral("花子")) + "??,"));
    EXPECT_TRUE(file.endsWith(recordOf("1200503071100") + "\r\n"));
}

// ---------------------------------------------------------------------------------------------------------------
// Failures and cancels

TEST_F(Pro009Test, AFolderThatCannotBeWrittenIsReportedWithTheReason) {
    tc.g.PATH_APP = t.folder() + QStringLiteral("/missing/");
    convert();
    ASSERT_EQ(tc.messages.shown.size(), 2u);
    const QString expectedStart =
        QStringLiteral("ＣＳＶ変換に失敗しました。\n") + QDir::toNativeSeparators(exportPath());
    EXPECT_TRUE(tc.messages.last().text.startsWith(expectedStart)) << tc.messages.last().text.toStdString();
    EXPECT_EQ(tc.messages.last().title, kExportCaption);
    EXPECT_FALSE(QFile::exists(exportPath()));
}

TEST_F(Pro009Test, ACancelledExportSaysNothingWasWrittenAndKeepsTheOldFile) {
    add("1200503070930");
    writeFile(exportPath(), "old");
    window().setProgressFactory([](QWidget*) { return std::make_unique<CancelAtOnce>(); });
    convert();
    EXPECT_EQ(tc.messages.last().text, QStringLiteral("ＣＳＶ変換を中止しました。\nファイルは書き込まれていません。"));
    EXPECT_EQ(tc.messages.last().title, kExportCaption);
    EXPECT_EQ(readAll(exportPath()), QByteArray("old"));
}

// ---------------------------------------------------------------------------------------------------------------
// The progress dialog

TEST_F(Pro009Test, AShortExportShowsNoProgress) {
    CsvExportProgress progress(&window());
    EXPECT_TRUE(progress.proceed(256));
    EXPECT_EQ(progress.dialog(), nullptr);
    EXPECT_EQ(window().findChild<QProgressDialog*>(), nullptr);
}

TEST_F(Pro009Test, ALongExportShowsACountAndCanBeCancelled) {
    QPointer<QProgressDialog> dialog;
    {
        CsvExportProgress progress(&window(), 0);
        EXPECT_TRUE(progress.proceed(256));
        dialog = progress.dialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->windowTitle(), kExportCaption);
        EXPECT_TRUE(dialog->labelText().contains(QStringLiteral("256"))) << dialog->labelText().toStdString();
        QPushButton* cancel = dialog->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
        EXPECT_FALSE(progress.proceed(512));
    }
    EXPECT_TRUE(dialog.isNull());
}
