#pragma once

#include <QDialog>
#include <array>

#include "ui/AppContext.h"

class QPushButton;

namespace kesola {

// The maintenance menu: one button per master editor and one back to the board. It holds no data; the board
// holds the workstation lock while the menu is open and reloads its lookup tables when it closes.
class PRO003 : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kButtonCount = 5;
    enum Button { kBodyParts = 0, kUnused = 1, kDepartments = 2, kRooms = 3, kBack = 4 };

    explicit PRO003(AppContext& ctx, QWidget* parent = nullptr);
    // Centres the menu and sets its caption.
    void Form_Load();
    // Opens the chosen editor modally, each time a new one with a freshly built list; "戻る" closes the menu.
    void BTN_Click(int index);

    std::array<QPushButton*, kButtonCount> BTN{};  // BTN(1) is never shown

  private:
    template <typename Editor>
    void openEditor();

    AppContext& ctx_;
};

}  // namespace kesola
