// The CSV export of a large database against the sqlite3 command-line tool writing the same rows as CSV from the
// same file, run alternately in one process so both meet the same cache. Also the export's peak memory.
//
//   csv_bench [reservations=1000000] [rounds=3]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchDatabase.h"
#include "store/engine/SqliteDatabase.h"
#include "tools/CsvExport.h"

using namespace kesola;

namespace {

// The same fourteen values in the same order, without the export's filter (which matches every row).
const QString kSqlite3Statement = QStringLiteral(
    "SELECT substr(CODE,1,1), substr(CODE,2,4), substr(CODE,6,2), substr(CODE,8,2), substr(CODE,10,2), "
    "substr(CODE,12,2), Min, KA, YNAME, BUI, SEX, AGE, JYOKYO, ETC FROM KESOLA ORDER BY CODE");

long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').front().toLong();
    }
    return -1;
}

// Lets VmHWM measure from here on (Linux: writing 5 to clear_refs resets the peak).
void resetPeakMemory() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly)) refs.write("5");
}

struct Run {
    double seconds = 0;
    qint64 bytes = 0;
};

Run ourExport(const QString& database, const QString& target, long* peakKb, long* baseKb) {
    auto db = SqliteDatabase::open(database);
    resetPeakMemory();
    *baseKb = statusKb("VmRSS");
    SilentProgress progress;
    QElapsedTimer clock;
    clock.start();
    const ExportOutcome outcome = writeCsvExport(db.get(), exportStatement(ExportFilter{}), target, progress);
    Run run{clock.nsecsElapsed() / 1e9, QFileInfo(target).size()};
    *peakKb = statusKb("VmHWM");
    if (outcome.status != ExportOutcome::Status::Written) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(outcome.reason));
    }
    return run;
}

Run sqlite3Export(const QString& database, const QString& target) {
    QProcess sqlite3;
    sqlite3.setStandardOutputFile(target);
    QElapsedTimer clock;
    clock.start();
    sqlite3.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), database, kSqlite3Statement});
    if (!sqlite3.waitForStarted() || !sqlite3.waitForFinished(-1) || sqlite3.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 failed: %s\n", qPrintable(sqlite3.errorString()));
    }
    return {clock.nsecsElapsed() / 1e9, QFileInfo(target).size()};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int reservations = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const QString database = bench::benchDatabase(reservations);
    QTemporaryDir out;
    const QString ours = out.filePath(QStringLiteral("KESOLA.CSV"));
    const QString theirs = out.filePath(QStringLiteral("sqlite3.csv"));

    std::printf("CSV export of %d reservations (%s)\n", reservations, qPrintable(database));
    std::vector<double> ourTimes, sqliteTimes;
    long peakKb = 0, baseKb = 0, worstPeakKb = 0;
    for (int round = 1; round <= rounds; ++round) {
        const Run sqlite = sqlite3Export(database, theirs);
        const Run run = ourExport(database, ours, &peakKb, &baseKb);
        worstPeakKb = std::max(worstPeakKb, peakKb);
        ourTimes.push_back(run.seconds);
        sqliteTimes.push_back(sqlite.seconds);
        std::printf(
            "round %d: export %.3f s (%lld bytes, peak RSS %.1f MB, %.1f MB before)   sqlite3 -csv %.3f s "
            "(%lld bytes)\n",
            round, run.seconds, static_cast<long long>(run.bytes), peakKb / 1024.0, baseKb / 1024.0, sqlite.seconds,
            static_cast<long long>(sqlite.bytes));
    }
    const double ourMedian = median(ourTimes);
    const double sqliteMedian = median(sqliteTimes);
    std::printf(
        "median: export %.3f s, sqlite3 -csv %.3f s, ratio %.2fx (bar: 1x); export peak RSS %.1f MB (bar: 200 MB)\n",
        ourMedian, sqliteMedian, ourMedian / sqliteMedian, worstPeakKb / 1024.0);
    return 0;
}
