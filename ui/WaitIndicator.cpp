#include "ui/WaitIndicator.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

#include "store/Texts.h"
#include "ui/Fonts.h"

namespace kesola {

WaitIndicator::WaitIndicator() {
    cursorTimer_.setSingleShot(true);
    cursorTimer_.setInterval(kCursorAfterMs);
    QObject::connect(&cursorTimer_, &QTimer::timeout, [this] { showCursor(); });
    noteTimer_.setSingleShot(true);
    noteTimer_.setInterval(kNoteAfterMs);
    QObject::connect(&noteTimer_, &QTimer::timeout, [this] { showNote(); });
}

WaitIndicator::~WaitIndicator() {
    if (cursorShown_) QApplication::restoreOverrideCursor();
}

void WaitIndicator::waitBegins() {
    if (depth_++ > 0) return;
    cursorTimer_.start();
    noteTimer_.start();
}

void WaitIndicator::waitEnds() {
    if (depth_ == 0 || --depth_ > 0) return;
    cursorTimer_.stop();
    noteTimer_.stop();
    if (cursorShown_) QApplication::restoreOverrideCursor();
    cursorShown_ = false;
    if (note_) note_->hide();
}

void WaitIndicator::showCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cursorShown_ = true;
}

// A small window of its own over the active one; it takes no focus, so the window under it keeps the keys.
void WaitIndicator::showNote() {
    if (!note_) {
        note_ = std::make_unique<QLabel>(texts::kWaitingForDatabase);
        note_->setObjectName(QStringLiteral("WaitingForDatabase"));
        note_->setWindowTitle(texts::kWaitingForDatabase);
        note_->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        note_->setAttribute(Qt::WA_ShowWithoutActivating);
        note_->setFont(msGothic(12));
        note_->setMargin(8);
        note_->setStyleSheet(QStringLiteral("background: #ffffe0; color: black; border: 1px solid black;"));
        note_->adjustSize();
    }
    const QWidget* over = QApplication::activeWindow();
    const QRect area = over ? over->frameGeometry() : QGuiApplication::primaryScreen()->availableGeometry();
    note_->move(area.center() - QPoint(note_->width() / 2, note_->height() / 2));
    note_->show();
    note_->raise();
}

}  // namespace kesola
