// The search window's controls and keys.
#include "search/Pro010.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "search/SearchTexts.h"
#include "store/Texts.h"
#include "ui/Controls.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"
#include "ui/WindowKit.h"

namespace kesola {

namespace {

using namespace search_texts;

constexpr int kPoints = 12;
constexpr int kWidth = 12945;
constexpr int kHeight = 7845;
constexpr int kRowTop[] = {225, 795};
constexpr int kSelectorHeight = 360;

struct Placed {
    int index;
    QString caption;
    QRect twips;
};

// A date as three selectors with their units: year, month, day from `left`.
struct DateRow {
    int year, month, day;
    int left, top;
};

constexpr int kYearWidth = 825;
constexpr int kMonthDayWidth = 630;

// The duration with its "分間" as in the reservation window: the label 90 twips after the selector, 480 wide; the
// first date follows 180 twips after it, the gap there between "～" and the duration.
constexpr int kDurationLeft = 4140;
constexpr int kDurationWidth = 735;
constexpr int kMinutesLongLeft = kDurationLeft + kDurationWidth + 90;
constexpr int kFirstDateLeft = kMinutesLongLeft + 480 + 180;

}  // namespace

PRO010::PRO010(AppContext& ctx, DayChooser& board, QWidget* parent) : QDialog(parent), ctx_(ctx), board_(board) {
    setObjectName(QStringLiteral("PRO010"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setupFixedWindow(this, kWidth, kHeight, kWindowBackground, kPoints);
    buildControls();
}

void PRO010::buildControls() {
    buildHeadings();
    buildSelectors();
    buildButtons();
    buildList();
    setTabChain({TXT, CMB[kFromYear], CMB[kFromMonth], CMB[kFromDay], CMB[kToYear], CMB[kToMonth], CMB[kToDay],
                 BTN[kSearchButton], CMB[kRoomSelector], CMB[kDurationSelector], CMB[kFirstYear], CMB[kFirstMonth],
                 CMB[kFirstDay], BTN[kFreeSlotButton], LST, BTN[kBackButton], BTN[kWithoutIdButton]});
}

void PRO010::buildHeadings() {
    const Placed titles[] = {{0, kPatientName, QRect(225, kRowTop[0], 1020, 360)},
                             {1, kPeriod, QRect(4140, kRowTop[0], 1020, 360)},
                             {2, kFreeSlot, QRect(225, kRowTop[1], 1020, 360)}};
    for (const Placed& t : titles) {
        LBL[t.index] = makeTitleLabel(this, QStringLiteral("LBL%1").arg(t.index), t.caption, t.twips, kPoints);
    }
    TXT = new QLineEdit(this);
    TXT->setObjectName(QStringLiteral("TXT0"));
    TXT->setGeometry(twipsRect(1455, kRowTop[0], 2490, kSelectorHeight));
    TXT->setFont(msGothic(kPoints));
    TXT->setMaxLength(kNameBoxLength);
    // Names are typed in Japanese: the input method stays on.
    TXT->setInputMethodHints(Qt::ImhNone);
    TXT->setToolTip(kNameOrIdHint);
    TXT->installEventFilter(this);
}

void PRO010::buildSelectors() {
    const DateRow dates[] = {{kFromYear, kFromMonth, kFromDay, 5370, kRowTop[0]},
                             {kToYear, kToMonth, kToDay, 8655, kRowTop[0]},
                             {kFirstYear, kFirstMonth, kFirstDay, kFirstDateLeft, kRowTop[1]}};
    int label = 3;
    auto unit = [&](const QString& caption, int left, int top) {
        LBL[label] = makeAutoSizeLabel(this, QStringLiteral("LBL%1").arg(label), caption, left, top + 60, kPoints);
        ++label;
    };
    for (const DateRow& d : dates) {
        const int monthLeft = d.left + kYearWidth + 300;
        const int dayLeft = monthLeft + kMonthDayWidth + 300;
        CMB[d.year] = makeDropDown(this, QStringLiteral("CMB%1").arg(d.year),
                                   QRect(d.left, d.top, kYearWidth, kSelectorHeight), kPoints);
        CMB[d.month] = makeDropDown(this, QStringLiteral("CMB%1").arg(d.month),
                                    QRect(monthLeft, d.top, kMonthDayWidth, kSelectorHeight), kPoints);
        CMB[d.day] = makeDropDown(this, QStringLiteral("CMB%1").arg(d.day),
                                  QRect(dayLeft, d.top, kMonthDayWidth, kSelectorHeight), kPoints);
        unit(texts::kYearUnit, d.left + kYearWidth + 30, d.top);
        unit(texts::kMonthUnit, monthLeft + kMonthDayWidth + 30, d.top);
        unit(texts::kDayUnit, dayLeft + kMonthDayWidth + 30, d.top);
    }
    unit(texts::kUntil, 8355, kRowTop[0]);
    CMB[kRoomSelector] =
        makeDropDown(this, QStringLiteral("CMB%1").arg(kRoomSelector), QRect(1455, kRowTop[1], 2490, 360), kPoints);
    CMB[kDurationSelector] = makeDropDown(this, QStringLiteral("CMB%1").arg(kDurationSelector),
                                          QRect(kDurationLeft, kRowTop[1], kDurationWidth, 360), kPoints);
    unit(texts::kMinutesLong, kMinutesLongLeft, kRowTop[1]);
}

void PRO010::buildButtons() {
    const Placed buttons[] = {{kSearchButton, kSearch, QRect(11700, kRowTop[0], 1020, 360)},
                              {kFreeSlotButton, kSearchFree, QRect(11445, kRowTop[1], 1275, 360)},
                              {kBackButton, texts::kBackCaption, QRect(225, 7260, 1020, 360)},
                              {kWithoutIdButton, kSearchWithoutId, QRect(11445, 7260, 1275, 360)}};
    for (const Placed& b : buttons) {
        BTN[b.index] = makeButton(this, QStringLiteral("BTN%1").arg(b.index), b.caption, b.twips, kPoints, kButtonFace);
        // Enter belongs to the name box and the list, never to a dialog's default button.
        BTN[b.index]->setAutoDefault(false);
        connect(BTN[b.index], &QPushButton::clicked, this, [this, i = b.index] { BTN_Click(i); });
    }
}

void PRO010::buildList() {
    LST = new QTreeWidget(this);
    LST->setObjectName(QStringLiteral("LST"));
    LST->setGeometry(twipsRect(225, 1365, 12495, 5700));
    LST->setFont(msGothic(kPoints));
    LST->setRootIsDecorated(false);
    LST->setUniformRowHeights(true);
    LST->setSelectionMode(QAbstractItemView::SingleSelection);
    LST->setHeaderLabels({kDate, kStart, kEnd, kRoom, kName, texts::kAge, texts::kSex, texts::kDepartment,
                          texts::kBodyPart, texts::kStatus});
    LST->header()->setStretchLastSection(false);
    LST->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    LST->installEventFilter(this);
    connect(LST, &QTreeWidget::itemDoubleClicked, this, [this] { LST_Jump(); });
}

void PRO010::Form_Load() {
    centreOnScreen(this);
    setWindowTitle(texts::caption(ctx_.g.SYS_TITLE, kWindowName));
    fillSelectors();
    readMasters();
}

void PRO010::BTN_Click(int index) {
    switch (index) {
        case kSearchButton:
            NAME_SEARCH();
            break;
        case kFreeSlotButton:
            FREE_SEARCH();
            break;
        case kBackButton:
            close();
            break;
        case kWithoutIdButton:
            NO_ID_SEARCH();
            break;
        default:
            break;
    }
}

// Enter in the name box searches and Down moves into the results; Enter on a result jumps to it.
bool PRO010::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == TXT && enter) {
        NAME_SEARCH();
        return true;
    }
    if (watched == TXT && key == Qt::Key_Down && LST->topLevelItemCount() > 0) {
        LST->setFocus();
        LST->setCurrentItem(LST->topLevelItem(0));
        return true;
    }
    if (watched == LST && enter) {
        LST_Jump();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace kesola
