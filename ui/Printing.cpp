#include "ui/Printing.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace kesola {

namespace {

bool paintPage(QPrinter& printer, const QImage& image, QString* error) {
    printer.setPageOrientation(image.width() > image.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error) *error = QStringLiteral("the printer could not be started");
        return false;
    }
    const QRect page = painter.viewport();
    const QSize fitted = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), fitted.width(), fitted.height());
    painter.setWindow(image.rect());
    painter.drawImage(0, 0, image);
    // The spooler can refuse the job only once the page is handed over, so its state is read after the end.
    if (!painter.end() || printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
        if (error) *error = QStringLiteral("the print job failed");
        return false;
    }
    return true;
}

}  // namespace

bool QtPrintService::printImage(const QImage& image, QString* error) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        if (error) *error = QStringLiteral("no printer is installed");
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    return paintPage(printer, image, error);
}

bool PdfPrintService::printImage(const QImage& image, QString* error) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path_);
    return paintPage(printer, image, error);
}

}  // namespace kesola
