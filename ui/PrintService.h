#pragma once

#include <QImage>
#include <QString>

namespace kesola {

// Prints one page holding an image. The Qt service uses the default printer; tests use one that writes a PDF.
class PrintService {
  public:
    virtual ~PrintService() = default;
    // Returns false (with a reason in *error) when nothing could be printed.
    virtual bool printImage(const QImage& image, QString* error) = 0;
};

}  // namespace kesola
