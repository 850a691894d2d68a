#include <shlobj.h>
#include <windows.h>

#include <QCoreApplication>
#include <QDir>

#include "store/AppFolders.h"
#include "store/Texts.h"

namespace kesola {

namespace {

// A known folder of Windows ("C:/ProgramData"), asked of Windows itself rather than of an environment variable that
// a login script may have changed. Empty when Windows has none.
QString knownFolder(const KNOWNFOLDERID& id) {
    PWSTR path = nullptr;
    QString folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)))
        folder = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    CoTaskMemFree(path);
    return folder;
}

}  // namespace

// Staff cannot write to Program Files: what the program writes goes to %LOCALAPPDATA%\kesola (this machine's, not
// roaming: the export is a file of this workstation), and IT's machine-wide settings live in %ProgramData%\kesola.
AppFolders thisProgramsFolders() {
    const QString programName = QStringLiteral("kesola");
    const QString local = knownFolder(FOLDERID_LocalAppData);
    const QString machine = knownFolder(FOLDERID_ProgramData);
    return {QCoreApplication::applicationDirPath(), local.isEmpty() ? QString() : local + u'/' + programName,
            machine.isEmpty() ? QString() : machine + u'/' + programName + u'/' + texts::kSettingsFileName};
}

}  // namespace kesola
