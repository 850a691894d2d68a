#include "worklist/ServiceLog.h"

#include <cstdio>
#include <mutex>

namespace kesola::worklist {

void logLine(const QString& line) {
    static std::mutex mutex;
    QString oneLine = line;
    oneLine.replace(u'\n', u' ').replace(u'\r', u' ');
    const QByteArray bytes = oneLine.toUtf8() + '\n';
    std::lock_guard lock(mutex);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

}  // namespace kesola::worklist
