#pragma once

#include <QStringList>

namespace kesola {

// The roots of the machine's drives for the location window's drive list, with "/" as separator. On Linux the
// mounted volumes ("/", "/mnt/share"); on Windows every drive letter ("C:/", "S:/"), mapped network drives among
// them, also one that Windows has not reconnected yet. DriveListLinux.cpp and
// DriveListWindows.cpp, one of which the build chooses, give it.
QStringList machineDriveRoots();

// How the drive list shows a root: as the platform names it. Linux: the mount point. Windows: "C:\\", and a mapped
// network drive with its share as `net use` lists it, "S:\\ (\\\\fileserver\\mri)", read from the mapping without
// reaching the server.
QString driveCaption(const QString& root);

}  // namespace kesola
