#include <QStorageInfo>

#include "tools/DriveList.h"

namespace kesola {

QStringList machineDriveRoots() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid()) roots << volume.rootPath();
    }
    return roots;
}

QString driveCaption(const QString& root) { return root; }

}  // namespace kesola
