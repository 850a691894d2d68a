// "登録": the checks of a booking, in the order the user is told about them, then the write.

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

#include "reservation/CodedEntry.h"
#include "reservation/Pro002.h"
#include "reservation/ReservationTexts.h"
#include "store/BookingStore.h"
#include "store/Numbers.h"
#include "store/ReservationKey.h"
#include "store/TextWidth.h"
#include "store/Texts.h"
#include "store/engine/DbError.h"

namespace kesola {

namespace {

using namespace reservation_texts;

constexpr int kNameBytes = 20;
constexpr int kRemarksBytes = 40;
constexpr int kOldestAge = 150;

}  // namespace

void PRO002::RSV_SAVE() {
    if (!entriesAreComplete() || !widthsFit() || !ageIsValid()) return;
    if (overlapsLaterBookingOnBoard()) {
        refuse(kOverlapsLater);
        return;
    }
    // After every check above, so that each keeps its place: a character that cp932 cannot write would reach
    // the export file and the worklist as "?".
    const QString title = windowTitle();
    if (!isWritable(TXT[kNameBox]->text(), ctx_.messages(), title) ||
        !isWritable(TXT[kRemarksBox]->text(), ctx_.messages(), title))
        return;
    if (!nameAgreesWithRegister()) return;
    storeAndClose();
}

bool PRO002::entriesAreComplete() {
    const struct {
        bool missing;
        const QString& message;
    } checks[] = {
        {CMB[kDurationSelector]->currentText().isEmpty(), kChooseDuration},
        {CMB[kDepartmentSelector]->currentText().isEmpty(), kChooseDepartment},
        {CMB[kBodyPartSelector]->currentText().isEmpty(), kChooseBodyPart},
        {CMB[kSexSelector]->currentText().isEmpty(), kChooseSex},
        {CMB[kStatusSelector]->currentText().isEmpty(), kChooseStatus},
        {TXT[kNameBox]->text().isEmpty(), kEnterName},
        {TXT[kAgeBox]->text().isEmpty(), kEnterAge},
    };
    for (const auto& check : checks) {
        if (check.missing) {
            refuse(check.message);
            return false;
        }
    }
    return true;
}

bool PRO002::widthsFit() {
    return fitsWidth(kNameBytes, TXT[kNameBox]->text(), ctx_.messages(), ctx_.g.SYS_TITLE) &&
           fitsWidth(kRemarksBytes, TXT[kRemarksBox]->text(), ctx_.messages(), ctx_.g.SYS_TITLE);
}

// Typed ages are digits only; a pasted text is not filtered on its way in, so it is refused here.
bool PRO002::ageIsValid() {
    const QString age = TXT[kAgeBox]->text();
    const bool digitsOnly = std::all_of(age.cbegin(), age.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (digitsOnly && toInt16(age).value_or(kOldestAge + 1) <= kOldestAge) return true;
    refuse(kWrongAge);
    return false;
}

// The board's first cells of later bookings, as painted just before the window opened. Cells past 19:50 do
// not exist, so a span may run beyond the end of the day.
bool PRO002::overlapsLaterBookingOnBoard() const {
    const int followingCells = CMB[kDurationSelector]->currentText().toInt() / 10 - 1;
    for (int i = 1; i <= followingCells; ++i) {
        const int cell = ctx_.g.SEL_CELL + i;
        if (cell >= kCellCount) break;
        if (!board_.cellCaption(cell).isEmpty()) return true;
    }
    return false;
}

void PRO002::storeAndClose() {
    const Booking booking{
        .Min = CMB[kDurationSelector]->currentText(),
        .KA = entryCode(CMB[kDepartmentSelector]->currentText(), 2),
        .YNAME = TXT[kNameBox]->text(),
        .BUI = entryCode(CMB[kBodyPartSelector]->currentText(), 2),
        .SEX = entryCode(CMB[kSexSelector]->currentText(), 1),
        .AGE = TXT[kAgeBox]->text(),
        .JYOKYO = entryCode(CMB[kStatusSelector]->currentText(), 1),
        .ETC = TXT[kRemarksBox]->text(),
        .KANJYAID = TXT[kPatientIdBox]->text(),
    };
    try {
        switch (storeBooking(database(), slotKey(), booking, shown_)) {
            case StoreOutcome::Stored:
                accept();
                return;
            case StoreOutcome::ChangedMeanwhile:
                refuse(kChangedMeanwhile);
                return;
            case StoreOutcome::OverlapsLater:
                refuse(kOverlapsLater);
                return;
            case StoreOutcome::SlotTaken:
                refuse(texts::kSlotTaken);
                return;
        }
    } catch (const DbError& e) {
        ctx_.messages().reportDatabaseFailure(e, windowTitle());
    }
}

}  // namespace kesola
