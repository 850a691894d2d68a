// The patient ID box: stored, changed, removed and cancelled with its booking, in the history, and greyed out on a
// database that keeps no patient IDs.

#include <QTest>

#include "tests/reservation/ReservationFixture.h"

using namespace kesola;
using namespace kesola::test;

namespace {

class PatientIdTest : public ReservationWindowTest {
  protected:
    // Opens the window on cell 15, leaves the patient ID box as `id` and presses the button.
    void press(int button, const std::optional<QString>& id = std::nullopt, MsgAnswer answer = MsgAnswer::Ok) {
        auto w = open(15);
        w->show();
        if (!w->TXT[PRO002::kNameBox]->text().isEmpty()) loaded = w->TXT[PRO002::kPatientIdBox]->text();
        if (button == PRO002::kRegisterButton) enter(*w, Entries{});
        if (id) w->TXT[PRO002::kPatientIdBox]->setText(*id);
        c.messages.answerNext(answer);
        QTest::mouseClick(w->BTN[button], Qt::LeftButton);
        EXPECT_EQ(w->result(), QDialog::Accepted) << c.messages.texts().join(u'|').toStdString();
    }
    QStringList stored() const {
        QStringList rows;
        auto rs = db.connect()->select(QStringLiteral("SELECT * FROM KANJYA ORDER BY CODE"));
        for (; !rs->eof(); rs->moveNext())
            rows << rs->field(QStringLiteral("CODE")) + u'=' + rs->field(QStringLiteral("KANJYAID"));
        return rows;
    }
    QString loaded;
};

}  // namespace

TEST_F(PatientIdTest, TheIdIsStoredChangedRemovedAndCancelledWithItsBooking) {
    const QString key = keyOfCell(15);
    press(PRO002::kRegisterButton, QStringLiteral("P-0001"));
    EXPECT_EQ(stored(), QStringList{key + QStringLiteral("=P-0001")});
    press(PRO002::kRegisterButton, QStringLiteral("P-0002"));
    EXPECT_EQ(loaded, QStringLiteral("P-0001")) << "the window shows the stored ID";
    EXPECT_EQ(stored(), QStringList{key + QStringLiteral("=P-0002")});
    press(PRO002::kRegisterButton, QString());
    EXPECT_EQ(stored(), QStringList()) << "an emptied box removes the ID, and the booking stays";
    EXPECT_EQ(storedRow(db, key)["YNAME"], QStringLiteral("山田太郎"));
    press(PRO002::kRegisterButton, QStringLiteral("A1"));
    press(PRO002::kDeleteButton);
    EXPECT_EQ(stored(), QStringList());
    EXPECT_TRUE(storedRow(db, key).isEmpty());

    QStringList recorded;
    auto rs =
        db.connect()->select(QStringLiteral("SELECT SOSA, MAE, ATO FROM RIREKI WHERE TBL = 'KANJYA' ORDER BY NO"));
    for (; !rs->eof(); rs->moveNext()) {
        recorded << QStringList{rs->field(QStringLiteral("SOSA")), rs->field(QStringLiteral("MAE")),
                                rs->field(QStringLiteral("ATO"))}
                        .join(u'|');
    }
    // Each ID row names the booking it was given to.
    const auto row = [&key](const char* id) {
        return QStringLiteral("CODE=%1\tKANJYAID=%2\tYNAME=山田太郎").arg(key, QString::fromLatin1(id));
    };
    EXPECT_EQ(recorded, (QStringList{"登録||" + row("P-0001"), "変更|" + row("P-0001") + "|" + row("P-0002"),
                                     "変更|" + row("P-0002") + "|", "変更||" + row("A1"), "取消|" + row("A1") + "|"}));
}

TEST_F(PatientIdTest, ADatabaseWithoutPatientIdsGreysTheBoxAndStillBooks) {
    db.connect()->execute(QStringLiteral("DROP TABLE KANJYA"));
    auto w = open(15);
    EXPECT_FALSE(w->TXT[PRO002::kPatientIdBox]->isEnabled());
    press(PRO002::kRegisterButton);
    EXPECT_EQ(storedRow(db, keyOfCell(15))["YNAME"], QStringLiteral("山田太郎"));
}

TEST_F(PatientIdTest, AnIdChangedMeanwhileKeepsTheBookingFromBeingCancelled) {
    press(PRO002::kRegisterButton, QStringLiteral("P-1"));
    auto w = open(15);
    w->show();
    db.connect()->execute(QStringLiteral("UPDATE KANJYA SET KANJYAID = 'P-2'"));  // another workstation
    c.messages.answerNext(MsgAnswer::Ok);
    QTest::mouseClick(w->BTN[PRO002::kDeleteButton], Qt::LeftButton);
    EXPECT_NE(w->result(), QDialog::Accepted);
    EXPECT_EQ(storedRow(db, keyOfCell(15))["YNAME"], QStringLiteral("山田太郎")) << "the removal was rolled back";
    EXPECT_EQ(stored(), QStringList{keyOfCell(15) + QStringLiteral("=P-2")});
}
