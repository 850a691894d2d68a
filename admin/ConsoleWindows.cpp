#include <io.h>
#include <windows.h>

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <vector>

#include "admin/Console.h"

namespace kesola {

namespace {

// A console, written in its own output code page. The text arrives as UTF-8 in pieces that may split a character;
// the decoder keeps the part of one until the rest comes.
class ConsoleCodePage : public QIODevice {
  public:
    explicit ConsoleCodePage(HANDLE console) : console_(console) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        const QString decoded = decoder_(QByteArrayView(data, size));
        const std::wstring text = decoded.toStdWString();
        if (text.empty()) return size;
        const UINT codePage = GetConsoleOutputCP();
        const int length = static_cast<int>(text.size());
        const int needed = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
        std::vector<char> bytes(static_cast<size_t>(std::max(needed, 0)));
        WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
        DWORD written = 0;
        if (!bytes.empty() && !WriteFile(console_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return -1;
        return size;
    }

  private:
    HANDLE console_;
    QStringDecoder decoder_{QStringConverter::Utf8};
};

}  // namespace

std::unique_ptr<QIODevice> openStandardStream(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode))
        return std::make_unique<ConsoleCodePage>(handle);
    auto file = std::make_unique<QFile>();
    (void)file->open(stream, QIODevice::WriteOnly);
    return file;
}

}  // namespace kesola
