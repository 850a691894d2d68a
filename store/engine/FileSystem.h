#pragma once

#include <QString>
#include <optional>

namespace kesola {

// What the SQLite engine asks of the file system past SQLite itself. FileSystemPosix.cpp and
// FileSystemWindows.cpp, one of which the build chooses, give it.

// Which file a path names now: its device (volume) and file number. A file put in the path's place has another
// number even when its contents and times are the same. nullopt when the path names no file.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long file = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> fileIdentity(const QString& path);

// Makes a new, empty file, never over one that appeared meanwhile. Throws DbError ("file already exists: PATH",
// or "cannot create PATH: REASON").
void createNewFile(const QString& path);

// Brings a written file to the disk. Throws DbError ("cannot write PATH to the disk").
void syncFileToDisk(const QString& path);

}  // namespace kesola
