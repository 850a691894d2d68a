#include <windows.h>

#include <QDir>

#include "ui/OneBoard.h"

namespace kesola::one_board {

// %TEMP%: the user's own folder (a terminal server keeps each user's apart); the session tells logons apart.
QString markFolder() { return QDir::tempPath(); }

QString displayKey() {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return QStringLiteral("session-%1").arg(session);
}

namespace {

BOOL CALLBACK raiseIfBoard(HWND window, LPARAM pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != static_cast<DWORD>(pid) || !IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    return TRUE;
}

}  // namespace

// The process the user just started may hand the foreground on; the running board, behind other windows, may not
// take it by itself.
void raiseBoardOf(qint64 pid) {
    AllowSetForegroundWindow(static_cast<DWORD>(pid));
    EnumWindows(raiseIfBoard, static_cast<LPARAM>(pid));
}

}  // namespace kesola::one_board
