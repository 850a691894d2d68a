#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "store/BookingStore.h"
#include "store/PatientId.h"
#include "store/PatientRegister.h"
#include "ui/AppContext.h"
#include "ui/BoardView.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kesola {

class DbError;

// The reservation window: enters, changes or cancels the booking that starts in the board's chosen cell
// (SEL_CELL). The board takes the workstation lock before it opens the window and repaints and releases it
// after the window closes; the window itself takes no lock.
//
// A registration or cancellation whose booking another workstation changed meanwhile (the lock forced free with L
// while the window was open) writes nothing and says so; the window stays open with what was typed.
//
// Every database failure is shown as "データベースの処理に失敗しました。" and the engine's message, titled with the
// window's caption; the window then stays open with everything the user typed, and nothing is half-written.
class PRO002 : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kSelectorCount = 6;
    static constexpr int kTextCount = 4;
    static constexpr int kButtonCount = 3;
    static constexpr int kStartLabelCount = 2;
    static constexpr int kLabelCount = 19;
    // The selectors' indices; the ward selector stays hidden (bookings never choose a ward).
    enum Selector {
        kDurationSelector = 0,
        kDepartmentSelector = 1,
        kWardSelector = 2,
        kBodyPartSelector = 3,
        kSexSelector = 4,
        kStatusSelector = 5,
    };
    enum Button { kBackButton = 0, kRegisterButton = 1, kDeleteButton = 2 };
    // The text boxes' indices, and how many characters each lets the user type.
    enum TextBox { kNameBox = 0, kAgeBox = 1, kRemarksBox = 2, kPatientIdBox = 3 };
    static constexpr int kNameBoxLength = 20;
    static constexpr int kAgeBoxLength = 3;
    static constexpr int kRemarksBoxLength = 40;
    static constexpr int kPatientIdBoxLength = kPatientIdMaxLength;

    // The window reads the board's room and date selectors and its cell captions while it is open; the board
    // must outlive it.
    PRO002(AppContext& ctx, const BoardView& board, QWidget* parent = nullptr);

    // Centres the window, sets its caption and start time, fills the selectors and loads the booking that
    // starts in the chosen cell, if there is one.
    void Form_Load();
    // Filters a typed character; setting keyAscii to 0 discards it.
    void TXT_KeyPress(int index, int& keyAscii);
    void BTN_Click(int index);
    // "登録": validates, then stores the booking under the slot's key and closes the window.
    void RSV_SAVE();
    // "削除": asks, then deletes the booking under the slot's key and closes the window.
    void RSV_CANCEL();

    // CMB(0) duration, CMB(1) department, CMB(2) ward (hidden, never filled), CMB(3) body part, CMB(4) sex,
    // CMB(5) status.
    std::array<QComboBox*, kSelectorCount> CMB{};
    // TXT(0) name, TXT(1) age, TXT(2) remarks, TXT(3) the patient ID the scanner takes (ASCII; disabled on a
    // database that keeps no patient IDs).
    std::array<QLineEdit*, kTextCount> TXT{};
    // BTN(0) "戻る", BTN(1) "登録", BTN(2) "削除".
    std::array<QPushButton*, kButtonCount> BTN{};
    // The start hour and minute of the chosen cell.
    std::array<QLabel*, kStartLabelCount> SLBL{};
    // LBL(10) is the patient ID's title; LBL(12) to LBL(15) do not exist on this window.
    std::array<QLabel*, kLabelCount> LBL{};

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Layout
    void buildLabels();
    void buildSelectors();
    void buildTextBoxes();
    void buildButtons();
    void setTabOrders();

    // Loading
    void fillDurations();
    void fillFromMaster(QComboBox* selector, const QString& table, const QString& nameField);
    void fillSexAndStatus();
    void RSV_READ();
    // Runs one loading step; a database failure is shown and false returned.
    bool loadStep(const std::function<void()>& step);

    // The patient register (Pro002Register.cpp): leaving the ID box fills the empty name, sex and age from the
    // ID's register row and asks before replacing what was typed; a name that differs from the register's is
    // confirmed before it is stored. An ID the register does not hold changes nothing.
    void fillFromRegister();
    bool nameAgreesWithRegister();
    std::optional<RegisteredPatient> registeredPatient();

    // Registering
    bool entriesAreComplete();
    bool widthsFit();
    bool ageIsValid();
    bool overlapsLaterBookingOnBoard() const;
    void storeAndClose();

    // What the window reads of the board and of its own start-time captions.
    QString slotKey() const;
    QString cancelQuestion() const;
    Database& database() const;
    void refuse(const QString& message);

    AppContext& ctx_;
    const BoardView& board_;
    // The booking found under the slot's key at opening (none for a free cell): "登録" and "削除" write only while
    // the stored row is still this one.
    ShownBooking shown_;
    // The ID whose register row was last offered: leaving the box again without changing it asks nothing twice.
    QString offeredId_;
};

}  // namespace kesola
