#include <QCoreApplication>
#include <QStandardPaths>

#include "store/AppFolders.h"
#include "store/Texts.h"

namespace kesola {

AppFolders thisProgramsFolders() {
    return {QCoreApplication::applicationDirPath(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
            QStringLiteral("/etc/kesola/") + texts::kSettingsFileName};
}

}  // namespace kesola
