#include "ui/OneBoard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QWidget>

namespace kesola {

namespace {

QString safeFileName(QString key) {
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.-]"));
    return key.replace(unsafe, QStringLiteral("_"));
}

// The running board watches this file; a later start writes a byte into it.
void askForFront(const QString& requestPath) {
    QFile request(requestPath);
    if (request.open(QIODevice::Append)) request.write("\n", 1);
}

}  // namespace

OneBoard::OneBoard() : OneBoard(one_board::markFolder(), one_board::displayKey()) {}

OneBoard::OneBoard(const QString& folder, const QString& displayKey)
    : lockPath_(QDir(folder).filePath(QStringLiteral("kesola-board-%1.lock").arg(safeFileName(displayKey)))),
      requestPath_(lockPath_ + QStringLiteral(".front")),
      lock_(lockPath_) {
    // A board runs for days: the mark is never taken for stale by its age, only when its process is gone.
    lock_.setStaleLockTime(0);
}

OneBoard::~OneBoard() = default;

bool OneBoard::claim() {
    QDir().mkpath(QFileInfo(lockPath_).absolutePath());
    if (lock_.tryLock(0)) {
        QFile request(requestPath_);
        if (request.open(QIODevice::WriteOnly | QIODevice::Truncate)) request.close();
        return true;
    }
    if (lock_.error() != QLockFile::LockFailedError) return true;
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock_.getLockInfo(&pid, &host, &application)) one_board::raiseBoardOf(pid);
    askForFront(requestPath_);
    return false;
}

void OneBoard::onFrontRequest(std::function<void()> bringForward) {
    watcher_ = std::make_unique<QFileSystemWatcher>(QStringList{requestPath_});
    QObject::connect(watcher_.get(), &QFileSystemWatcher::fileChanged, watcher_.get(),
                     [this, bringForward](const QString& path) {
                         // An editor or a cleaner that replaced the file ends the watch; it is watched again.
                         if (!watcher_->files().contains(path) && QFileInfo::exists(path)) watcher_->addPath(path);
                         bringForward();
                     });
}

void bringToFront(QWidget* window) {
    if (window->isMinimized()) window->showNormal();
    window->raise();
    window->activateWindow();
}

}  // namespace kesola
