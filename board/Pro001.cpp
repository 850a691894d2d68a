#include "board/Pro001.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "board/BoardTexts.h"
#include "board/CellLabel.h"
#include "masters/Pro003.h"
#include "reservation/Pro002.h"
#include "store/Clock.h"
#include "store/DateCheck.h"
#include "store/DbError.h"
#include "store/MasterList.h"
#include "store/Numbers.h"
#include "store/OpenDatabase.h"
#include "store/PostgresUri.h"
#include "store/SettingsFile.h"
#include "store/Texts.h"
#include "store/WorkstationLock.h"
#include "tools/Pro008.h"
#include "tools/Pro009.h"
#include "ui/Controls.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"

namespace kesola {

namespace {

using namespace board_texts;

const QColor kBoardBackground(255, 224, 192);
const QColor kButtonFace(192, 255, 192);
const QColor kWhite(255, 255, 255);

enum Button { kCsv = 0, kExit = 1, kMasters = 2, kPrint = 3 };

QColor hourRowColour(int row) {
    if (row <= 4) return QColor(192, 255, 255);
    if (row <= 9) return QColor(255, 255, 128);
    return QColor(128, 255, 128);
}

// A small timetable: the board's own colours, a few booked cells.
QIcon boardIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(kBoardBackground);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0, 0, 0));
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            const bool booked = (row + column) % 3 == 0;
            painter.fillRect(3 + column * 9, 5 + row * 6, 8, 5, booked ? QColor(0, 128, 176) : kWhite);
            painter.drawRect(3 + column * 9, 5 + row * 6, 8, 5);
        }
    }
    return QIcon(pixmap);
}

QString displayed(const QString& caption) {
    QString text = caption;
    text.replace(u'\r', u'\n');
    return text;
}

}  // namespace

PRO001::PRO001(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("PRO001"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);
    setupFixedWindow(this, 15285, 10740, kBoardBackground, 9);
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
                              header, 12, QColor(224, 224, 224));
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
        setColours(cell, kWhite, QColor(0, 0, 0));
        cell->installEventFilter(this);
        TTBL[i] = cell;
    }
}

void PRO001::buildTopRow() {
    const QRect selectors[kSelectorCount] = {QRect(225, 225, 2730, 360), QRect(3135, 225, 825, 360),
                                             QRect(4245, 225, 630, 360), QRect(5160, 225, 630, 360)};
    for (int i = 0; i < kSelectorCount; ++i) {
        CMB[i] = makeDropDown(this, QStringLiteral("CMB%1").arg(i), selectors[i], 12);
        connect(CMB[i], &QComboBox::currentIndexChanged, this, [this, i] { CMB_Click(i); });
    }
    LBL[0] = makeAutoSizeLabel(this, QStringLiteral("LBL0"), QStringLiteral("年"), 3975, 285, 12);
    LBL[1] = makeAutoSizeLabel(this, QStringLiteral("LBL1"), QStringLiteral("月"), 4905, 285, 12);
    LBL[3] = makeAutoSizeLabel(this, QStringLiteral("LBL3"), QStringLiteral("日"), 5820, 270, 12);
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
                            QRect(buttonLeft[i], 210, 1485, 360), 12, kButtonFace);
        connect(BTN[i], &QPushButton::clicked, this, [this, i] { BTN_Click(i); });
    }
    QWidget* order[] = {CMB[0], CMB[1], CMB[2], CMB[3], BTN[kCsv], BTN[kPrint], BTN[kMasters], BTN[kExit]};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

// The board sees every key before the control that has the focus.
void PRO001::installKeyPreview() {
    installEventFilter(this);
    for (QComboBox* combo : CMB) {
        combo->installEventFilter(this);
        // An open selector list has the keys to itself; installed after the list's own filter, this one runs first.
        combo->view()->installEventFilter(this);
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
    if (event->type() == QEvent::ShortcutOverride && !passedOnByControl) {
        // An open selector list takes Enter already when asked whether the key is a shortcut.
        if (static_cast<QKeyEvent*>(event)->text().startsWith(u'\r')) return true;
    }
    if (event->type() == QEvent::KeyPress && !passedOnByControl) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty()) {
            int code = key->text().at(0).unicode();
            Form_KeyPress(code);
            if (code == 0) return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------------------------
// Start-up

void PRO001::Form_Load() {
    centreOnScreen(this, 220);
    if (ctx_.g.PATH_APP.isEmpty()) ctx_.g.PATH_APP = QCoreApplication::applicationDirPath();
    if (!ctx_.g.PATH_APP.endsWith(u'/')) ctx_.g.PATH_APP += u'/';
    // From here on a failing step is passed over and start-up goes on, so the board always opens.
    readSettings();
    openDatabase();
    readTitle();
    fillRooms();
    setWindowTitle(texts::caption(ctx_.g.SYS_TITLE, kWindowName));
    fillDateSelectors();
    selectToday();
    MST_READ();
    Timer1.start();
    if (databaseOpenFailed_) QTimer::singleShot(0, this, [this] { reportOpenFailure(); });
}

void PRO001::readSettings() {
    const QString path = ctx_.g.PATH_APP + texts::kSettingsFileName;
    std::optional<QString> location = readSettingsFile(path);
    if (!location) {
        PRO008 window(ctx_, this);
        window.Form_Load();
        ctx_.modal.showModal(window);
        location = readSettingsFile(path);
    }
    ctx_.g.PATH_DB = location.value_or(QString());
}

void PRO001::openDatabase() {
    try {
        ctx_.g.DB = kesola::openDatabase(ctx_.g.PATH_DB);
    } catch (const DbError&) {
        ctx_.g.DB.reset();
        databaseOpenFailed_ = true;
    }
}

void PRO001::readTitle() {
    if (!ctx_.g.DB) return;
    try {
        auto table = ctx_.g.DB->openTable(QStringLiteral("SYSTEM"));
        if (table->seek(QStringLiteral("1"))) {
            const QString title = table->field(QStringLiteral("SNAME"));
            if (!trimBlanks(title).isEmpty()) ctx_.g.SYS_TITLE = title;
        }
        table->close();
    } catch (const DbError&) {
    }
}

void PRO001::fillRooms() {
    if (!ctx_.g.DB) return;
    try {
        for (const MasterEntry& room : readMasterList(*ctx_.g.DB, QStringLiteral("ROOM"), QStringLiteral("RNAME"))) {
            CMB[0]->addItem(room.name);
        }
    } catch (const DbError&) {
    }
    CMB[0]->setCurrentIndex(-1);
}

void PRO001::fillDateSelectors() {
    const QSignalBlocker b1(CMB[1]), b2(CMB[2]), b3(CMB[3]);
    for (int y = kFirstYear; y <= kLastYear; ++y) CMB[1]->addItem(QString::number(y));
    for (int m = 1; m <= 12; ++m) CMB[2]->addItem(QString::number(m));
    for (int d = 1; d <= 31; ++d) CMB[3]->addItem(QString::number(d));
    for (int i = 1; i <= 3; ++i) CMB[i]->setCurrentIndex(-1);
}

void PRO001::selectToday() {
    const QDate today = ctx_.g.clock->today();
    // Each selection raises CMB_Click; the third finds all three set and shows the weekday.
    CMB[1]->setCurrentIndex(CMB[1]->findText(QString::number(today.year())));
    CMB[2]->setCurrentIndex(CMB[2]->findText(QString::number(today.month())));
    CMB[3]->setCurrentIndex(CMB[3]->findText(QString::number(today.day())));
}

void PRO001::reportOpenFailure() {
    ctx_.messages().notice(texts::kDatabaseNotOpened + u'\n' + withoutPassword(ctx_.g.PATH_DB), windowTitle());
}

void PRO001::MST_READ() { masters_.MST_READ(ctx_.g.DB.get()); }

// ---------------------------------------------------------------------------------------------------------------
// Painting

void PRO001::TTBL_SET() {
    TimetableGrid grid;
    if (ctx_.g.DB && !roomText().isEmpty() && !yearText().isEmpty() && !monthText().isEmpty() && !dayText().isEmpty() &&
        DATE_CHECK(yearText(), monthText(), dayText()).isEmpty()) {
        const QString prefix = dayKeyPrefix(roomPosition() + 1, yearText(), monthText(), dayText());
        try {
            auto day = ctx_.g.DB->select(QStringLiteral("SELECT * FROM KESOLA WHERE CODE LIKE '") + prefix +
                                         QStringLiteral("*' ORDER BY CODE ASC;"));
            paintReservations(grid, *day, masters_);
            day->close();
        } catch (const DbError&) {
        }
    }
    applyGrid(grid);
}

// Only cells whose paint changed are touched: most ticks change nothing, and an idle board should cost nothing.
void PRO001::applyGrid(const TimetableGrid& grid) {
    for (int i = 0; i < kCellCount; ++i) {
        if (grid[i] == grid_[i] && TTBL[i]->autoFillBackground()) continue;
        if (grid[i].caption != grid_[i].caption) TTBL[i]->setText(displayed(grid[i].caption));
        setColours(TTBL[i], grid[i].background, grid[i].text);
        grid_[i] = grid[i];
    }
}

void PRO001::Timer1_Timer() { TTBL_SET(); }

// ---------------------------------------------------------------------------------------------------------------
// Selection

void PRO001::CMB_Click(int /*index*/) {
    if (yearText().isEmpty() || monthText().isEmpty() || dayText().isEmpty()) {
        YOUBI->clear();
        YOUBI->adjustSize();
        return;
    }
    const QDate date = QDate::fromString(yearText() + u'/' + twoDigits(monthText()) + u'/' + twoDigits(dayText()),
                                         QStringLiteral("yyyy/MM/dd"));
    YOUBI->setText(date.isValid() ? QLocale(QLocale::Japanese).dayName(date.dayOfWeek(), QLocale::LongFormat)
                                  : QString());
    YOUBI->adjustSize();
    if (DATE_CHECK(yearText(), monthText(), dayText()) == QStringLiteral("NG")) {
        ctx_.messages().notice(texts::kWrongDate, windowTitle());
    }
}

void PRO001::TTBL_DblClick(int index) {
    Timer1.stop();
    TTBL_SET();
    const CellPaint& cell = grid_[index];
    const QString title = windowTitle();
    if (cell.caption.isEmpty() && cell.background != kWhite) {
        ctx_.messages().notice(texts::kSlotTaken, title);
    } else if (roomText().isEmpty()) {
        ctx_.messages().notice(kChooseRoom, title);
    } else if (yearText().isEmpty()) {
        ctx_.messages().notice(kChooseYear, title);
    } else if (monthText().isEmpty()) {
        ctx_.messages().notice(kChooseMonth, title);
    } else if (dayText().isEmpty()) {
        ctx_.messages().notice(kChooseDay, title);
    } else if (DATE_CHECK(yearText(), monthText(), dayText()) == QStringLiteral("NG")) {
        ctx_.messages().notice(texts::kWrongDate, title);
    } else {
        ctx_.g.SEL_CELL = static_cast<std::int16_t>(index);
        underLock([this] {
            PRO002 window(ctx_, *this, this);
            window.Form_Load();
            ctx_.modal.showModal(window);
        });
    }
    Timer1.start();
}

// ---------------------------------------------------------------------------------------------------------------
// Commands

void PRO001::underLock(const std::function<void()>& action) {
    if (LOCK_SET(ctx_.g, 1) == QStringLiteral("NG")) return;
    action();
    TTBL_SET();
    LOCK_SET(ctx_.g, 0);
}

void PRO001::BTN_Click(int index) {
    Timer1.stop();
    switch (index) {
        case kExit:
            if (ctx_.messages().confirm(kExitQuestion, windowTitle())) {
                close();
                return;
            }
            break;
        case kCsv:
            underLock([this] {
                PRO009 window(ctx_, this);
                window.Form_Load();
                ctx_.modal.showModal(window);
            });
            break;
        case kMasters:
            underLock([this] {
                {
                    PRO003 window(ctx_, this);
                    window.Form_Load();
                    ctx_.modal.showModal(window);
                }
                MST_READ();
            });
            break;
        case kPrint:
            underLock([this] { printBoard(); });
            break;
        default:
            break;
    }
    Timer1.start();
}

void PRO001::printBoard() {
    QString error;
    if (!ctx_.printer.printImage(grab().toImage(), &error)) ctx_.messages().notice(kPrintFailed, windowTitle());
}

void PRO001::Form_KeyPress(int& keyAscii) {
    if (keyAscii == 'L' || keyAscii == 'l') {
        Timer1.stop();
        LOCK_RESET();
        Timer1.start();
    }
    if (keyAscii == '\r') keyAscii = 0;
}

void PRO001::LOCK_RESET() {
    if (!ctx_.messages().confirm(texts::kLockResetQuestion, windowTitle())) return;
    try {
        releaseLock(ctx_.g);
    } catch (const DbError& e) {
        ctx_.messages().notice(texts::databaseFailed(e.message()), ctx_.g.SYS_TITLE);
    }
}

void PRO001::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void PRO001::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Timer1.stop();
    ctx_.g.DB.reset();
}

// ---------------------------------------------------------------------------------------------------------------
// What the reservation window reads

int PRO001::roomPosition() const { return CMB[0]->currentIndex(); }
QString PRO001::roomText() const { return CMB[0]->currentText(); }
QString PRO001::yearText() const { return CMB[1]->currentText(); }
QString PRO001::monthText() const { return CMB[2]->currentText(); }
QString PRO001::dayText() const { return CMB[3]->currentText(); }
QString PRO001::cellCaption(int cell) const { return cell >= 0 && cell < kCellCount ? grid_[cell].caption : QString(); }

}  // namespace kesola
