#pragma once

#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <array>

#include "board/DayPainting.h"
#include "board/MasterLookup.h"
#include "ui/AppContext.h"
#include "ui/BoardView.h"
#include "ui/DayChooser.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace kesola {

// The reservation board: one room's day in 78 ten-minute cells, repainted from the database twice a second.
// It is the program's main window and opens every other window.
class PRO001 : public QWidget, public BoardView, public DayChooser {
    Q_OBJECT
  public:
    static constexpr int kSelectorCount = 4;
    static constexpr int kButtonCount = 4;
    static constexpr int kLabelCount = 11;
    static constexpr int kHourRows = 13;
    // The buttons' indices.
    enum Button { kCsv = 0, kExit = 1, kMasters = 2, kPrint = 3 };

    explicit PRO001(AppContext& ctx, QWidget* parent = nullptr);
    ~PRO001() override;

    // Start-up: settings file, database, title, selectors set to today, lookup tables, timer.
    void Form_Load();
    void MST_READ();
    void TTBL_SET();
    void CMB_Click(int index);
    void Timer1_Timer();
    void TTBL_DblClick(int index);
    void BTN_Click(int index);
    // Sees every typed character before the focused control; sets keyAscii to 0 to discard it.
    void Form_KeyPress(int& keyAscii);
    void Form_Unload();
    void LOCK_RESET();
    // Ctrl+F: the search window, which only reads and so takes no lock; a result chosen there sets the selectors.
    void SEARCH_OPEN();

    // BoardView
    QString roomCode() const override;
    QString roomText() const override;
    QString yearText() const override;
    QString monthText() const override;
    QString dayText() const override;
    QString cellCaption(int cell) const override;
    QString boardCaption() const override { return windowTitle(); }

    // DayChooser
    bool chooseDay(int roomIndex, QDate date) override;
    std::vector<MasterEntry> roomEntries() const override;
    int chosenRoomIndex() const override;
    QDate chosenDate() const override;

    const CellPaint& cell(int index) const { return grid_[index]; }
    // True while a tick's read has not come back.
    bool repaintPending() const { return repaintPending_; }
    const MasterLookup& lookups() const { return masters_; }

    std::array<QComboBox*, kSelectorCount> CMB{};
    std::array<QPushButton*, kButtonCount> BTN{};
    std::array<QLabel*, kLabelCount> LBL{};  // LBL(2) does not exist on this window
    std::array<QLabel*, kCellCount> TTBL{};
    std::array<QLabel*, kHourRows> Label1{};
    std::array<QLabel*, kHourRows> Label2{};
    QLabel* YOUBI = nullptr;
    QTimer Timer1;
    // A line over the grid while the database cannot be read, so that an empty grid never reads as a free day.
    QLabel* UNREADABLE = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void buildTimetable();
    void buildHourHeaders();
    void buildTopRow();
    void buildUnreadableLine();
    void installKeyPreview();

    void readSettings();
    void openDatabase();
    void readTitle();
    void fillRooms();
    void selectToday();
    void reportOpenFailure();
    void warnIfReadOnly();
    // The store under PATH_DB was opened again or dropped: reloads the lookup tables and, for a board that started
    // without a database, what start-up could not read then (title, rooms, caption).
    void storeChanged();
    void showUnreadable(bool unreadable);
    bool timeToLookForStore();

    // The day key prefix of the room and date selected; empty while any is missing or the date does not exist.
    QString selectedDayPrefix() const;
    void startRepaint();
    void showRead(const DayRead& read, const QString& prefix);
    void showDay(const TimetableGrid& grid, const QString& prefix);
    void keepCellsOfSelectedDay();
    void applyGrid(const TimetableGrid& grid);
    // Runs a command under the workstation lock, then repaints and gives the lock back; does nothing when
    // another workstation holds the lock (LOCK_SET has said so).
    void underLock(const std::function<void()>& action);
    void printBoard();
    void showDatabaseFailure(const QString& engineMessage, const QString& title);

    AppContext& ctx_;
    MasterLookup masters_;
    TimetableGrid grid_;
    QString shownDay_;  // the day prefix whose cells grid_ shows; empty for none
    bool repaintPending_ = false;
    int ticksWaited_ = 0;  // ticks passed over while a read was out
    // Since the last look for a store that start-up could not open; invalid once one is open.
    QElapsedTimer sinceLookedForStore_;
    bool inTick_ = false;
    bool unloaded_ = false;
    QSet<const QObject*> lists_;  // the selectors' drop-down lists
};

}  // namespace kesola
