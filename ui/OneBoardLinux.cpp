#include <QStandardPaths>

#include "ui/OneBoard.h"

namespace kesola::one_board {

// $XDG_RUNTIME_DIR: the user's own, emptied at logout, so no mark outlives the session.
QString markFolder() { return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation); }

QString displayKey() {
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    return qEnvironmentVariable("DISPLAY", wayland.isEmpty() ? QStringLiteral("none") : wayland);
}

// An X11 window manager decides what comes forward; the running board asks it itself.
void raiseBoardOf(qint64 /*pid*/) {}

}  // namespace kesola::one_board
