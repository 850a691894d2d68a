#include "board/Pro001.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "board/BoardTexts.h"
#include "board/CellLabel.h"
#include "store/Texts.h"
#include "ui/Controls.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"
#include "ui/WindowKit.h"

namespace kesola {

namespace {

using namespace board_texts;

const QColor kBoardButtonFace(192, 255, 192);
const QColor kHourCaptionBackground(224, 224, 224);
const QColor kUnreadableBackground(255, 255, 192);
const QColor kUnreadableText(255, 0, 0);

QColor hourRowColour(int row) {
    if (row <= 4) return QColor(192, 255, 255);
    if (row <= 9) return QColor(255, 255, 128);
    return QColor(128, 255, 128);
}

// A small timetable: the board's own colours, a few booked cells.
QIcon boardIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(kWindowBackground);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0, 0, 0));
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            const bool booked = (row + column) % 3 == 0;
            painter.fillRect(3 + column * 9, 5 + row * 6, 8, 5, booked ? QColor(0, 128, 176) : kFreeBackground);
            painter.drawRect(3 + column * 9, 5 + row * 6, 8, 5);
        }
    }
    return QIcon(pixmap);
}

}  // namespace

PRO001::PRO001(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("PRO001"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);
    setupFixedWindow(this, 15285, 10740, kWindowBackground, 9);
    setWindowIcon(boardIcon());
    buildControls();
    installKeyPreview();
    Timer1.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

PRO001::~PRO001() { Timer1.stop(); }

// ---------------------------------------------------------------------------------------------------------------
// Controls

void PRO001::buildControls() {
    buildHourHeaders();
    buildTimetable();
    buildTopRow();
    buildUnreadableLine();
}

// Over the first row of the grid, whose cells are empty while it shows; made last, so it stands on top.
void PRO001::buildUnreadableLine() {
    UNREADABLE = makeLabel(this, QStringLiteral("UNREADABLE"), kDatabaseUnreadable, QRect(1755, 900, 13305, 750), 12,
                           kUnreadableBackground, true);
    UNREADABLE->setAlignment(Qt::AlignCenter);
    setColours(UNREADABLE, kUnreadableBackground, kUnreadableText);
    UNREADABLE->setAttribute(Qt::WA_TransparentForMouseEvents);
    UNREADABLE->setVisible(false);
}

void PRO001::buildHourHeaders() {
    for (int r = 0; r < kHourRows; ++r) {
        const int top = 900 + 735 * r;
        Label1[r] = makeLabel(this, QStringLiteral("Label1_%1").arg(r), QString(), QRect(225, top, 1515, 750), 9,
                              hourRowColour(r), true);
        const QRect header = r == 0   ? QRect(750, 1125 + 735 * r, 660, 300)
                             : r <= 2 ? QRect(735, 1125 + 735 * r, 660, 300)
                                      : QRect(615, 1125 + 735 * r, 780, 300);
        Label2[r] = makeLabel(this, QStringLiteral("Label2_%1").arg(r), QStringLiteral("%1：00").arg(kFirstHour + r),
                              header, 12, kHourCaptionBackground);
    }
}

void PRO001::buildTimetable() {
    for (int i = 0; i < kCellCount; ++i) {
        const int row = i / kCellsPerHour;
        const int column = i % kCellsPerHour;
        auto* cell = new CellLabel(this);
        cell->setObjectName(QStringLiteral("TTBL%1").arg(i));
        cell->setGeometry(twipsRect(1755 + 2220 * column, 900 + 735 * row, 2205, 750));
        cell->setFont(msGothic(12));
        cell->setTextFormat(Qt::PlainText);
        cell->setFrameStyle(QFrame::Box | QFrame::Plain);
        setColours(cell, kFreeBackground, QColor(0, 0, 0));
        cell->installEventFilter(this);
        TTBL[i] = cell;
    }
}

void PRO001::buildTopRow() {
    const QRect selectors[kSelectorCount] = {QRect(225, 225, 2730, 360), QRect(3135, 225, 825, 360),
                                             QRect(4245, 225, 630, 360), QRect(5160, 225, 630, 360)};
    for (int i = 0; i < kSelectorCount; ++i) {
        CMB[i] = makeDropDown(this, QStringLiteral("CMB%1").arg(i), selectors[i], 12);
        onEverySelection(CMB[i], this, [this, i] { CMB_Click(i); });
    }
    LBL[0] = makeAutoSizeLabel(this, QStringLiteral("LBL0"), texts::kYearUnit, 3975, 285, 12);
    LBL[1] = makeAutoSizeLabel(this, QStringLiteral("LBL1"), texts::kMonthUnit, 4905, 285, 12);
    LBL[3] = makeAutoSizeLabel(this, QStringLiteral("LBL3"), texts::kDayUnit, 5820, 270, 12);
    const struct {
        int index;
        const char* caption;
        int left;
    } minuteHeaders[] = {{4, "00", 1650},  {5, "10", 3870},  {6, "20", 6075},  {7, "30", 8310},
                         {8, "40", 10515}, {9, "50", 12750}, {10, "00", 14925}};
    for (const auto& h : minuteHeaders) {
        LBL[h.index] = makeAutoSizeLabel(this, QStringLiteral("LBL%1").arg(h.index), QString::fromLatin1(h.caption),
                                         h.left, 660, 12);
    }
    YOUBI = makeAutoSizeLabel(this, QStringLiteral("YOUBI"), QString(), 6345, 270, 12);

    const int buttonLeft[kButtonCount] = {8385, 13560, 11835, 10110};
    for (int i = 0; i < kButtonCount; ++i) {
        BTN[i] = makeButton(this, QStringLiteral("BTN%1").arg(i), kButtonCaptions[i],
                            QRect(buttonLeft[i], 210, 1485, 360), 12, kBoardButtonFace);
        connect(BTN[i], &QPushButton::clicked, this, [this, i] { BTN_Click(i); });
    }
    setTabChain({CMB[0], CMB[1], CMB[2], CMB[3], BTN[kCsv], BTN[kPrint], BTN[kMasters], BTN[kExit]});
}

// The board sees every key before the control that has the focus.
void PRO001::installKeyPreview() {
    installEventFilter(this);
    for (QComboBox* combo : CMB) {
        combo->installEventFilter(this);
        // An open selector list has the keys to itself; installed after the list's own filter, this one runs first.
        combo->view()->installEventFilter(this);
        lists_.insert(combo->view());
    }
    for (QPushButton* button : BTN) button->installEventFilter(this);
}

bool PRO001::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < kCellCount; ++i) {
            if (watched == TTBL[i]) {
                TTBL_DblClick(i);
                return true;
            }
        }
    }
    // A key that a control leaves unused travels on to the board; it was previewed at the control already.
    const bool passedOnByControl = watched == this && focusWidget() && focusWidget() != this;
    // An open selector list chooses on Enter as the key goes down, when Qt asks whether the key is a shortcut,
    // before any character exists: the choice is made, and the Enter character that follows is discarded below.
    // A closed selector or a button would take Enter as a character only, so it is stopped here already.
    if (event->type() == QEvent::ShortcutOverride && !passedOnByControl && !lists_.contains(watched)) {
        if (static_cast<QKeyEvent*>(event)->text().startsWith(u'\r')) return true;
    }
    if (event->type() == QEvent::KeyPress && !passedOnByControl) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F && key->modifiers() == Qt::ControlModifier) {
            SEARCH_OPEN();
            return true;
        }
        if (!key->text().isEmpty()) {
            int code = key->text().at(0).unicode();
            Form_KeyPress(code);
            if (code == 0) return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------------------------
// What the reservation window reads

QString PRO001::roomCode() const { return chosenRoomCode(CMB[0]); }
QString PRO001::roomText() const { return CMB[0]->currentText(); }
QString PRO001::yearText() const { return CMB[1]->currentText(); }
QString PRO001::monthText() const { return CMB[2]->currentText(); }
QString PRO001::dayText() const { return CMB[3]->currentText(); }
QString PRO001::cellCaption(int cell) const { return cell >= 0 && cell < kCellCount ? grid_[cell].caption : QString(); }

}  // namespace kesola
