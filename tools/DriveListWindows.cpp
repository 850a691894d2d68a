#include <windows.h>
#include <winnetwk.h>

#include <QDir>

#include "tools/DriveList.h"

namespace kesola {

namespace {

// The drive letters Windows has now: local disks, removable drives (listed also when empty, as Explorer does),
// and mapped network drives that are connected.
QStringList logicalDrives() {
    wchar_t buffer[512];
    const DWORD length = GetLogicalDriveStringsW(sizeof buffer / sizeof buffer[0], buffer);
    QStringList roots;
    for (const wchar_t* drive = buffer; drive < buffer + length && *drive; drive += wcslen(drive) + 1)
        roots << QDir::fromNativeSeparators(QString::fromWCharArray(drive));
    return roots;
}

// Mapped network drives that Windows remembers but has not reconnected yet (a share that was away at logon):
// the file server's database is on one of them, and choosing it reconnects it.
QStringList rememberedNetworkDrives() {
    QStringList roots;
    HANDLE enumeration = nullptr;
    if (WNetOpenEnumW(RESOURCE_REMEMBERED, RESOURCETYPE_DISK, 0, nullptr, &enumeration) != NO_ERROR) return roots;
    alignas(NETRESOURCEW) char buffer[16384];
    for (;;) {
        DWORD count = static_cast<DWORD>(-1);
        DWORD size = sizeof buffer;
        if (WNetEnumResourceW(enumeration, &count, buffer, &size) != NO_ERROR) break;
        const auto* resources = reinterpret_cast<const NETRESOURCEW*>(buffer);
        for (DWORD i = 0; i < count; ++i) {
            const wchar_t* local = resources[i].lpLocalName;
            if (local && local[0] && local[1] == L':') roots << QString::fromWCharArray(local, 2) + u'/';
        }
    }
    WNetCloseEnum(enumeration);
    return roots;
}

}  // namespace

QStringList machineDriveRoots() {
    QStringList roots = logicalDrives();
    for (const QString& remembered : rememberedNetworkDrives()) {
        if (!roots.contains(remembered, Qt::CaseInsensitive)) roots << remembered;
    }
    roots.sort(Qt::CaseInsensitive);
    return roots;
}

QString driveCaption(const QString& root) {
    const QString native = QDir::toNativeSeparators(root);
    wchar_t remote[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    const std::wstring drive = native.left(2).toStdWString();
    const DWORD status = WNetGetConnectionW(drive.c_str(), remote, &length);
    // A mapped drive answers from its mapping, also when it is not connected now.
    if ((status == NO_ERROR || status == ERROR_CONNECTION_UNAVAIL) && remote[0])
        return native + QStringLiteral(" (") + QString::fromWCharArray(remote) + u')';
    return native;
}

}  // namespace kesola
