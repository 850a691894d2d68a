#pragma once

#include <QFileSystemWatcher>
#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace kesola {

// One board per user and display (per logon session on Windows). A second board on the same desk would open on
// top of the first, and a reservation window forgotten in the hidden one keeps the workstation lock for every
// workstation. So a lock file marks the running board; a later start asks it to come to the front, by touching
// the file beside the lock, which the running board watches, and ends.
class OneBoard {
  public:
    // The marks in the platform's folder for them, under the user's display or session (OneBoardLinux.cpp,
    // OneBoardWindows.cpp).
    OneBoard();
    // The marks in `folder` under `displayKey` (tests).
    OneBoard(const QString& folder, const QString& displayKey);
    ~OneBoard();
    OneBoard(const OneBoard&) = delete;
    OneBoard& operator=(const OneBoard&) = delete;

    // True when this process is the board of its display: it now holds the mark. False when another board holds
    // it; that one has been asked to come to the front, and this process should end. A mark that cannot be made
    // (a folder that cannot be written) never keeps a board from starting: true.
    bool claim();

    // Calls `bringForward` whenever a later start asks. Requires: claim() returned true.
    void onFrontRequest(std::function<void()> bringForward);

  private:
    QString lockPath_;
    QString requestPath_;
    QLockFile lock_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
};

// Shows the window again if minimized, raises it and gives it the keyboard focus.
void bringToFront(QWidget* window);

// The platform's part (OneBoardLinux.cpp, OneBoardWindows.cpp).
namespace one_board {
// The user's own folder for the marks, and the key of the display or session within it.
QString markFolder();
QString displayKey();
// Brings the windows of the running board (process `pid`) to the front where the platform lets the process that
// starts do so itself (Windows gives the foreground to the program the user just started, not to one behind it).
void raiseBoardOf(qint64 pid);
}  // namespace one_board

}  // namespace kesola
