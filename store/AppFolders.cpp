#include "store/AppFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include "store/SettingsFile.h"
#include "store/Texts.h"

namespace kesola {

namespace {

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Permission bits do not tell the whole story (read-only mounts, ACLs, a root user), so a file is really made.
bool canWriteIn(const QString& folder) {
    if (!QFileInfo(folder).isDir()) return false;
    QTemporaryFile probe(withSlash(folder) + QStringLiteral(".kesola-probe-XXXXXX"));
    return probe.open();
}

}  // namespace

QString choosePathApp(const AppFolders& folders) {
    if (canWriteIn(folders.programFolder)) return withSlash(folders.programFolder);
    QDir().mkpath(folders.userFolder);
    return withSlash(folders.userFolder);
}

QString nativeFilePath(const QString& folder, const QString& fileName) {
    return QDir::toNativeSeparators(withSlash(folder) + fileName);
}

bool workstationSettingsBind(const QString& systemSettingsFile) {
    return !systemSettingsFile.isEmpty() && settingsFileBinds(systemSettingsFile);
}

std::optional<QString> readStartupSettings(const QString& pathApp, const QString& systemSettingsFile) {
    // IT's binding file wins: a database moved by IT reaches every workstation, also those whose users once chose.
    if (workstationSettingsBind(systemSettingsFile)) return readSettingsFile(systemSettingsFile).value_or(QString());
    if (auto own = readSettingsFile(pathApp + texts::kSettingsFileName)) return own;
    if (systemSettingsFile.isEmpty() || !QFileInfo::exists(systemSettingsFile)) return std::nullopt;
    return readSettingsFile(systemSettingsFile).value_or(QString());
}

}  // namespace kesola
