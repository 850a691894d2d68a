#pragma once

#include <utility>

class QDialog;

namespace kesola {

// Every modal window is shown through this service; tests install one that acts inside the window instead of
// waiting for a user.
class ModalService {
  public:
    virtual ~ModalService() = default;
    // Shows the dialog modally and returns when it has closed.
    virtual void showModal(QDialog& dialog) = 0;
};

// Opens a window the way the system always does: built afresh (so nothing typed survives its closing), loaded
// with its Form_Load, shown modally, destroyed once it has closed.
template <typename Window, typename... Args>
void showFreshWindow(ModalService& modal, Args&&... args) {
    Window window(std::forward<Args>(args)...);
    window.Form_Load();
    modal.showModal(window);
}

class QtModalService : public ModalService {
  public:
    void showModal(QDialog& dialog) override;
};

}  // namespace kesola
