#include "admin/BackupCommand.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <vector>

#include "admin/AdminStores.h"
#include "admin/CopyCommand.h"
#include "store/PatientRegister.h"
#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/PostgresUri.h"
#include "store/engine/SqliteBackup.h"
#include "store/engine/SqliteDatabase.h"

namespace kesola {

namespace {

// A copy that ends within this time shows no progress line.
constexpr qint64 kSilentCopyMs = 500;

using TableCounts = QMap<QString, qint64>;

// The seven tables, the history table, the patient IDs (with what each was given to, the studies and the scanners'
// steps, where the database keeps them) and the patient register, in the order they are listed.
std::vector<const TableSchema*> backedUpTables(IdentityForm form = IdentityForm::PatientIdsOnly) {
    std::vector<const TableSchema*> tables;
    for (const TableSchema& table : allTables()) tables.push_back(&table);
    tables.push_back(&historyTable());
    if (form == IdentityForm::Recorded) {
        for (const TableSchema* table : {&recordedPatientIdTable(), &studyTable(), &performedStepTable()})
            tables.push_back(table);
    } else {
        tables.push_back(&patientIdTable());
    }
    tables.push_back(&patientRegisterTable());
    return tables;
}

// Whether a database holds one of the backed-up tables: the seven always; the history, the patient IDs and the
// register only
// once they were added. Requires: outside a transaction.
bool holds(Database& db, const TableSchema* table) {
    if (table == &historyTable()) return hasHistoryTable(db);
    if (table == &patientIdTable()) return hasPatientIdTable(db);
    if (table == &patientRegisterTable()) return hasPatientRegisterTable(db);
    if (table == &recordedPatientIdTable() || table == &studyTable() || table == &performedStepTable())
        return identityFormOf(db) == IdentityForm::Recorded;
    return true;
}

// One line on the terminal, written over as the copy goes on.
class ProgressLine {
  public:
    ProgressLine(QTextStream& err, bool enabled) : err_(err), enabled_(enabled) { clock_.start(); }
    void show(const BackupProgress& p) {
        if (!enabled_ || !clock_.hasExpired(kSilentCopyMs) || p.totalPages == 0) return;
        err_ << QStringLiteral("\rcopying: %1 %  (%2 of %3 pages)")
                    .arg(100 * static_cast<qint64>(p.copiedPages) / p.totalPages, 3)
                    .arg(p.copiedPages)
                    .arg(p.totalPages);
        if (p.restarts > 0) err_ << QStringLiteral(", started again %1 times after writes").arg(p.restarts);
        err_.flush();
        shown_ = true;
    }
    void end() {
        if (shown_) err_ << "\n";
        shown_ = false;
    }

  private:
    QTextStream& err_;
    bool enabled_;
    bool shown_ = false;
    QElapsedTimer clock_;
};

// Copies every row of the backed-up tables from one snapshot of the server into the new file; returns the counts
// read in that snapshot. Writers on the server go on meanwhile.
TableCounts copyServerSnapshot(QtSqlDatabase& from, QtSqlDatabase& to) {
    // Asked before the snapshot: a failed statement would end the transaction on the server.
    std::vector<const TableSchema*> tables;
    for (const TableSchema* table : backedUpTables(identityFormOf(from))) {
        if (holds(from, table)) tables.push_back(table);
    }
    TableCounts counts;
    from.beginReadSnapshot();
    try {
        WriteTransaction writing(to);
        // The new file's own SYSTEM and LOCKTBL rows make way for the server's.
        to.execute(QStringLiteral("DELETE FROM SYSTEM"));
        to.execute(QStringLiteral("DELETE FROM LOCKTBL"));
        for (const TableSchema* table : tables) {
            counts.insert(table->name, countRows(from, table->name));
            const qint64 copied = copyTableRows(from, to, *table);
            if (copied != counts.value(table->name)) {
                throw DbError(QStringLiteral("%1: %2 rows copied, %3 in the snapshot")
                                  .arg(table->name)
                                  .arg(copied)
                                  .arg(counts.value(table->name)));
            }
        }
        writing.commit();
    } catch (...) {
        from.rollbackTransaction();
        throw;
    }
    from.rollbackTransaction();
    return counts;
}

// Reads the copy back: integrity, every table, the single SYSTEM and LOCKTBL rows, and (from a server) the counts
// of its snapshot. Returns the counts of the copy; a table missing from it is absent. Throws DbError.
TableCounts checkCopy(const QString& path, const TableCounts& expected) {
    auto db = SqliteDatabase::open(path);
    QStringList problems;
    try {
        problems = db->integrityProblems();
    } catch (const DbError& e) {
        problems << e.message();
    }
    if (!problems.isEmpty()) throw DbError(QStringLiteral("integrity check of the copy: ") + problems.first());
    TableCounts counts;
    for (const TableSchema* table : backedUpTables(identityFormOf(*db))) {
        // A database made before the history or the patient ID table has none to copy.
        if (!holds(*db, table)) continue;
        counts.insert(table->name, countRows(*db, table->name));
    }
    for (const QString& single : {QStringLiteral("SYSTEM"), QStringLiteral("LOCKTBL")}) {
        if (counts.value(single) != 1)
            throw DbError(
                QStringLiteral("the copy's %1 has %2 rows, 1 expected").arg(single).arg(counts.value(single)));
    }
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (counts.value(it.key(), -1) != it.value()) {
            throw DbError(QStringLiteral("the copy's %1 has %2 rows, %3 expected")
                              .arg(it.key())
                              .arg(counts.value(it.key(), -1))
                              .arg(it.value()));
        }
    }
    return counts;
}

void printCounts(const TableCounts& counts, QTextStream& out) {
    const bool recorded = counts.contains(studyTable().name);
    for (const TableSchema* table : backedUpTables(recorded ? IdentityForm::Recorded : IdentityForm::PatientIdsOnly)) {
        if (!counts.contains(table->name)) {
            out << QStringLiteral("  %1 none (kesola-admin upgrade adds it)\n").arg(table->name, -8);
            continue;
        }
        out << QStringLiteral("  %1 %2 rows\n").arg(table->name, -8).arg(counts.value(table->name), 9);
    }
}

}  // namespace

int runBackup(const QString& database, const QString& destination, QTextStream& out, QTextStream& err,
              bool progressOnTerminal) {
    if (isPostgresUri(destination)) {
        err << "kesola-admin: backup writes a new database file; DEST must be a file path "
               "(put a copy on a server with kesola-admin copy)\n";
        return 1;
    }
    if (QFileInfo::exists(destination)) {
        err << "kesola-admin: " << destination << " already exists; it is left untouched\n";
        return 1;
    }
    bool made = false;
    try {
        TableCounts expected;
        if (isPostgresUri(database)) {
            auto from = openDatabase(database);
            auto to = SqliteDatabase::create(destination);
            made = true;
            createSchema(*to, kDefaultTitle);
            expected = copyServerSnapshot(*from, *to);
        } else {
            ProgressLine progress(err, progressOnTerminal);
            BackupProgress last;
            backupDatabaseFile(database, destination, [&](const BackupProgress& p) {
                progress.show(p);
                last = p;
            });
            progress.end();
            made = true;
            if (last.restarts > 0)
                out << "the copy started again " << last.restarts << " times after workstations wrote\n";
        }
        const TableCounts counts = checkCopy(destination, expected);
        out << "backed up " << shown(database) << " to " << destination << "\n";
        printCounts(counts, out);
        out << "integrity checked, every table present, every count read"
            << (expected.isEmpty() ? "" : " and verified against the snapshot") << "\n";
        return 0;
    } catch (const DbError& e) {
        err << "kesola-admin: cannot back up " << shown(database) << " to " << destination << ": " << e.message()
            << "\n";
        if (made) QFile::remove(destination);
        return 1;
    }
}

}  // namespace kesola
