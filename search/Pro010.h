#pragma once

#include <QDate>
#include <QDialog>
#include <array>
#include <vector>

#include "store/MasterList.h"
#include "ui/AppContext.h"
#include "ui/DayChooser.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace kesola {

class DbError;
struct FoundBooking;
struct FreeSlot;

// The search window: a patient's bookings by name within a period, and the free starts of a room from a date.
// Enter or a double-click on a result shows its room and day on the board and closes the window. It only reads
// and takes no lock. Database failures are shown as "データベースの処理に失敗しました。" with the engine's message.
class PRO010 : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kSelectorCount = 11;
    static constexpr int kButtonCount = 4;
    static constexpr int kLabelCount = 14;
    // The selectors: the period's first and last date, the free slot's room, duration and first date.
    enum Selector {
        kFromYear = 0,
        kFromMonth = 1,
        kFromDay = 2,
        kToYear = 3,
        kToMonth = 4,
        kToDay = 5,
        kRoomSelector = 6,
        kDurationSelector = 7,
        kFirstYear = 8,
        kFirstMonth = 9,
        kFirstDay = 10,
    };
    enum Button { kSearchButton = 0, kFreeSlotButton = 1, kBackButton = 2, kWithoutIdButton = 3 };
    static constexpr int kNameBoxLength = 20;
    // The columns of the result list.
    static constexpr int kColumnCount = 10;

    // The board must outlive the window.
    PRO010(AppContext& ctx, DayChooser& board, QWidget* parent = nullptr);

    // Centres the window, sets its caption, fills the selectors: the period from a month before today (no end); the
    // free slot's rooms as the board lists them, from the board's room and day (today when the board's has passed).
    void Form_Load();
    void BTN_Click(int index);
    // The patient search: every booking whose name holds the typed text, within the period.
    void NAME_SEARCH();
    // The free-slot search: at least ten starts at which the room is free for the duration, ending by 20:00, none
    // that has passed. A first date before today is refused.
    void FREE_SEARCH();
    // The bookings still to be done of the free slot's first date, in every room, that have no patient ID: the
    // scanners are not offered them until reception enters one.
    void NO_ID_SEARCH();
    // Shows the chosen result's room and day on the board and closes the window; says so when the board cannot.
    void LST_Jump();

    QLineEdit* TXT = nullptr;
    std::array<QComboBox*, kSelectorCount> CMB{};
    std::array<QPushButton*, kButtonCount> BTN{};
    std::array<QLabel*, kLabelCount> LBL{};
    QTreeWidget* LST = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildHeadings();
    void buildSelectors();
    void buildButtons();
    void buildList();
    void fillSelectors();
    void readMasters();
    void showBookings(const std::vector<FoundBooking>& found);
    void reportFailure(const DbError& e);

    AppContext& ctx_;
    DayChooser& board_;
    // The named rooms, departments and body parts, by code: the names a result shows.
    std::vector<MasterEntry> rooms_;
    std::vector<MasterEntry> departments_;
    std::vector<MasterEntry> bodyParts_;
    // The board's room selector entries, which the room selector here offers in the same order.
    std::vector<MasterEntry> boardRooms_;
};

// The entry of a room code among a room selector's entries; -1 when the room has none.
int boardRoomIndex(const std::vector<MasterEntry>& rooms, const QString& roomCode);

}  // namespace kesola
