#pragma once

#include <QDialog>

#include "ui/AppContext.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kesola {

// The drive list: the roots of the mounted volumes, and always the volume of the given folder, which a chroot or a
// container's mount table may leave out (its "/" is then the top of the folder's own chain).
QStringList driveEntries(const QStringList& mountedRoots, const QString& currentFolder);

// The database location window: the user browses to the folder that holds "KESOLA.MDB" and the chosen path is
// written to the settings file. Opened by start-up only, before any database is open.
// On this platform the "drives" are the mounted volumes.
class PRO008 : public QDialog {
    Q_OBJECT
  public:
    explicit PRO008(AppContext& ctx, QWidget* parent = nullptr);

    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void File1_MouseDown();
    void BTN_Click();
    // Writes LBL's path to the settings file; false when it could not be written.
    bool INI_SAVE();

    // The folder the folder list shows; setting it runs Dir1_Change (a folder that cannot be listed is ignored).
    QString dirPath() const { return dirPath_; }
    void setDirPath(const QString& path);
    // Chooses the drive whose root is rootPath ("/" as separator), as a pick in Drive1 does.
    void setDrive(const QString& rootPath);

    QComboBox* Drive1;
    QListWidget* Dir1;
    QListWidget* File1;
    QLabel* LBL;
    QPushButton* BTN;
    // Says that IT's workstation settings file sets the location; shown only then.
    QLabel* SETBY;

  private:
    void fillDrives();
    bool locationSetByAdministrator() const;
    void fillFolderList();
    QString driveOf(const QString& path) const;

    AppContext& ctx_;
    QString dirPath_;
};

}  // namespace kesola
