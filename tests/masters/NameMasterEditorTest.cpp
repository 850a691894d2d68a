// The list, press and save behaviour that the body-part, room and department editors share, run on each of them.
#include <QLabel>
#include <QPushButton>

#include "masters/NameMasterWindows.h"
#include "masters/Pro006.h"
#include "tests/masters/MasterTestSupport.h"
#include "tests/support/ExpectedTexts.h"
#include "ui/Twips.h"

namespace kesola::test {

using namespace kesola::expected;
namespace {

struct EditorCase {
    const char* label;
    std::function<std::unique_ptr<NameMasterEditor>(AppContext&)> make;
    const NameMasterKind& (*kind)();
    QString caption;
    QString nameLabel;
};

std::ostream& operator<<(std::ostream& out, const EditorCase& c) { return out << c.label; }

class SharedEditorTest : public EditorTest, public ::testing::WithParamInterface<EditorCase> {
  protected:
    void SetUp() override { window = openParam(); }

    std::unique_ptr<NameMasterEditor> openParam() {
        auto w = GetParam().make(context.ctx);
        w->Form_Load();
        w->show();
        return w;
    }
    const NameMasterKind& kind() const { return GetParam().kind(); }
    QString code(int n) const { return kind().code(n); }
    std::optional<QString> stored(int n) const { return storedField(db, kind().table, code(n), kind().nameField); }
    void add(int n, const QString& name) const { insertName(db, kind(), code(n), name); }
    // Rebuilds the list after a record was written behind the window's back.
    void relist() { window->LIST_SET(); }
    void saveName(int n, const QString& name) {
        pressRow(window->LST, n - 1);
        type(*window, name);
        pressChange(*window);
    }
    void expectOpeningState() const {
        EXPECT_EQ(selectedRowCount(window->LST), 0);
        EXPECT_EQ(window->TXT->text(), QString());
    }

    std::unique_ptr<NameMasterEditor> window;
};

TEST_P(SharedEditorTest, OpensWithEveryCodeOfTheRangeEmptyAndNothingSelected) {
    EXPECT_EQ(window->windowTitle(), GetParam().caption);
    QStringList expected;
    for (int n = 1; n <= kind().lastSlot; ++n) expected << code(n);
    EXPECT_EQ(rowTexts(window->LST), expected);
    EXPECT_EQ(expected.first(), kind().codeLength == 2 ? QStringLiteral("01") : QStringLiteral("1"));
    expectOpeningState();
    EXPECT_EQ(window->LBL[2]->text(), GetParam().nameLabel);
    EXPECT_EQ(window->TXT->maxLength(), 20);
    EXPECT_EQ(window->BTN[0]->text(), QStringLiteral("戻る"));
    EXPECT_EQ(window->BTN[1]->text(), QStringLiteral("変更"));
    EXPECT_EQ(window->LST->geometry(), twipsRect(225, 225, 3480, 4140));
    EXPECT_EQ(window->LBL[2]->geometry(), twipsRect(225, 4590, 1020, 360));
    EXPECT_EQ(window->TXT->geometry(), twipsRect(1215, 4590, 2490, 360));
    EXPECT_EQ(window->BTN[0]->geometry(), twipsRect(225, 5175, 1020, 360));
    EXPECT_EQ(window->BTN[1]->geometry(), twipsRect(1455, 5175, 1020, 360));
    EXPECT_EQ(window->size().height(), twipsSize(0, 5805).height());
}

TEST_P(SharedEditorTest, ListsNamesUntrimmedAndBlankNamesAsEmptySlots) {
    add(1, QStringLiteral("  頭部 "));
    add(2, QStringLiteral("   "));
    add(3, QString());
    add(kind().lastSlot, QStringLiteral("末尾"));
    relist();
    const QStringList rows = rowTexts(window->LST);
    EXPECT_EQ(rows[0], code(1) + QStringLiteral("   頭部 "));
    EXPECT_EQ(rows[1], code(2));
    EXPECT_EQ(rows[2], code(3));
    EXPECT_EQ(rows.last(), code(kind().lastSlot) + QStringLiteral(" 末尾"));
    EXPECT_EQ(rows.size(), kind().lastSlot);
}

TEST_P(SharedEditorTest, RecordsOutsideTheRangeAreNeverListedOrChanged) {
    const QStringList outside =
        kind().codeLength == 2
            ? QStringList{QStringLiteral("00"), QStringLiteral("100"), QStringLiteral("1"), QStringLiteral("A")}
            : QStringList{QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("01"), QStringLiteral("A")};
    for (const QString& c : outside) insertName(db, kind(), c, QStringLiteral("外") + c);
    relist();
    for (const QString& row : rowTexts(window->LST)) EXPECT_FALSE(row.contains(u'外')) << row.toStdString();

    saveName(1, QStringLiteral("新"));
    saveName(1, QStringLiteral("替"));
    saveName(1, QString());
    saveName(kind().lastSlot, QStringLiteral("端"));
    for (const QString& c : outside) {
        EXPECT_EQ(storedField(db, kind().table, c, kind().nameField), QStringLiteral("外") + c) << c.toStdString();
    }
    EXPECT_EQ(db.count(kind().table), outside.size() + 1);
}

TEST_P(SharedEditorTest, PressingARowLoadsItsNameWithItsBlanks) {
    add(2, QStringLiteral("  左膝 "));
    relist();
    pressRow(window->LST, 1);
    EXPECT_EQ(window->TXT->text(), QStringLiteral("  左膝 "));
    pressRow(window->LST, 0);
    EXPECT_EQ(window->TXT->text(), QString());
    pressRow(window->LST, 1, Qt::RightButton);
    EXPECT_EQ(window->TXT->text(), QStringLiteral("  左膝 "));
}

TEST_P(SharedEditorTest, StoringOnAnEmptySlotCreatesItsRecord) {
    saveName(3, QStringLiteral("新しい名"));
    EXPECT_EQ(stored(3), QStringLiteral("新しい名"));
    EXPECT_EQ(storedField(db, kind().table, code(3), QStringLiteral("CODE")), code(3));
    EXPECT_EQ(rowTexts(window->LST)[2], code(3) + QStringLiteral(" 新しい名"));
    expectOpeningState();
    EXPECT_TRUE(context.messages.shown.empty());
}

TEST_P(SharedEditorTest, StoringOnANamedSlotReplacesTheNameAndKeepsTheCode) {
    add(4, QStringLiteral("旧名"));
    add(5, QStringLiteral("隣"));
    relist();
    saveName(4, QStringLiteral("新名"));
    EXPECT_EQ(stored(4), QStringLiteral("新名"));
    EXPECT_EQ(stored(5), QStringLiteral("隣"));
    EXPECT_EQ(db.count(kind().table), 2);
}

TEST_P(SharedEditorTest, AnEmptyNameDeletesANamedSlotWithoutAQuestion) {
    add(2, QStringLiteral("消す"));
    relist();
    pressRow(window->LST, 1);
    window->TXT->clear();
    pressChange(*window);
    EXPECT_EQ(stored(2), std::nullopt);
    EXPECT_EQ(rowTexts(window->LST)[1], code(2));
    EXPECT_TRUE(context.messages.shown.empty());
    expectOpeningState();
}

TEST_P(SharedEditorTest, AnEmptyNameOnAnEmptySlotWritesAndShowsNothing) {
    saveName(2, QString());
    EXPECT_EQ(db.count(kind().table), 0);
    EXPECT_TRUE(context.messages.shown.empty());
    expectOpeningState();
}

TEST_P(SharedEditorTest, ABlankOnlyNameIsStoredButListedEmptyAndThenDeleted) {
    saveName(6, QStringLiteral("   "));
    EXPECT_EQ(stored(6), QStringLiteral("   "));
    EXPECT_EQ(rowTexts(window->LST)[5], code(6));
    pressRow(window->LST, 5);
    EXPECT_EQ(window->TXT->text(), QString());
    pressChange(*window);
    EXPECT_EQ(stored(6), std::nullopt);
}

TEST_P(SharedEditorTest, QuotesSqlAndFormsOf2004AreStoredExactly) {
    const QStringList names = {QStringLiteral("O'Neil\"s"), QStringLiteral("';DROP TABLE BU;"),
                               QStringLiteral("%_*?[]\\"), QStringLiteral("頰¢𠮟"), QStringLiteral("a\tb")};
    for (int i = 0; i < names.size(); ++i) {
        saveName(i + 1, names[i]);
        EXPECT_EQ(stored(i + 1), names[i]);
        EXPECT_EQ(rowTexts(window->LST)[i], code(i + 1) + u' ' + names[i]);
        pressRow(window->LST, i);
        EXPECT_EQ(window->TXT->text(), names[i]);
    }
    EXPECT_EQ(db.count(kind().table), names.size());
    EXPECT_TRUE(context.messages.shown.empty());
}

// After the checks of the width and the slot, which keep their order; the record stays as it was.
TEST_P(SharedEditorTest, ANameCp932CannotWriteIsRefusedNamingTheCharacter) {
    add(1, QStringLiteral("頭部"));
    relist();
    saveName(1, QString(12, QChar(0x3042)) + QStringLiteral("😀"));
    type(*window, QStringLiteral("吉𠮷"));
    pressChange(*window);
    saveName(1, QStringLiteral("😀頭部"));
    saveName(2, QStringLiteral("吉𠮷"));
    EXPECT_EQ(context.messages.texts(),
              QStringList({kTooWide, kSelectSlot, QStringLiteral("「😀」は登録できない文字です。"),
                           QStringLiteral("「𠮷」は登録できない文字です。")}));
    EXPECT_EQ(context.messages.last().title, GetParam().caption);
    EXPECT_EQ(context.messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(stored(1), QStringLiteral("頭部"));
    EXPECT_EQ(stored(2), std::nullopt);
    expectOpeningState();
}

TEST_P(SharedEditorTest, TheKeyboardMovesTheSlotButNotTheNameBox) {
    add(1, QStringLiteral("一番"));
    relist();
    pressRow(window->LST, 0);
    QTest::keyClick(window->LST, Qt::Key_Down);
    QTest::keyClick(window->LST, Qt::Key_Down);
    EXPECT_EQ(window->LST->currentRow(), 2);
    EXPECT_EQ(window->TXT->text(), QStringLiteral("一番"));
    pressChange(*window);
    EXPECT_EQ(stored(1), QStringLiteral("一番"));
    EXPECT_EQ(stored(3), QStringLiteral("一番"));
}

TEST_P(SharedEditorTest, SavingWithNoSlotSelectedAsksForOne) {
    type(*window, QStringLiteral("名前"));
    pressChange(*window);
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_EQ(context.messages.last().text, kSelectSlot);
    EXPECT_EQ(context.messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(context.messages.last().buttons, MsgButtons::Ok);
    EXPECT_EQ(context.messages.last().title, GetParam().caption);
    EXPECT_EQ(db.count(kind().table), 0);
    expectOpeningState();
}

TEST_P(SharedEditorTest, ATooWideNameIsRefusedBeforeTheSelectionIsChecked) {
    type(*window, QString(kind().maximumWidth / 2 + 1, u'あ'));
    pressChange(*window);
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_EQ(context.messages.last().text, kTooWide);
    EXPECT_EQ(db.count(kind().table), 0);
}

TEST_P(SharedEditorTest, ARefusedNameWritesNothingAndClearsTheWindow) {
    add(1, QStringLiteral("元"));
    relist();
    saveName(1, QString(kind().maximumWidth / 2 + 1, u'全'));
    ASSERT_EQ(context.messages.shown.size(), 1u);
    EXPECT_EQ(context.messages.last().text, kTooWide);
    EXPECT_EQ(context.messages.last().title, QStringLiteral("ＭＲＩ予約システム - [ 予約操作 ]"));
    EXPECT_EQ(stored(1), QStringLiteral("元"));
    expectOpeningState();
}

TEST_P(SharedEditorTest, EveryOpeningStartsFromTheTable) {
    saveName(2, QStringLiteral("残る"));
    pressRow(window->LST, 1);
    window = openParam();
    EXPECT_EQ(rowTexts(window->LST)[1], code(2) + QStringLiteral(" 残る"));
    expectOpeningState();
}

TEST_P(SharedEditorTest, BackClosesTheWindow) {
    QTest::mouseClick(window->BTN[NameMasterEditor::kBack], Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

template <typename Window>
std::unique_ptr<NameMasterEditor> make(AppContext& ctx) {
    return std::make_unique<Window>(ctx);
}

INSTANTIATE_TEST_SUITE_P(
    Editors, SharedEditorTest,
    ::testing::Values(EditorCase{"BodyParts", make<PRO004>, bodyPartMaster,
                                 QStringLiteral("ＭＲＩ予約システム - [ 部位登録 ]"), QStringLiteral("部位名")},
                      EditorCase{"Rooms", make<PRO007>, roomMaster, QStringLiteral("ＭＲＩ予約システム - [ 室登録 ]"),
                                 QStringLiteral("室名")},
                      EditorCase{"Departments", make<PRO006>, departmentMaster,
                                 QStringLiteral("ＭＲＩ予約システム - [ 科登録 ]"), QStringLiteral("科名")}),
    [](const ::testing::TestParamInfo<EditorCase>& info) { return std::string(info.param.label); });

// The list reports every press, also one below its last row; the slot stays selected and is loaded again.
TEST_F(EditorTest, APressBelowTheLastRowLoadsTheSelectedSlotAgain) {
    insertName(db, roomMaster(), QStringLiteral("3"), QStringLiteral("ＭＲＩ３"));
    auto window = open<PRO007>();
    pressRow(window->LST, 2);
    type(*window, QStringLiteral("書きかけ"));
    const QRect last = window->LST->visualItemRect(window->LST->item(8));
    ASSERT_LT(last.bottom() + 10, window->LST->viewport()->height());
    QTest::mouseClick(window->LST->viewport(), Qt::LeftButton, {}, QPoint(last.center().x(), last.bottom() + 10));
    EXPECT_EQ(window->LST->currentRow(), 2);
    EXPECT_EQ(window->TXT->text(), QStringLiteral("ＭＲＩ３"));
}

}  // namespace
}  // namespace kesola::test
