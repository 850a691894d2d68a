#pragma once

#include <QString>
#include <functional>

namespace kesola {

// How far an online backup has come, in pages of the source file.
struct BackupProgress {
    int copiedPages = 0;
    int totalPages = 0;
    // How many times a workstation's write made the copy start again.
    int restarts = 0;
};

// Copies a database file that workstations keep writing into a new file, with SQLite's online backup: the copy is
// the file as it was at one moment. It goes a slice of pages at a time and lets go of the file between slices, so a
// workstation's write waits for one slice at most. A write between slices makes SQLite start the copy again, and
// each new start doubles the slice, so a steady stream of writes cannot keep the copy from finishing (at worst one
// write then waits for the whole file to be read). progress is called after every slice.
// Throws DbError when the source cannot be read or the copy cannot be written; a destination that already exists
// is refused untouched, and a copy that failed is removed.
void backupDatabaseFile(const QString& source, const QString& destination,
                        const std::function<void(const BackupProgress&)>& progress = {});

}  // namespace kesola
