#include <windows.h>

#include <QDir>

#include "store/engine/DbError.h"
#include "store/engine/FileSystem.h"

namespace kesola {

namespace {

// Closes a Windows file handle when it goes out of scope.
struct FileHandle {
    explicit FileHandle(HANDLE h) : handle(h) {}
    ~FileHandle() {
        if (valid()) CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE handle;
};

// Qt's regular expressions (the Jet translation) keep a JIT stack for each thread that uses them, freed as the
// thread ends. On Windows (seen under wine) that free ran after the thread's storage was gone, so the connection
// thread that ends after a refused connection took the board down with it. The expressions are few and short:
// interpreted, they cost nothing a user could notice. Set before any expression is compiled; this file is linked
// into every program that opens a database.
const bool kRegularExpressionsInterpreted = qputenv("QT_ENABLE_REGEXP_JIT", "0");

// Other workstations keep the database open meanwhile: share everything, deletion included.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring nativePath(const QString& path) { return QDir::toNativeSeparators(path).toStdWString(); }

QString systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString message = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    return message;
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const QString& path) {
    const FileHandle file(CreateFileW(nativePath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !GetFileInformationByHandle(file.handle, &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

void createNewFile(const QString& path) {
    const FileHandle file(
        CreateFileW(nativePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) return;
    const DWORD error = GetLastError();
    throw DbError(error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                      ? QStringLiteral("file already exists: %1").arg(path)
                      : QStringLiteral("cannot create %1: %2").arg(path, systemMessage(error)));
}

void syncFileToDisk(const QString& path) {
    const FileHandle file(CreateFileW(nativePath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || !FlushFileBuffers(file.handle))
        throw DbError(QStringLiteral("cannot write %1 to the disk").arg(path));
}

}  // namespace kesola
