// The settings file as any editor or tool may have left it: the raw bytes are the file.
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "fuzz/FuzzInput.h"
#include "store/Cp932.h"
#include "store/SettingsFile.h"

using namespace kesola;

namespace {

QString scratchPath(const char* name) {
    return QDir::tempPath() + QStringLiteral("/kesola-fuzz-%1-%2.ini").arg(getpid()).arg(QLatin1String(name));
}

bool startsWithBlank(const QString& text) { return text.startsWith(u' ') || text.startsWith(u'\t'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString readPath = scratchPath("read");
    static const QString writePath = scratchPath("write");
    {
        QFile file(readPath);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                   static_cast<qint64>(size));
    }
    const std::optional<QString> location = readSettingsFile(readPath);
    FUZZ_CHECK(location.has_value());
    // One field of the first line: no line end, and unless it was quoted no comma and no leading blank.
    FUZZ_CHECK(!location->contains(u'\r') && !location->contains(u'\n'));
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Whichever encoding the bytes are read in, the location comes from the first line of that text.
    QString text = settingsFileText(bytes);
    while (startsWithBlank(text)) text.remove(0, 1);
    const bool quoted = text.startsWith(u'"');
    if (!quoted) FUZZ_CHECK(!location->contains(u',') && !startsWithBlank(*location));

    // What the location window writes, the board reads back: any location cp932 can hold that a line's first field
    // can carry unquoted.
    if (location->contains(u',') || location->startsWith(u'"') || startsWithBlank(*location)) return 0;
    const bool writable = Cp932::decode(Cp932::encode(*location)) == *location;
    FUZZ_CHECK(writeSettingsFile(writePath, *location) == writable);
    if (writable) FUZZ_CHECK(readSettingsFile(writePath) == location);
    return 0;
}
