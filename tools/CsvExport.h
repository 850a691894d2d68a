#pragma once

#include <QString>

#include "store/BookingStore.h"

class QIODevice;

namespace kesola {

class Database;
class RecordSet;

// The keys for the chosen room's CODE and the chosen date texts; an empty text means any value.
ExportFilter exportFilter(const QString& roomCode, const QString& year, const QString& month, const QString& day);

// One stored reservation, as the export reads it.
struct ExportRow {
    QString code;
    QString minutes;
    QString department;
    QString name;
    QString bodyPart;
    QString sex;
    QString age;
    QString status;
    QString remarks;
};

ExportRow readExportRow(const RecordSet& rows);

// Appends the record of one reservation: fourteen values, each followed by a comma, then CR.
// Remarks of blanks only are written as an empty value.
void appendCsvRecord(QString& out, const ExportRow& row);

// The end of every export file, after the last record or alone when there is none.
inline constexpr char kExportFileEnd[] = "\r\n";

// Told how far an export has come; answers whether to go on.
class ExportProgress {
  public:
    virtual ~ExportProgress() = default;
    // Called every few hundred records and once more after the last one, before the file is put in place.
    // Returns false when the user has cancelled.
    virtual bool proceed(qint64 recordsWritten) = 0;
};

// Goes on to the end without showing anything.
class SilentProgress : public ExportProgress {
  public:
    bool proceed(qint64) override { return true; }
};

struct ExportOutcome {
    enum class Status { Written, Cancelled, Failed };
    Status status = Status::Failed;
    qint64 records = 0;
    // Records that held a character cp932 cannot write (stored before such text was refused, or by another
    // program): it was written as "?".
    qint64 recordsWithSubstitutes = 0;
    QString reason;  // why it failed, for the user: the engine's or the file system's message
};

// Walks the rows, writing their records in cp932 (a character without a cp932 form becomes "?", and the records
// that held one are counted) and then the file end. Memory stays flat however many rows there are: records go out in
// chunks as they are made. Throws DbError when reading a row fails; a failed write or a cancel is returned, the rows
// left unread.
ExportOutcome writeCsvRecords(RecordSet& rows, QIODevice& out, ExportProgress& progress);

// Runs the statement on db and writes the export file at filePath. The file is written beside its place and put
// there only when complete: on failure or cancel no partial file is left and an old file stays as it was.
// A null db (no database open) fails with the message that says so.
ExportOutcome writeCsvExport(Database* db, const QString& statement, const QString& filePath, ExportProgress& progress);

}  // namespace kesola
