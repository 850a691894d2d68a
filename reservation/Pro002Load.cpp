// Opening the reservation window: start time, selector lists, and the booking of the chosen cell.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "reservation/CodedEntry.h"
#include "reservation/Pro002.h"
#include "reservation/ReservationTexts.h"
#include "store/BookingStore.h"
#include "store/MasterList.h"
#include "store/MessageService.h"
#include "store/Numbers.h"
#include "store/ReservationKey.h"
#include "store/Schema.h"
#include "store/Texts.h"
#include "store/engine/Database.h"
#include "store/engine/DbError.h"
#include "ui/Controls.h"

namespace kesola {

namespace {

using namespace reservation_texts;

constexpr int kDurationSteps = 12;
constexpr int kMasterCodeLength = 2;
constexpr int kFlagCodeLength = 1;

}  // namespace

void PRO002::Form_Load() {
    centreOnScreen(this);
    setWindowTitle(texts::caption(ctx_.g.SYS_TITLE, board_.roomText() + kWindowNameSuffix));
    SLBL[0]->setText(QString::number(cellHour(ctx_.g.SEL_CELL)));
    SLBL[1]->setText(twoDigits(cellMinute(ctx_.g.SEL_CELL)));
    fillDurations();
    // One failure is reported once: the steps after it would only fail the same way.
    const bool listsRead =
        loadStep([this] { fillFromMaster(CMB[kDepartmentSelector], QStringLiteral("KA"), QStringLiteral("KNAME")); }) &&
        loadStep([this] { fillFromMaster(CMB[kBodyPartSelector], QStringLiteral("BU"), QStringLiteral("BNAME")); });
    fillSexAndStatus();
    if (listsRead) loadStep([this] { RSV_READ(); });
}

bool PRO002::loadStep(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const DbError& e) {
        ctx_.messages().reportDatabaseFailure(e, windowTitle());
        return false;
    }
}

void PRO002::fillDurations() {
    for (int i = 1; i <= kDurationSteps; ++i) CMB[kDurationSelector]->addItem(QString::number(10 * i));
    CMB[kDurationSelector]->setCurrentIndex(-1);
}

void PRO002::fillFromMaster(QComboBox* selector, const QString& table, const QString& nameField) {
    for (const MasterEntry& entry : readMasterList(database(), table, nameField)) {
        selector->addItem(codedEntry(entry.name, entry.code));
    }
    selector->setCurrentIndex(-1);
}

void PRO002::fillSexAndStatus() {
    CMB[kSexSelector]->addItem(codedEntry(kMale, QStringLiteral("1")));
    CMB[kSexSelector]->addItem(codedEntry(kFemale, QStringLiteral("2")));
    CMB[kStatusSelector]->addItem(codedEntry(kNotYetDone, QStringLiteral("1")));
    CMB[kStatusSelector]->addItem(codedEntry(kDone, QStringLiteral("2")));
    CMB[kSexSelector]->setCurrentIndex(-1);
    CMB[kStatusSelector]->setCurrentIndex(-1);
}

// A stored code that no entry carries any more (a department removed from its master, a duration or sex
// outside the lists) leaves its selector empty, so the user has to choose again before registering.
void PRO002::RSV_READ() {
    TXT[kPatientIdBox]->setEnabled(hasPatientIdTable(database()));
    const std::optional<Booking> booking = findBooking(database(), slotKey());
    shown_ = booking;
    if (!booking) return;
    setTextWhole(TXT[kPatientIdBox], booking->KANJYAID, kPatientIdBoxLength);
    selectByText(CMB[kDurationSelector], booking->Min);
    selectByCode(CMB[kDepartmentSelector], booking->KA, kMasterCodeLength);
    setTextWhole(TXT[kNameBox], booking->YNAME, kNameBoxLength);
    selectByCode(CMB[kBodyPartSelector], booking->BUI, kMasterCodeLength);
    selectByCode(CMB[kSexSelector], booking->SEX, kFlagCodeLength);
    setTextWhole(TXT[kAgeBox], booking->AGE, kAgeBoxLength);
    selectByCode(CMB[kStatusSelector], booking->JYOKYO, kFlagCodeLength);
    if (!trimBlanks(booking->ETC).isEmpty()) setTextWhole(TXT[kRemarksBox], booking->ETC, kRemarksBoxLength);
}

}  // namespace kesola
