#pragma once

#include "ui/PrintService.h"

namespace kesola {

// Prints on the system's default printer, the image scaled to fit the page.
class QtPrintService : public PrintService {
  public:
    bool printImage(const QImage& image, QString* error) override;
};

// Writes the page to a PDF file instead of a printer (used by tests, and where no printer is installed).
class PdfPrintService : public PrintService {
  public:
    explicit PdfPrintService(QString path) : path_(std::move(path)) {}
    bool printImage(const QImage& image, QString* error) override;

  private:
    QString path_;
};

}  // namespace kesola
