#pragma once

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

class QtModalService : public ModalService {
  public:
    void showModal(QDialog& dialog) override;
};

}  // namespace kesola
