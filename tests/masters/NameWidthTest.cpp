// The width limits of stored names: 16 bytes for body parts and departments, 20 for rooms, counted in cp932
// bytes without the blanks around the name.
#include "masters/NameMasterWindows.h"
#include "masters/Pro006.h"
#include "tests/masters/MasterTestSupport.h"
#include "tests/support/ExpectedTexts.h"

namespace kesola::test {

using namespace kesola::expected;
namespace {

enum class Editor { BodyParts, Rooms, Departments };

struct WidthCase {
    const char* label;
    Editor editor;
    QString name;
    bool accepted;
};

std::ostream& operator<<(std::ostream& out, const WidthCase& c) { return out << c.label; }

QString repeat(const QString& piece, int times) { return piece.repeated(times); }

const QString kFull = QStringLiteral("あ");
const QString kHalf = QStringLiteral("a");
const QString kKana = QStringLiteral("ｱ");

class NameWidthTest : public EditorTest, public ::testing::WithParamInterface<WidthCase> {
  protected:
    std::unique_ptr<NameMasterEditor> openEditor() {
        switch (GetParam().editor) {
            case Editor::BodyParts:
                return open<PRO004>();
            case Editor::Rooms:
                return open<PRO007>();
            case Editor::Departments:
                return open<PRO006>();
        }
        return nullptr;
    }
};

TEST_P(NameWidthTest, IsStoredExactlyWhenItFitsAndRefusedOtherwise) {
    auto window = openEditor();
    const NameMasterKind& kind = window->kind();
    pressRow(window->LST, 0);
    type(*window, GetParam().name);
    ASSERT_EQ(window->TXT->text(), GetParam().name) << "the box must take the whole name";
    pressChange(*window);
    const auto stored = storedField(db, kind.table, kind.code(1), kind.nameField);
    if (GetParam().accepted) {
        EXPECT_EQ(stored, GetParam().name);
        EXPECT_TRUE(context.messages.shown.empty());
    } else {
        EXPECT_EQ(stored, std::nullopt);
        ASSERT_EQ(context.messages.shown.size(), 1u);
        EXPECT_EQ(context.messages.last().text, kTooWide);
    }
    EXPECT_EQ(window->TXT->text(), QString());
    EXPECT_EQ(selectedRowCount(window->LST), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, NameWidthTest,
    ::testing::Values(
        WidthCase{"BodyPart8Full", Editor::BodyParts, repeat(kFull, 8), true},
        WidthCase{"BodyPart8FullAndOneHalf", Editor::BodyParts, repeat(kFull, 8) + kHalf, false},
        WidthCase{"BodyPart9Full", Editor::BodyParts, repeat(kFull, 9), false},
        WidthCase{"BodyPart16Half", Editor::BodyParts, repeat(kHalf, 16), true},
        WidthCase{"BodyPart17Half", Editor::BodyParts, repeat(kHalf, 17), false},
        WidthCase{"BodyPart16Kana", Editor::BodyParts, repeat(kKana, 16), true},
        WidthCase{"BodyPart17Kana", Editor::BodyParts, repeat(kKana, 17), false},
        WidthCase{"BodyPartBlanksAroundDoNotCount", Editor::BodyParts, u' ' + repeat(kFull, 8) + u' ', true},
        WidthCase{"BodyPartBlankInsideCounts", Editor::BodyParts, repeat(kFull, 4) + u' ' + repeat(kFull, 4), false},
        WidthCase{"BodyPartFullWidthBlankCounts", Editor::BodyParts, QStringLiteral("　") + repeat(kFull, 8), false},
        WidthCase{"Room10Full", Editor::Rooms, repeat(kFull, 10), true},
        WidthCase{"Room10FullAndOneHalf", Editor::Rooms, repeat(kFull, 10) + kHalf, false},
        WidthCase{"Room20Half", Editor::Rooms, repeat(kHalf, 20), true},
        WidthCase{"Room20Kana", Editor::Rooms, repeat(kKana, 20), true},
        WidthCase{"Room19KanaAndOneFull", Editor::Rooms, repeat(kKana, 19) + kFull, false},
        WidthCase{"Room19HalfAndOneFull", Editor::Rooms, repeat(kHalf, 19) + kFull, false},
        WidthCase{"Department8Full", Editor::Departments, repeat(kFull, 8), true},
        WidthCase{"Department9Full", Editor::Departments, repeat(kFull, 9), false},
        WidthCase{"Department16Half", Editor::Departments, repeat(kHalf, 16), true},
        WidthCase{"Department17Half", Editor::Departments, repeat(kHalf, 17), false},
        WidthCase{"Department16Kana", Editor::Departments, repeat(kKana, 16), true},
        WidthCase{"Department15KanaAndOneFull", Editor::Departments, repeat(kKana, 15) + kFull, false},
        // Counted in the bytes of the form that is written: 頰 as 頬, 剝 as 剥.
        WidthCase{"BodyPart8FormsOf2004", Editor::BodyParts, repeat(QStringLiteral("頰"), 8), true},
        WidthCase{"BodyPart9FormsOf2004", Editor::BodyParts, repeat(QStringLiteral("剝"), 9), false}),
    [](const ::testing::TestParamInfo<WidthCase>& info) { return std::string(info.param.label); });

// The box takes at most 20 characters as typed, so a room name can never reach 21 half-width bytes.
TEST_F(EditorTest, TheNameBoxTakesTwentyCharacters) {
    auto window = open<PRO007>();
    window->TXT->setFocus();
    QTest::keyClicks(window->TXT, QString(21, u'b'));
    EXPECT_EQ(window->TXT->text(), QString(20, u'b'));
}

// Another program may have stored a longer name; it is loaded whole and written back unchanged.
TEST_F(EditorTest, ALongerStoredNameIsLoadedWhole) {
    const QString name =
        QStringLiteral("   ") + QString(16, u'c') + QStringLiteral("     ");  // 24 characters, 16 bytes
    insertName(db, roomMaster(), QStringLiteral("2"), name);
    auto window = open<PRO007>();
    pressRow(window->LST, 1);
    EXPECT_EQ(window->TXT->text(), name);
    pressChange(*window);
    EXPECT_EQ(storedField(db, QStringLiteral("ROOM"), QStringLiteral("2"), QStringLiteral("RNAME")), name);
    EXPECT_EQ(window->TXT->maxLength(), 20);
}

}  // namespace
}  // namespace kesola::test
