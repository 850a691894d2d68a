#pragma once

#include <QString>
#include <optional>

namespace kesola {

// Where a workstation keeps its settings file and its export. A copied or portable installation keeps them in the
// program's folder; an installed program's users cannot write there, so each keeps them in a folder of their own,
// and a settings file that IT provisions once per workstation stands behind theirs.
struct AppFolders {
    QString programFolder;       // the running program's folder
    QString userFolder;          // the user's own folder for the program, made when first needed
    QString systemSettingsFile;  // the workstation's settings file; empty for none
};

// The running program's folders: its own; the user's ~/.local/share/kesola (%LOCALAPPDATA%\kesola on Windows);
// IT's /etc/kesola/KESOLA.INI (%ProgramData%\kesola\KESOLA.INI on Windows). Needs the application object.
// AppFoldersLinux.cpp and AppFoldersWindows.cpp, one of which the build chooses, give it.
AppFolders thisProgramsFolders();

// PATH_APP: the program's folder while it can be written, otherwise the user's folder, made when missing. A user
// folder that cannot be made is still the answer: writing the settings file there fails and the location window
// says so. Decided afresh at every start; always ends with "/".
QString choosePathApp(const AppFolders& folders);

// The path of a file in a folder (given with "/") as the platform writes it, with one separator between them:
// "D:\\DATA\\KESOLA.MDB" and "C:\\KESOLA.MDB" on Windows, "/srv/mri/KESOLA.MDB" on Linux.
QString nativeFilePath(const QString& folder, const QString& fileName);

// True when the workstation's settings file binds (its second line is "enforce"): IT sets the location.
bool workstationSettingsBind(const QString& systemSettingsFile);

// The database location at start-up: the workstation's file when it binds; otherwise PATH_APP's settings file; when
// that cannot be opened and the workstation's file exists, the first field of that one (empty when it cannot be read,
// which opens no database). No value when neither exists: the location window asks.
std::optional<QString> readStartupSettings(const QString& pathApp, const QString& systemSettingsFile);

}  // namespace kesola
