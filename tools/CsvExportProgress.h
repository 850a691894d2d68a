#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include "tools/CsvExport.h"

class QProgressDialog;
class QWidget;

namespace kesola {

// The progress of an export on screen: nothing for a short export; once it has run for showAfterMs a dialog over
// the owner counts the records written and offers a cancel button. The dialog goes when this object goes.
class CsvExportProgress : public ExportProgress {
  public:
    static constexpr int kShowAfterMs = 500;

    explicit CsvExportProgress(QWidget* owner, int showAfterMs = kShowAfterMs);
    ~CsvExportProgress() override;
    CsvExportProgress(const CsvExportProgress&) = delete;
    CsvExportProgress& operator=(const CsvExportProgress&) = delete;

    bool proceed(qint64 recordsWritten) override;

    // The dialog once it is shown, otherwise null.
    QProgressDialog* dialog() const;

  private:
    void showDialog();

    QWidget* owner_;
    int showAfterMs_;
    QElapsedTimer running_;
    QElapsedTimer sinceEvents_;
    QPointer<QProgressDialog> dialog_;
};

}  // namespace kesola
