// The search window's two searches on 2,000,000 reservations, each next to the sqlite3 command-line tool running
// a bare query over the same rows and column of the same file.
//
//   search_bench [reservations=2000000] [runs=20]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/BenchDatabase.h"
#include "store/ReservationSearch.h"
#include "store/engine/SqliteDatabase.h"

using namespace kesola;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds, the median of `runs` after one run that warms the cache.
double timed(int runs, const std::function<std::size_t()>& search, std::size_t* found) {
    *found = search();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        search();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    return median(times);
}

// The statement's own time as sqlite3 reports it (".timer on"), the median of `runs`; the tool's start is not in it.
double sqlite3Ms(const QString& database, const QString& statement, int runs) {
    QString script = QStringLiteral(".timer on\n");
    for (int i = 0; i <= runs; ++i) script += statement + QStringLiteral(";\n");
    QProcess sqlite3;
    sqlite3.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), database});
    sqlite3.write(script.toUtf8());
    sqlite3.closeWriteChannel();
    sqlite3.waitForFinished(-1);
    const QString output = QString::fromUtf8(sqlite3.readAllStandardOutput());
    std::vector<double> times;
    const QRegularExpression runTime(QStringLiteral("Run Time: real ([0-9.]+)"));
    for (auto it = runTime.globalMatch(output); it.hasNext();) times.push_back(it.next().captured(1).toDouble() * 1e3);
    if (times.size() < 2) return -1;
    times.erase(times.begin());  // the run that warms the cache
    return median(times);
}

// The keys of every room from `from` up to, not including, `end`, as the search reads them.
QString roomRanges(const QDate& from, const QDate& end) {
    QStringList ranges;
    for (int room = 1; room <= 9; ++room) {
        ranges << QStringLiteral("(CODE >= '%1%2' AND CODE < '%1%3')")
                      .arg(room)
                      .arg(from.toString(QStringLiteral("yyyyMMdd")), end.toString(QStringLiteral("yyyyMMdd")));
    }
    return ranges.join(QStringLiteral(" OR "));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int reservations = argc > 1 ? std::atoi(argv[1]) : 2000000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const QString database = bench::benchDatabase(reservations);
    auto db = SqliteDatabase::open(database);
    std::printf("Search on %d reservations (%s), median of %d runs\n", reservations, qPrintable(database), runs);

    // The generated days alternate the two rooms from 2001-01-01; "today" for the default period is the last one.
    const QDate lastDay = QDate(2001, 1, 1).addDays((reservations / 30 - 1) / 2);
    const QString typed = QStringLiteral("かんじゃ１２３４５６７");  // matches no row: every row in the period is read
    const struct {
        const char* what;
        QDate from;
        QDate to;
    } periods[] = {
        {"default period (a month before the last day, no end)", lastDay.addMonths(-1), QDate(2099, 12, 31)},
        {"one year", lastDay.addYears(-1), lastDay},
        {"every reservation (2001 to 2099)", QDate(2001, 1, 1), QDate(2099, 12, 31)},
    };
    for (const auto& p : periods) {
        std::size_t found = 0;
        const double ours = timed(
            runs, [&] { return findPatientBookings(*db, typed, p.from, p.to).size(); }, &found);
        // Over every reservation the bare query is a plain scan of the column.
        const QString rows =
            p.from == QDate(2001, 1, 1) ? QStringLiteral("1 = 1") : roomRanges(p.from, p.to.addDays(1));
        const QString bare = QStringLiteral("SELECT CODE, YNAME FROM KESOLA WHERE (") + rows +
                             QStringLiteral(") AND YNAME LIKE '%1234567%'");
        std::printf("patient search, %s: %.2f ms (%zu found; bar 150 ms)   sqlite3 LIKE over YNAME: %.2f ms\n", p.what,
                    ours, found, sqlite3Ms(database, bare, runs));
    }

    const QDate first(bench::kBenchYear, bench::kBenchMonth, bench::kBenchDay);
    for (int minutes : {30, 120}) {
        std::size_t found = 0;
        const double ours = timed(
            runs, [&] { return findFreeSlots(*db, QStringLiteral("1"), minutes, first).size(); }, &found);
        const QString bare = QStringLiteral("SELECT CODE, Min FROM KESOLA WHERE CODE >= '1%1' AND CODE < '1%2'")
                                 .arg(first.toString(QStringLiteral("yyyyMMdd")),
                                      first.addDays(31).toString(QStringLiteral("yyyyMMdd")));
        std::printf("free slot, %d minutes: %.2f ms (%zu starts; bar 50 ms)   sqlite3 over the same 31 days: %.2f ms\n",
                    minutes, ours, found, sqlite3Ms(database, bare, runs));
    }
    return 0;
}
