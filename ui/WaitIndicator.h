#pragma once

#include <QTimer>
#include <memory>

#include "store/engine/ConnectionThread.h"

class QLabel;

namespace kesola {

// Shows that a command waits for the store: a busy cursor after about half a second, and past about two seconds a
// small note that it waits for the database. The program installs one for its whole run (setCallWaitObserver).
class WaitIndicator : public CallWaitObserver {
  public:
    static constexpr int kCursorAfterMs = 500;
    static constexpr int kNoteAfterMs = 2000;

    WaitIndicator();
    ~WaitIndicator() override;

    void waitBegins() override;
    void waitEnds() override;

    // The note's window; hidden while no wait has lasted long enough.
    const QLabel* note() const { return note_.get(); }

  private:
    void showCursor();
    void showNote();

    QTimer cursorTimer_;
    QTimer noteTimer_;
    int depth_ = 0;
    bool cursorShown_ = false;
    std::unique_ptr<QLabel> note_;
};

}  // namespace kesola
