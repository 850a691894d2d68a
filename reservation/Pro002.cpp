#include "reservation/Pro002.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include "reservation/CodedEntry.h"
#include "reservation/ReservationTexts.h"
#include "store/MessageService.h"
#include "store/Numbers.h"
#include "store/ReservationKey.h"
#include "store/Texts.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"
#include "ui/AsciiBox.h"
#include "ui/Controls.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"
#include "ui/WindowKit.h"

namespace kesola {

namespace {

using namespace reservation_texts;

constexpr int kPoints = 12;
const QColor kStartTimeBackground(208, 208, 208);

constexpr int kBackspace = 8;
constexpr int kEnter = 13;

struct Placed {
    int index;
    const QString& caption;
    QRect twips;
};

// Field titles: blue with white text, framed.
const Placed kTitleLabels[] = {
    {2, kReservationTime, QRect(225, 225, 1020, 360)},
    {8, kDepartment, QRect(225, 795, 1020, 360)},
    {1, kName, QRect(225, 1380, 1020, 360)},
    {3, kBodyPart, QRect(225, 1950, 1020, 360)},
    {0, kWard, QRect(4740, 1905, 1020, 360)},
    {4, kSex, QRect(225, 2520, 1020, 360)},
    {5, kAge, QRect(225, 3090, 1020, 360)},
    {9, kStatus, QRect(225, 3660, 1020, 360)},
    {6, kRemarks, QRect(225, 4230, 1020, 360)},
    // In the free right half of the name row, its box's right edge in line with the remarks box.
    {10, kPatientId, QRect(4065, 1380, 840, 360)},
};

// Units beside the fields, on the window's own background.
const Placed kPlainLabels[] = {
    {18, kHourUnit, QRect(1800, 285, 240, 240)}, {17, kMinuteUnit, QRect(2355, 285, 240, 240)},
    {11, kUntil, QRect(2730, 285, 240, 240)},    {16, kMinutesLong, QRect(3975, 285, 480, 240)},
    {7, kYearsOld, QRect(2385, 3135, 240, 240)},
};

const QRect kSelectorPlaces[PRO002::kSelectorCount] = {
    QRect(3150, 225, 735, 360),   QRect(1455, 795, 2505, 360), QRect(5970, 1905, 2505, 360),
    QRect(1455, 1950, 2505, 360), QRect(1455, 2520, 870, 360), QRect(1455, 3660, 870, 360),
};

const struct {
    QRect twips;
    int maxLength;
} kTextBoxes[PRO002::kTextCount] = {
    {QRect(1455, 1380, 2490, 360), PRO002::kNameBoxLength},
    {QRect(1455, 3090, 840, 360), PRO002::kAgeBoxLength},
    {QRect(1455, 4230, 4890, 360), PRO002::kRemarksBoxLength},
    {QRect(5115, 1380, 1230, 360), PRO002::kPatientIdBoxLength},
};

const Placed kButtons[PRO002::kButtonCount] = {
    {PRO002::kBackButton, texts::kBackCaption, QRect(225, 5145, 1020, 360)},
    {PRO002::kRegisterButton, kRegister, QRect(3300, 5145, 1020, 360)},
    {PRO002::kDeleteButton, kDelete, QRect(1785, 5145, 1020, 360)},
};

bool isDigit(int code) { return code >= '0' && code <= '9'; }

// A refused paste as its message quotes it: on one line, and no longer than a box holds.
QString shownPaste(const QString& pasted) {
    constexpr int kLongestShown = 20;
    const QString line = pasted.simplified();
    return line.size() <= kLongestShown ? line : line.left(kLongestShown) + QStringLiteral("…");
}

// The character a key types into a box, or 0 for a key that types none. The platform gives Tab, Delete,
// Backspace and Ctrl shortcuts a control character as their text; those move the focus or edit and are no
// typed character, so the filter lets them through. Enter is the one control key the window discards.
int typedCharacter(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) return kEnter;
    if (key.text().isEmpty()) return 0;
    const char32_t character = key.text().toUcs4().value(0);
    if (!QChar::isPrint(character) || key.modifiers().testAnyFlags(Qt::ControlModifier | Qt::MetaModifier)) return 0;
    return key.text().at(0).unicode();
}

}  // namespace

PRO002::PRO002(AppContext& ctx, const BoardView& board, QWidget* parent) : QDialog(parent), ctx_(ctx), board_(board) {
    setObjectName(QStringLiteral("PRO002"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setupFixedWindow(this, 6540, 5745, kWindowBackground, kPoints);
    buildLabels();
    buildSelectors();
    buildTextBoxes();
    buildButtons();
    setTabOrders();
    // Whatever the ID box's place in the Tab order, leaving it (Tab, a click elsewhere) offers the register's row.
    connect(TXT[kPatientIdBox], &QLineEdit::editingFinished, this, [this] { fillFromRegister(); });
}

// ---------------------------------------------------------------------------------------------------------------
// Layout

void PRO002::buildLabels() {
    for (const Placed& p : kTitleLabels) {
        LBL[p.index] = makeTitleLabel(this, QStringLiteral("LBL%1").arg(p.index), p.caption, p.twips, kPoints);
    }
    for (const Placed& p : kPlainLabels) {
        LBL[p.index] = makeLabel(this, QStringLiteral("LBL%1").arg(p.index), p.caption, p.twips, kPoints);
    }
    // Wards are not chosen on bookings: the title stays hidden with its selector.
    LBL[0]->hide();
    const QRect startPlaces[kStartLabelCount] = {QRect(1500, 285, 240, 240), QRect(2085, 285, 240, 240)};
    for (int i = 0; i < kStartLabelCount; ++i) {
        SLBL[i] =
            makeLabel(this, QStringLiteral("SLBL%1").arg(i), QString(), startPlaces[i], kPoints, kStartTimeBackground);
        SLBL[i]->setAlignment(Qt::AlignCenter);
    }
}

void PRO002::buildSelectors() {
    for (int i = 0; i < kSelectorCount; ++i) {
        CMB[i] = makeDropDown(this, QStringLiteral("CMB%1").arg(i), kSelectorPlaces[i], kPoints);
    }
    for (int coded : {kDepartmentSelector, kBodyPartSelector, kSexSelector, kStatusSelector}) {
        hideEntryCodes(CMB[coded]);
    }
    CMB[kWardSelector]->hide();
}

void PRO002::buildTextBoxes() {
    auto* ageBox = new DigitBox(this);
    auto* patientIdBox = new AsciiBox(QStringLiteral("[A-Za-z0-9-]*"), this);
    ageBox->setPasteRefusal([this](const QString& pasted) { refuse(kAgePasteRefused.arg(shownPaste(pasted))); });
    patientIdBox->setPasteRefusal(
        [this](const QString& pasted) { refuse(kPatientIdPasteRefused.arg(shownPaste(pasted))); });
    for (int i = 0; i < kTextCount; ++i) {
        QLineEdit* box = i == kAgeBox ? ageBox : i == kPatientIdBox ? patientIdBox : new QLineEdit(this);
        box->setObjectName(QStringLiteral("TXT%1").arg(i));
        const QRect& r = kTextBoxes[i].twips;
        box->setGeometry(twipsRect(r.x(), r.y(), r.width(), r.height()));
        box->setFont(msGothic(kPoints));
        box->setMaxLength(kTextBoxes[i].maxLength);
        box->installEventFilter(this);
        TXT[i] = box;
    }
    // Names and remarks are typed in Japanese through the input method; the age box (a DigitBox) and the patient
    // ID box take plain ASCII whatever state the input method is in.
    TXT[kNameBox]->setInputMethodHints(Qt::ImhNone);
    TXT[kRemarksBox]->setInputMethodHints(Qt::ImhNone);
    TXT[kAgeBox]->setInputMethodHints(Qt::ImhDigitsOnly);
}

void PRO002::buildButtons() {
    for (const Placed& p : kButtons) {
        BTN[p.index] = makeButton(this, QStringLiteral("BTN%1").arg(p.index), p.caption, p.twips, kPoints, kButtonFace);
        connect(BTN[p.index], &QPushButton::clicked, this, [this, i = p.index] { BTN_Click(i); });
    }
}

// A receptionist books by keyboard in the window's own order, from the duration down to "登録"; the patient ID box
// comes after all of them, so that no field of that order lands one box too early. Alt+I, named in the box's
// tooltip, reaches it from anywhere in the window.
void PRO002::setTabOrders() {
    setTabChain({CMB[kDurationSelector], CMB[kDepartmentSelector], CMB[kWardSelector], TXT[kNameBox],
                 CMB[kBodyPartSelector], CMB[kSexSelector], TXT[kAgeBox], CMB[kStatusSelector], TXT[kRemarksBox],
                 BTN[kBackButton], BTN[kDeleteButton], BTN[kRegisterButton], TXT[kPatientIdBox]});
    auto* toPatientId = new QShortcut(kPatientIdShortcut, this);
    connect(toPatientId, &QShortcut::activated, this, [this] {
        TXT[kPatientIdBox]->setFocus(Qt::ShortcutFocusReason);
        TXT[kPatientIdBox]->selectAll();
    });
    for (QWidget* named : {static_cast<QWidget*>(LBL[10]), static_cast<QWidget*>(TXT[kPatientIdBox])})
        named->setToolTip(kPatientIdTip);
}

// ---------------------------------------------------------------------------------------------------------------
// Keys and buttons

bool PRO002::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (int i = 0; i < kTextCount; ++i) {
            if (watched != TXT[i]) continue;
            int code = typedCharacter(*static_cast<QKeyEvent*>(event));
            if (code == 0) break;
            TXT_KeyPress(i, code);
            if (code == 0) return true;
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PRO002::TXT_KeyPress(int index, int& keyAscii) {
    if (index == kAgeBox && !isDigit(keyAscii) && keyAscii != kBackspace) keyAscii = 0;
    // Enter would otherwise reach the dialog; it neither inserts nor moves the focus.
    if (keyAscii == kEnter) keyAscii = 0;
}

// Escape would close the window and throw away what was typed; only "戻る" leaves it.
void PRO002::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PRO002::BTN_Click(int index) {
    switch (index) {
        case kBackButton:
            reject();
            break;
        case kRegisterButton:
            RSV_SAVE();
            break;
        case kDeleteButton:
            RSV_CANCEL();
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// What every procedure of the window shares

QString PRO002::slotKey() const {
    return reservationKey(board_.roomCode(), board_.yearText(), board_.monthText(), board_.dayText(), SLBL[0]->text(),
                          SLBL[1]->text());
}

Database& PRO002::database() const { return requireDatabase(ctx_.g); }

void PRO002::refuse(const QString& message) { ctx_.messages().notice(message, windowTitle()); }

}  // namespace kesola
