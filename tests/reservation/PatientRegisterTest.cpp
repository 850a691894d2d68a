// The patient register in the reservation window: leaving the ID box fills what is empty and asks before replacing
// what was typed; a name that differs from the register's is confirmed before "登録" stores it.

#include "tests/reservation/ReservationFixture.h"

using namespace kesola;
using namespace kesola::test;

namespace {

class PatientRegisterWindow : public ReservationWindowTest {
  protected:
    PatientRegisterWindow() {
        // Born 8 March 1960: 44 on the test day, 7 March 2005.
        db.connect()->execute(QStringLiteral("INSERT INTO KANJYAMST (KANJYAID, SHIMEI, KANA, SEINENGAPPI, SEX) "
                                             "VALUES ('P-001', ?, ?, '19600308', '2')"),
                              {QStringLiteral("山田　花子"), QStringLiteral("ヤマダ　ハナコ")});
    }
    // Types the ID into the box and leaves it, as Tab or a click elsewhere does.
    static void leaveIdBox(PRO002& w, const QString& id) {
        w.TXT[PRO002::kPatientIdBox]->setText(id);
        emit w.TXT[PRO002::kPatientIdBox]->editingFinished();
    }
    static QStringList shown(PRO002& w) {
        return {w.TXT[PRO002::kNameBox]->text(), w.CMB[PRO002::kSexSelector]->currentText().right(1),
                w.TXT[PRO002::kAgeBox]->text()};
    }
};

const QString kQuestion = QStringLiteral(
    "患者ID P-001 の患者台帳と入力が異なります。\n名前：山田太郎 → 山田　花子\n性別：男性 → 女性\n年齢：45 → "
    "44\n患者台帳の内容に置き換えますか？");

const QString kFemale = QStringLiteral("女性");

}  // namespace

TEST_F(PatientRegisterWindow, LeavingTheIdBoxFillsWhatIsEmptyAndAsksBeforeReplacingWhatWasTyped) {
    const struct {
        const char* what;
        bool typedFirst;
        std::optional<MsgAnswer> answer;  // none: no question expected
        QStringList expected;
    } cases[] = {
        {"an empty booking is filled",
         false,
         std::nullopt,
         {QStringLiteral("山田　花子"), QStringLiteral("2"), QStringLiteral("44")}},
        {"OK takes the register's values",
         true,
         MsgAnswer::Ok,
         {QStringLiteral("山田　花子"), QStringLiteral("2"), QStringLiteral("44")}},
        {"Cancel keeps what was typed",
         true,
         MsgAnswer::Cancel,
         {QStringLiteral("山田太郎"), QStringLiteral("1"), QStringLiteral("45")}},
    };
    for (const auto& c0 : cases) {
        c.messages.clear();
        auto w = open(15);
        if (c0.typedFirst) enter(*w, Entries{});
        if (c0.answer) c.messages.answerNext(*c0.answer);
        leaveIdBox(*w, QStringLiteral("P-001"));
        EXPECT_EQ(shown(*w), c0.expected) << c0.what;
        EXPECT_EQ(c.messages.texts(), c0.answer ? QStringList{kQuestion} : QStringList()) << c0.what;
        // Leaving the box again with the same ID asks nothing more.
        emit w->TXT[PRO002::kPatientIdBox]->editingFinished();
        EXPECT_EQ(c.messages.shown.size(), c0.answer ? 1u : 0u) << c0.what;
    }
}

TEST_F(PatientRegisterWindow, AnUnknownIdOrTheSameNameInAnotherFormChangesNothingAndAsksNothing) {
    const struct {
        QString id, name;
    } cases[] = {{QStringLiteral("P-999"), QStringLiteral("佐藤一郎")},
                 {QStringLiteral("P-001"), QStringLiteral("山田 花子")}};
    for (const auto& c0 : cases) {
        auto w = open(15);
        enter(*w, Entries{.name = c0.name, .sex = kFemale, .age = QStringLiteral("44")});
        const QStringList before = shown(*w);
        leaveIdBox(*w, c0.id);
        EXPECT_EQ(shown(*w), before) << c0.id.toStdString();
        EXPECT_TRUE(c.messages.texts().isEmpty()) << c.messages.texts().join(u'|').toStdString();
    }
}

TEST_F(PatientRegisterWindow, ANameThatDiffersFromTheRegisterIsConfirmedAfterEveryOtherCheck) {
    const auto question = [](const QString& name) {
        return QStringLiteral(
                   "名前「%1」は患者ID P-001 の患者台帳の名前「山田　花子」と異なります。\nこのまま登録しますか？")
            .arg(name);
    };
    const struct {
        Entries entries;
        MsgAnswer answer;
        QStringList messages;
        bool stored;
    } cases[] = {
        // The checks of every booking come first, with their own texts.
        {Entries{.name = QStringLiteral("佐藤一郎"), .age = QString()},
         MsgAnswer::Ok,
         {QStringLiteral("年齢の入力を行なってください。")},
         false},
        {Entries{.name = QStringLiteral("佐藤一郎")}, MsgAnswer::Cancel, {question(QStringLiteral("佐藤一郎"))}, false},
        {Entries{.name = QStringLiteral("佐藤一郎")}, MsgAnswer::Ok, {question(QStringLiteral("佐藤一郎"))}, true},
        // The register's kana is not its name: a name typed in kana is asked about too.
        {Entries{.name = QStringLiteral("ﾔﾏﾀﾞ ﾊﾅｺ")}, MsgAnswer::Ok, {question(QStringLiteral("ﾔﾏﾀﾞ ﾊﾅｺ"))}, true},
        {Entries{.name = QStringLiteral("山田 花子")}, MsgAnswer::Cancel, {}, true},
    };
    for (const auto& c0 : cases) {
        c.messages.clear();
        db.connect()->execute(QStringLiteral("DELETE FROM KESOLA"));
        auto w = open(15);
        w->TXT[PRO002::kPatientIdBox]->setText(QStringLiteral("P-001"));
        enter(*w, c0.entries);
        c.messages.answerNext(c0.answer);
        w->BTN_Click(PRO002::kRegisterButton);
        EXPECT_EQ(c.messages.texts(), c0.messages) << c0.entries.name.toStdString();
        EXPECT_EQ(!storedRow(db, keyOfCell(15)).isEmpty(), c0.stored) << c0.entries.name.toStdString();
    }
}
