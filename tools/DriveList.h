#pragma once

#include <QStringList>

namespace kesola {

// The roots of the machine's drives for the location window's drive list, with "/" as separator. On Linux the
// mounted volumes ("/", "/mnt/share"); on Windows every drive letter ("C:/", "S:/"), mapped network drives among
// them, also one that Windows has not reconnected yet. DriveListLinux.cpp and
// DriveListWindows.cpp, one of which the build chooses, give it.
QStringList machineDriveRoots();

}  // namespace kesola
