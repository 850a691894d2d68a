// kesola-admin backup of a database file that a workstation keeps writing: the backup runs as its own process (as
// cron or a systemd timer starts it) while this process registers a booking every 100 ms, as the reservation window
// stores one (a write transaction, its insert, the commit). Figures: the backup's time, how often it started again,
// and the registrations' median and worst time during the backup beside those without one, and every failure.
//
//   backup_bench            200,000 and 2,000,000 reservations
//   backup_bench N          N reservations only
//
// The file is a copy of the generated one under TMPDIR (a disk: the syncs of a commit are part of a registration),
// and so is the backup.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchDatabase.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"

using namespace kesola;
using namespace kesola::bench;

namespace {

constexpr int kRegistrationIntervalMs = 100;
constexpr int kQuietRegistrations = 30;

struct Registrations {
    std::vector<double> ms;
    int failures = 0;
    QString firstFailure;
};

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double worst(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// One booking in a day of its own (room 1, year 2200 on), so no registration meets another's key.
void registerOne(Database& db, int n, Registrations& r) {
    const QString key = QStringLiteral("1%1%2%3%4")
                            .arg(2200 + n / 336)
                            .arg(1 + n / 28 % 12, 2, 10, QLatin1Char('0'))
                            .arg(1 + n % 28, 2, 10, QLatin1Char('0'))
                            .arg(QStringLiteral("0930"));
    QElapsedTimer t;
    t.start();
    try {
        WriteTransaction tx(db);
        db.execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                                  "VALUES (?, '30', '01', 'N', ?, '01', '1', '40', '1', '')"),
                   {key, QStringLiteral("ベンチ%1").arg(n)});
        tx.commit();
    } catch (const DbError& e) {
        ++r.failures;
        if (r.firstFailure.isEmpty()) r.firstFailure = e.message();
    }
    r.ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
}

void printRegistrations(const char* when, const Registrations& r) {
    std::printf("  registrations %-18s %4zu   median %7.1f ms   worst %7.1f ms   failed %d%s%s\n", when, r.ms.size(),
                median(r.ms), worst(r.ms), r.failures, r.firstFailure.isEmpty() ? "" : ": ",
                qPrintable(r.firstFailure));
}

void runOnce(int reservations) {
    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("KESOLA.MDB"));
    const QString backup = folder.filePath(QStringLiteral("BACKUP.MDB"));
    QFile::copy(benchDatabase(reservations), source);
    std::printf("== backup of %d reservations (%.0f MB)\n", reservations,
                static_cast<double>(QFile(source).size()) / 1e6);
    auto db = openDatabase(source);
    int n = 0;

    Registrations quiet;
    for (int i = 0; i < kQuietRegistrations; ++i, ++n) {
        registerOne(*db, n, quiet);
        QThread::msleep(kRegistrationIntervalMs);
    }

    QProcess admin;
    admin.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer backupTime;
    backupTime.start();
    admin.start(QStringLiteral(KESOLA_ADMIN), {QStringLiteral("backup"), source, backup});
    admin.waitForStarted();
    Registrations during;
    while (admin.state() != QProcess::NotRunning) {
        registerOne(*db, n++, during);
        admin.waitForFinished(kRegistrationIntervalMs);
    }
    const double seconds = static_cast<double>(backupTime.elapsed()) / 1000;
    const QString output = QString::fromUtf8(admin.readAll());
    std::printf("  backup: %.2f s, exit %d%s\n", seconds, admin.exitCode(),
                admin.exitCode() == 0 ? "" : qPrintable(QStringLiteral(": ") + output));
    for (const QString& line : output.split(u'\n')) {
        if (line.contains(QStringLiteral("started again"))) std::printf("  %s\n", qPrintable(line));
    }
    printRegistrations("without a backup", quiet);
    printRegistrations("during the backup", during);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1) {
        runOnce(args[1].toInt());
        return 0;
    }
    for (int reservations : {200000, 2000000}) runOnce(reservations);
    return 0;
}
