#include "tools/CsvExport.h"

#include <QDir>
#include <QSaveFile>

#include "store/Cp932.h"
#include "store/CsvValue.h"
#include "store/Numbers.h"
#include "store/Texts.h"
#include "store/engine/Database.h"
#include "store/engine/DbError.h"

namespace kesola {

namespace {

// Records are gathered into chunks of about this size before they are written.
constexpr qsizetype kChunkBytes = qsizetype{1} << 20;
// Records are converted to cp932 in runs of about this many characters.
constexpr qsizetype kTextChars = qsizetype{1} << 16;
// How often the progress is told, in records.
constexpr qint64 kProgressEvery = 256;

bool isBlankOnly(const QString& text) { return trimBlanks(text).isEmpty(); }

ExportOutcome failed(const QString& reason) {
    ExportOutcome outcome;
    outcome.status = ExportOutcome::Status::Failed;
    outcome.reason = reason;
    return outcome;
}

ExportOutcome finished(ExportOutcome::Status status, qint64 records, qint64 recordsWithSubstitutes) {
    ExportOutcome outcome;
    outcome.status = status;
    outcome.records = records;
    outcome.recordsWithSubstitutes = recordsWithSubstitutes;
    return outcome;
}

QString fileFailure(const QString& filePath, const QString& error) {
    return texts::shortened(QDir::toNativeSeparators(filePath)) + u'\n' + texts::shortened(error);
}

}  // namespace

ExportFilter exportFilter(const QString& roomCode, const QString& year, const QString& month, const QString& day) {
    ExportFilter filter;
    if (!roomCode.isEmpty()) filter.room = roomCode;
    if (!year.isEmpty()) filter.year = year;
    if (!month.isEmpty()) filter.month = twoDigits(month);
    if (!day.isEmpty()) filter.day = twoDigits(day);
    return filter;
}

ExportRow readExportRow(const RecordSet& rows) {
    return {
        rows.field(QStringLiteral("CODE")),  rows.field(QStringLiteral("Min")),    rows.field(QStringLiteral("KA")),
        rows.field(QStringLiteral("YNAME")), rows.field(QStringLiteral("BUI")),    rows.field(QStringLiteral("SEX")),
        rows.field(QStringLiteral("AGE")),   rows.field(QStringLiteral("JYOKYO")), rows.field(QStringLiteral("ETC"))};
}

void appendCsvRecord(QString& out, const ExportRow& row) {
    const QStringView code(row.code);
    appendCsvValue(out, code.mid(0, 1));
    appendCsvValue(out, code.mid(1, 4));
    appendCsvValue(out, code.mid(5, 2));
    appendCsvValue(out, code.mid(7, 2));
    appendCsvValue(out, code.mid(9, 2));
    appendCsvValue(out, code.mid(11, 2));
    appendCsvValue(out, row.minutes);
    appendCsvValue(out, row.department);
    appendCsvValue(out, row.name);
    appendCsvValue(out, row.bodyPart);
    appendCsvValue(out, row.sex);
    appendCsvValue(out, row.age);
    appendCsvValue(out, row.status);
    appendCsvValue(out, isBlankOnly(row.remarks) ? QStringView() : QStringView(row.remarks));
    out += u'\r';
}

ExportOutcome writeCsvRecords(RecordSet& rows, QIODevice& out, ExportProgress& progress) {
    QByteArray chunk;
    chunk.reserve(kChunkBytes + 2 * kTextChars + 4096);
    // Records gather as text and are converted to cp932 many at a time: one conversion per record cost more than
    // making the record. A record always ends with CR, so no character is cut between two conversions.
    QString text;
    text.reserve(kTextChars + 512);
    qint64 written = 0;
    qint64 withSubstitutes = 0;
    // A disk that fills takes part of a write without a word; only the write of the rest fails with the system's
    // reason (errno), which is what the user is told.
    auto flush = [&] {
        qsizetype done = 0;
        while (done < chunk.size()) {
            const qint64 n = out.write(chunk.constData() + done, chunk.size() - done);
            if (n <= 0) break;
            done += n;
        }
        const bool complete = done == chunk.size();
        chunk.truncate(0);
        return complete;
    };
    auto convert = [&] {
        chunk += Cp932::encode(text);
        text.truncate(0);
    };
    for (; !rows.eof(); rows.moveNext()) {
        const qsizetype recordStart = text.size();
        appendCsvRecord(text, readExportRow(rows));
        ++written;
        if (Cp932::firstWithoutForm(QStringView(text).mid(recordStart))) ++withSubstitutes;
        if (text.size() >= kTextChars) convert();
        if (chunk.size() >= kChunkBytes && !flush()) return failed(out.errorString());
        if (written % kProgressEvery == 0 && !progress.proceed(written)) {
            return finished(ExportOutcome::Status::Cancelled, written, withSubstitutes);
        }
    }
    convert();
    chunk += kExportFileEnd;
    if (!flush()) return failed(out.errorString());
    if (!progress.proceed(written)) return finished(ExportOutcome::Status::Cancelled, written, withSubstitutes);
    return finished(ExportOutcome::Status::Written, written, withSubstitutes);
}

ExportOutcome writeCsvExport(Database* db, const QString& statement, const QString& filePath,
                             ExportProgress& progress) {
    if (!db) return failed(texts::kDatabaseNotOpened);
    // Written under a temporary name and renamed into place at the end: a reader never sees half a file, and a
    // failure or a cancel leaves the previous export as it was.
    // Unbuffered: a buffered file writes its last bytes at commit, and a write cut short there is not reported
    // (the file would be put in place short).
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(fileFailure(filePath, file.errorString()));
    ExportOutcome outcome;
    try {
        auto rows = db->selectLong(statement);
        outcome = writeCsvRecords(*rows, file, progress);
        rows->close();
    } catch (const DbError& e) {
        file.cancelWriting();
        return failed(texts::shortened(e.message()));
    }
    if (outcome.status == ExportOutcome::Status::Failed) {
        file.cancelWriting();
        outcome.reason = fileFailure(filePath, outcome.reason);
        return outcome;
    }
    if (outcome.status == ExportOutcome::Status::Cancelled) {
        file.cancelWriting();
        return outcome;
    }
    if (!file.commit()) return failed(fileFailure(filePath, file.errorString()));
    return outcome;
}

}  // namespace kesola
