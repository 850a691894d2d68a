#include "tools/CsvExportProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include "tools/ToolTexts.h"
#include "ui/Fonts.h"
#include "ui/QtMessageService.h"

namespace kesola {

namespace {

using tool_texts::kWorking;
// The dialog is kept alive this often, so a press of its button is seen quickly without slowing the export.
constexpr qint64 kEventsEveryMs = 50;

}  // namespace

CsvExportProgress::CsvExportProgress(QWidget* owner, int showAfterMs) : owner_(owner), showAfterMs_(showAfterMs) {
    running_.start();
}

CsvExportProgress::~CsvExportProgress() { delete dialog_.data(); }

QProgressDialog* CsvExportProgress::dialog() const { return dialog_.data(); }

bool CsvExportProgress::proceed(qint64 recordsWritten) {
    if (!dialog_) {
        if (running_.elapsed() < showAfterMs_) return true;
        showDialog();
    } else if (sinceEvents_.elapsed() < kEventsEveryMs) {
        return !dialog_->wasCanceled();
    }
    dialog_->setLabelText(kWorking.arg(recordsWritten));
    QCoreApplication::processEvents();
    sinceEvents_.restart();
    return dialog_ && !dialog_->wasCanceled();
}

void CsvExportProgress::showDialog() {
    // No end is known in advance, so the bar runs as a busy indicator while the count grows.
    dialog_ = new QProgressDialog(kWorking.arg(0), kCancelButtonText, 0, 0, owner_);
    dialog_->setObjectName(QStringLiteral("CsvExportProgress"));
    if (owner_) dialog_->setWindowTitle(owner_->windowTitle());
    dialog_->setFont(msGothic(12));
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->show();
    sinceEvents_.start();
}

}  // namespace kesola
