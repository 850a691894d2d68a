#include <QFile>

#include "admin/Console.h"

namespace kesola {

std::unique_ptr<QIODevice> openStandardStream(std::FILE* stream) {
    auto file = std::make_unique<QFile>();
    (void)file->open(stream, QIODevice::WriteOnly);
    return file;
}

}  // namespace kesola
