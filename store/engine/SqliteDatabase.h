#pragma once

#include <memory>
#include <optional>

#include "store/engine/FileSystem.h"
#include "store/engine/QtSqlDatabase.h"

namespace kesola {

// The embedded store: one SQLite file shared by the workstations.
class SqliteDatabase : public QtSqlDatabase {
  public:
    // Opens an existing database file. Never creates one: a missing path, a folder, or a file that is not a
    // SQLite database throws DbError.
    static std::unique_ptr<SqliteDatabase> open(const QString& path);

    // Creates a new, empty database file. Throws DbError when the file already exists or cannot be made.
    static std::unique_ptr<SqliteDatabase> create(const QString& path);

    // SQLite's default collation already compares as bytes; GLOB matches with '*' and '?'.
    static inline const JetDialect kJetDialect{QString(), true};

    // SQLite's primary result codes: busy (5) and locked (6) are another connection's lock, 19 a constraint.
    static DbError::Kind kindOf(const QSqlError& error);
    static DbError::Kind kindOfCode(int resultCode);

    // Reads through SQLite itself: each field is made from SQLite's own UTF-8 text when it is asked for, instead of
    // every column of every row becoming a UTF-16 copy and a QVariant on the way through Qt SQL.
    std::unique_ptr<RecordSet> selectLong(const QString& jetSql) override;

    void beginWriteTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;
    void beginReadSnapshot() override;
    // PRAGMA integrity_check: every page, every index against its table.
    QStringList integrityProblems() override;
    bool hasIndex(const QString& name) override;
    QString byteOrderCollation() const override { return {}; }
    // AUTOINCREMENT: never a number of a deleted row again.
    QString growingKeyType() const override { return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"); }
    QString encodingProblem() override { return {}; }
    void refreshStatistics() override {}
    QString engineName() const override { return QStringLiteral("SQLite"); }
    void setLockWait(int milliseconds) override;
    // The path still names the file opened (same device and file number): not deleted, not replaced.
    bool stillTheStoreNamed() const override;

    // Which file a path names now; nullopt when it names none.
    using FileIdentity = kesola::FileIdentity;
    static std::optional<FileIdentity> identityOf(const QString& path);

  private:
    using QtSqlDatabase::QtSqlDatabase;
    static std::unique_ptr<SqliteDatabase> connect(const QString& path);

    QString path_;
    std::optional<FileIdentity> identity_;
};

}  // namespace kesola
