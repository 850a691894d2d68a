// "登録" and "削除" after another workstation wrote the window's slot while it was open (the lock forced free with
// L): only the booking the window showed is replaced or deleted.

#include <QTest>

#include "store/engine/Database.h"
#include "tests/reservation/ReservationFixture.h"
#include "tests/support/ExpectedTexts.h"

using namespace kesola;
using namespace kesola::test;
using namespace kesola::expected;

namespace {

constexpr int kCell = 15;

enum class Meanwhile { Nothing, Booked, Changed, Cancelled, RewrittenAsItWas, OtherSlotBooked };
enum class Press { Register, Cancel };

struct StaleCase {
    const char* name;
    bool bookedAtOpening;  // "山田" is stored under the slot's key when the window opens
    Meanwhile meanwhile;   // what the other workstation does while the window is open
    Press press;
    QString message;     // the refusal; empty when the write goes through
    QString storedName;  // YNAME under the key afterwards; empty when no row is left
};

class StaleWindowTest : public ReservationWindowTest, public ::testing::WithParamInterface<StaleCase> {
  protected:
    void otherWorkstation(Meanwhile what) {
        auto other = db.connect();
        const QVariantList key{keyOfCell(kCell)};
        switch (what) {
            case Meanwhile::Nothing:
                break;
            case Meanwhile::Booked:
                addOthers(keyOfCell(kCell));
                break;
            case Meanwhile::Changed:
                other->execute(QStringLiteral("UPDATE KESOLA SET YNAME = '佐藤' WHERE CODE = ?"), key);
                break;
            case Meanwhile::Cancelled:
                other->execute(QStringLiteral("DELETE FROM KESOLA WHERE CODE = ?"), key);
                break;
            case Meanwhile::RewrittenAsItWas:
                other->execute(QStringLiteral("UPDATE KESOLA SET YNAME = '山田' WHERE CODE = ?"), key);
                break;
            case Meanwhile::OtherSlotBooked:
                addOthers(keyOfCell(kCell + 12));
                break;
        }
    }
    void addOthers(const QString& key) {
        db.addReservation(key, QStringLiteral("20"), QStringLiteral("02"), QStringLiteral("佐藤"), QStringLiteral("02"),
                          QStringLiteral("1"));
    }
};

}  // namespace

TEST_P(StaleWindowTest, WritesOnlyOverWhatTheWindowShowed) {
    const StaleCase& t = GetParam();
    if (t.bookedAtOpening) {
        db.addReservation(keyOfCell(kCell), QStringLiteral("30"), QStringLiteral("01"), QStringLiteral("山田"),
                          QStringLiteral("01"), QStringLiteral("1"));
    }
    auto w = open(kCell);
    w->show();
    const Entries typed;
    enter(*w, typed);
    otherWorkstation(t.meanwhile);
    if (t.press == Press::Cancel) c.messages.answerNext(MsgAnswer::Ok);
    QTest::mouseClick(w->BTN[t.press == Press::Register ? 1 : 2], Qt::LeftButton);

    EXPECT_EQ(storedRow(db, keyOfCell(kCell)).value(QStringLiteral("YNAME")).toString(), t.storedName);
    if (t.message.isEmpty()) {
        EXPECT_EQ(w->result(), QDialog::Accepted);
        EXPECT_FALSE(w->isVisible());
        return;
    }
    EXPECT_EQ(c.messages.last().text, t.message);
    EXPECT_EQ(c.messages.last().title, kReservationCaption);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ((QStringList{w->TXT[0]->text(), w->TXT[1]->text(), w->TXT[2]->text()}),
              (QStringList{typed.name, typed.age, typed.remarks}));
}

INSTANTIATE_TEST_SUITE_P(Slots, StaleWindowTest,
                         ::testing::Values(
                             // Stale: another workstation wrote the slot while the window was open.
                             StaleCase{"FreeCellBookedMeanwhileIsNotOverwritten", false, Meanwhile::Booked,
                                       Press::Register, kChangedMeanwhile, QStringLiteral("佐藤")},
                             StaleCase{"ChangeMadeMeanwhileIsNotUndone", true, Meanwhile::Changed, Press::Register,
                                       kChangedMeanwhile, QStringLiteral("佐藤")},
                             StaleCase{"BookingCancelledMeanwhileIsNotBookedAgain", true, Meanwhile::Cancelled,
                                       Press::Register, kChangedMeanwhile, QString()},
                             StaleCase{"ChangedBookingIsNotDeleted", true, Meanwhile::Changed, Press::Cancel,
                                       kChangedMeanwhile, QStringLiteral("佐藤")},
                             StaleCase{"BookingMadeMeanwhileOnAFreeCellIsNotDeleted", false, Meanwhile::Booked,
                                       Press::Cancel, kChangedMeanwhile, QStringLiteral("佐藤")},
                             StaleCase{"BookingCancelledMeanwhileHasNothingToCancel", true, Meanwhile::Cancelled,
                                       Press::Cancel, kNothingToCancel, QString()},
                             // Not stale: the slot is still what the window showed.
                             StaleCase{"FreeCellIsBooked", false, Meanwhile::Nothing, Press::Register, QString(),
                                       QStringLiteral("山田太郎")},
                             StaleCase{"ShownBookingIsReplaced", true, Meanwhile::Nothing, Press::Register, QString(),
                                       QStringLiteral("山田太郎")},
                             StaleCase{"ShownBookingIsDeleted", true, Meanwhile::Nothing, Press::Cancel, QString(),
                                       QString()},
                             StaleCase{"ARowRewrittenWithTheSameValuesIsReplaced", true, Meanwhile::RewrittenAsItWas,
                                       Press::Register, QString(), QStringLiteral("山田太郎")},
                             StaleCase{"ABookingInAnotherSlotDoesNotCount", true, Meanwhile::OtherSlotBooked,
                                       Press::Register, QString(), QStringLiteral("山田太郎")}),
                         [](const ::testing::TestParamInfo<StaleCase>& info) { return std::string(info.param.name); });
