// The patient register in the reservation window: what leaving the ID box fills in, and the name's last question
// before "登録" stores the booking.

#include <QComboBox>
#include <QLineEdit>

#include "reservation/CodedEntry.h"
#include "reservation/Pro002.h"
#include "reservation/ReservationTexts.h"
#include "store/MessageService.h"
#include "store/NameMatch.h"
#include "store/engine/DbError.h"
#include "ui/Controls.h"

namespace kesola {

namespace {

using namespace reservation_texts;

constexpr int kSexCodeLength = 1;
constexpr int kOldestAge = 150;

// One box the register can fill: what it holds, what the register says, and how to put the register's value in.
struct RegisterField {
    const QString& title;
    QString typed;
    QString registered;
    std::function<void()> take;
    // A name typed in another width or kana, or with other spaces, is the same name.
    bool sameName = false;

    bool agrees() const { return sameName ? normalisedName(typed) == normalisedName(registered) : typed == registered; }
};

QString sexName(const QString& code) {
    return code == QStringLiteral("1") ? kMale : code == QStringLiteral("2") ? kFemale : QString();
}

}  // namespace

std::optional<RegisteredPatient> PRO002::registeredPatient() {
    const QString id = TXT[kPatientIdBox]->text();
    if (id.isEmpty() || !TXT[kPatientIdBox]->isEnabled()) return std::nullopt;
    return findRegisteredPatient(database(), id);
}

void PRO002::fillFromRegister() {
    const QString id = TXT[kPatientIdBox]->text();
    if (id == offeredId_) return;
    // Set before the question: the box loses its focus to the message box, which must not ask again.
    offeredId_ = id;
    std::optional<RegisteredPatient> patient;
    if (!loadStep([&] { patient = registeredPatient(); }) || !patient) return;
    const QDate bookingDay(board_.yearText().toInt(), board_.monthText().toInt(), board_.dayText().toInt());
    const int age = ageOn(patient->birthDate(), bookingDay);
    std::vector<RegisterField> fields = {
        {kName, TXT[kNameBox]->text(), patient->SHIMEI,
         [this, name = patient->SHIMEI] { setTextWhole(TXT[kNameBox], name, kNameBoxLength); }, true},
        {kSex, sexName(entryCode(CMB[kSexSelector]->currentText(), kSexCodeLength)), sexName(patient->SEX),
         [this, code = patient->SEX] { selectByCode(CMB[kSexSelector], code, kSexCodeLength); }},
    };
    if (age >= 0 && age <= kOldestAge) {
        fields.push_back({kAge, TXT[kAgeBox]->text(), QString::number(age),
                          [this, age] { setTextWhole(TXT[kAgeBox], QString::number(age), kAgeBoxLength); }});
    }
    QStringList differences;
    for (const RegisterField& f : fields) {
        if (f.registered.isEmpty() || f.agrees()) continue;
        if (f.typed.isEmpty()) {
            f.take();
        } else {
            differences << kRegisterDiffersLine.arg(f.title, f.typed, f.registered);
        }
    }
    if (differences.isEmpty()) return;
    const QString question =
        kRegisterDiffersHead.arg(id) + u'\n' + differences.join(u'\n') + u'\n' + kTakeRegisterValues;
    if (!ctx_.messages().confirm(question, windowTitle())) return;
    for (const RegisterField& f : fields) {
        if (!f.registered.isEmpty() && !f.agrees()) f.take();
    }
}

bool PRO002::nameAgreesWithRegister() {
    std::optional<RegisteredPatient> patient;
    if (!loadStep([&] { patient = registeredPatient(); })) return false;
    const QString typed = TXT[kNameBox]->text();
    if (!patient || normalisedName(typed) == normalisedName(patient->SHIMEI)) return true;
    return ctx_.messages().confirm(kNameNotRegistered.arg(typed, TXT[kPatientIdBox]->text(), patient->SHIMEI),
                                   windowTitle());
}

}  // namespace kesola
