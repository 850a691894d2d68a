#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "ui/Printing.h"

using namespace kesola;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

// The width and height of every page's media box, in points.
QList<QSize> pageSizes(const QByteArray& pdf) {
    static const QRegularExpression box(QStringLiteral(R"(/MediaBox \[\s*0 0 ([\d.]+) ([\d.]+)\s*\])"));
    QList<QSize> sizes;
    for (auto it = box.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
        const auto m = it.next();
        sizes << QSize(qRound(m.captured(1).toDouble()), qRound(m.captured(2).toDouble()));
    }
    return sizes;
}

QImage filled(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

}  // namespace

TEST(Printing, AWideImageIsPrintedOnOneLandscapePageAndATallOneUpright) {
    QTemporaryDir dir;
    const QString wide = dir.filePath(QStringLiteral("wide.pdf"));
    QString error;
    ASSERT_TRUE(PdfPrintService(wide).printImage(filled(1019, 716, QColor(255, 224, 192)), &error))
        << error.toStdString();
    const QByteArray bytes = readAll(wide);
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    const QList<QSize> widePages = pageSizes(bytes);
    ASSERT_EQ(widePages.size(), 1);
    EXPECT_GT(widePages[0].width(), widePages[0].height());
    EXPECT_TRUE(bytes.contains("/Width 1019"));

    const QString tall = dir.filePath(QStringLiteral("tall.pdf"));
    ASSERT_TRUE(PdfPrintService(tall).printImage(filled(300, 500, Qt::white), &error));
    const QList<QSize> tallPages = pageSizes(readAll(tall));
    ASSERT_EQ(tallPages.size(), 1);
    EXPECT_LT(tallPages[0].width(), tallPages[0].height());
}

TEST(Printing, AFileThatCannotBeMadeIsReportedNotThrown) {
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(PdfPrintService(dir.path()).printImage(filled(10, 10, Qt::white), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(PdfPrintService(dir.filePath(QStringLiteral("missing/board.pdf")))
                     .printImage(filled(10, 10, Qt::white), nullptr));
}

TEST(Printing, WithoutAPrinterTheDefaultPrinterServiceRefuses) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "this machine has a printer";
    QString error;
    EXPECT_FALSE(QtPrintService().printImage(filled(10, 10, Qt::white), &error));
    EXPECT_FALSE(error.isEmpty());
}
