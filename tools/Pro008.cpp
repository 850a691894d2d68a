#include "tools/Pro008.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>

#include "store/AppFolders.h"
#include "store/SettingsFile.h"
#include "store/Texts.h"
#include "tools/DriveList.h"
#include "tools/ToolTexts.h"
#include "ui/Controls.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"
#include "ui/WindowKit.h"

namespace kesola {

namespace {

using namespace tool_texts;

constexpr int kPathRole = Qt::UserRole;

QString joinPath(const QString& folder, const QString& file) {
    return folder.endsWith(QLatin1Char('/')) ? folder + file : folder + QLatin1Char('/') + file;
}

bool isListable(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

bool isOnVolume(const QString& path, const QString& root) {
    const QString withSlash = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return path == root || path.startsWith(withSlash);
}

// The top of a folder's chain, read from its text alone: the folder may be gone or lie under a folder that does not
// exist here, and the answer must not depend on what this machine happens to hold.
QString rootOf(const QString& folder) {
    static const QRegularExpression driveLetter(QStringLiteral("^[A-Za-z]:/"));
    return driveLetter.match(folder).hasMatch() ? folder.left(3) : QStringLiteral("/");
}

}  // namespace

QStringList driveEntries(const QStringList& mountedRoots, const QString& currentFolder) {
    QStringList drives = mountedRoots;
    const QString folder = QDir::cleanPath(currentFolder);
    if (std::none_of(drives.cbegin(), drives.cend(), [&](const QString& root) { return isOnVolume(folder, root); })) {
        drives.prepend(rootOf(folder));
    }
    return drives;
}

PRO008::PRO008(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setupFixedWindow(this, 5865, 5280, kWindowBackground, 9);
    setWindowTitle(kLocationCaption);

    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setGeometry(twipsRect(225, 225, 5415, 300));
    Dir1 = new QListWidget(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(twipsRect(225, 735, 5415, 2400));
    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setGeometry(twipsRect(210, 3315, 5430, 630));
    LBL =
        makeLabel(this, QStringLiteral("LBL"), QString(), QRect(225, 4140, 5415, 300), 9, QColor(255, 255, 192), true);
    BTN = makeButton(this, QStringLiteral("BTN"), texts::kChangeCaption, QRect(225, 4665, 1020, 360), 12, kButtonFace);
    setTabChain({Drive1, Dir1, File1, BTN});
    // Beside the button, where the window has room: shown while IT's workstation file binds the location.
    SETBY = makeLabel(this, QStringLiteral("SETBY"), kLocationSetByAdministrator, QRect(1365, 4665, 4275, 360), 9,
                      kWindowBackground);
    SETBY->setWordWrap(true);
    SETBY->setVisible(false);

    connect(Drive1, &QComboBox::activated, this, [this] { Drive1_Change(); });
    // A folder opens with a double click or Enter, as in a folder list; a single click only selects it.
    connect(Dir1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setDirPath(item->data(kPathRole).toString()); });
    // QListWidget selects the pressed row before it reports the press, so the handler sees that row.
    connect(File1, &QListWidget::itemPressed, this, [this] { File1_MouseDown(); });
    connect(BTN, &QPushButton::clicked, this, [this] { BTN_Click(); });
}

void PRO008::Form_Load() {
    centreOnScreen(this);
    setWindowTitle(kLocationCaption);
    SETBY->setVisible(locationSetByAdministrator());
    fillDrives();
    setDirPath(QDir::currentPath());
}

void PRO008::fillDrives() {
    Drive1->clear();
    // Shown as the platform names them ("C:\\" on Windows); each keeps its root with "/" for the lists.
    for (const QString& root : driveEntries(machineDriveRoots(), QDir::currentPath()))
        Drive1->addItem(driveCaption(root), root);
}

bool PRO008::locationSetByAdministrator() const { return workstationSettingsBind(ctx_.g.systemSettingsFile); }

QString PRO008::driveOf(const QString& path) const {
    QString best;
    for (int i = 0; i < Drive1->count(); ++i) {
        const QString root = Drive1->itemData(i).toString();
        if (isOnVolume(path, root) && root.size() > best.size()) best = root;
    }
    return best;
}

void PRO008::setDrive(const QString& rootPath) {
    const int index = Drive1->findData(rootPath);
    if (index < 0) return;
    Drive1->setCurrentIndex(index);
    Drive1_Change();
}

void PRO008::Drive1_Change() {
    const QString root = Drive1->currentData().toString();
    // Only another drive changes the lists: the one already shown keeps the folder and the choice.
    if (root == driveOf(dirPath_)) return;
    LBL->clear();
    // A drive that cannot be read leaves the lists on the previous folder, without a message.
    if (!isListable(root)) {
        const int index = Drive1->findData(driveOf(dirPath_));
        if (index >= 0) Drive1->setCurrentIndex(index);
        return;
    }
    setDirPath(root);
}

void PRO008::setDirPath(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    if (!isListable(clean)) {
        LBL->clear();
        return;
    }
    dirPath_ = clean;
    const int driveIndex = Drive1->findData(driveOf(clean));
    if (driveIndex >= 0) Drive1->setCurrentIndex(driveIndex);
    fillFolderList();
    Dir1_Change();
}

void PRO008::fillFolderList() {
    Dir1->clear();
    // The chain of folders from the drive's root down to the current one, then the current folder's subfolders.
    QStringList chain;
    for (QDir dir(dirPath_);;) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp()) break;
    }
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = depth == 0 ? QDir::toNativeSeparators(folder) : QFileInfo(folder).fileName();
        auto* item = new QListWidgetItem(QString(depth * 2, u' ') + name, Dir1);
        item->setData(kPathRole, folder);
        ++depth;
    }
    Dir1->setCurrentRow(Dir1->count() - 1);
    const QStringList subfolders =
        QDir(dirPath_).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QString& sub : subfolders) {
        auto* item = new QListWidgetItem(QString(depth * 2, u' ') + sub, Dir1);
        item->setData(kPathRole, joinPath(dirPath_, sub));
    }
}

void PRO008::Dir1_Change() {
    LBL->clear();
    File1->clear();
    const QStringList files = QDir(dirPath_).entryList(QDir::Files, QDir::Name);
    for (const QString& file : files) {
        if (file.compare(texts::kDatabaseFileName, Qt::CaseInsensitive) == 0) File1->addItem(file);
    }
}

void PRO008::File1_MouseDown() {
    // With no file listed there is nothing to choose: a folder alone never reaches the settings file.
    const QListWidgetItem* item = File1->currentItem();
    if (File1->count() == 0 || !item) return;
    // The path as the platform writes it: "D:\\DATA\\KESOLA.MDB" on Windows, in the label and the settings file.
    LBL->setText(nativeFilePath(dirPath_, item->text()));
}

bool PRO008::INI_SAVE() { return writeSettingsFile(ctx_.g.PATH_APP + texts::kSettingsFileName, LBL->text()); }

void PRO008::BTN_Click() {
    if (LBL->text().isEmpty()) {
        ctx_.messages().notice(kChooseLocation, windowTitle());
        return;
    }
    // IT's binding file would win over what is written here: nothing is written, and the user is told who decides.
    if (locationSetByAdministrator()) {
        ctx_.messages().notice(kLocationSetByAdministrator, windowTitle());
        return;
    }
    if (!INI_SAVE()) {
        ctx_.messages().notice(kSettingsNotWritten, windowTitle());
        return;
    }
    accept();
}

}  // namespace kesola
