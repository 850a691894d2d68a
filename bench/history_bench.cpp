// The history's figures with 2,000,000 reservations and 1,000,000 history rows stored:
//  - what recording costs a registration: the layer's store of a booking (its transaction, the day's check, the
//    row) on a database without RIREKI and on one with it, medians side by side;
//  - kesola-admin history --from D --to D for one day of about 330 changes among the 1,000,000 rows.
// It works on copies of the generated database, so the generated data stays as it was; run it with
// TMPDIR=/dev/shm to see the cost of the statements rather than of the disk's syncs.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "admin/HistoryCommand.h"
#include "bench/BenchDatabase.h"
#include "store/BookingStore.h"
#include "store/engine/SqliteDatabase.h"

using namespace kesola;
using namespace kesola::bench;

namespace {

constexpr int kRuns = 200;
constexpr int kHistoryRows = 1000000;
constexpr int kHistoryDays = 3000;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void addHistoryRows(Database& db) {
    WriteTransaction tx(db);
    const QDateTime first(QDate(2018, 1, 1), QTime(8, 0));
    for (int i = 0; i < kHistoryRows; ++i) {
        const QDateTime at = first.addDays(i % kHistoryDays).addSecs(i / kHistoryDays * 90);
        db.execute(QStringLiteral("INSERT INTO RIREKI (NICHIJI, TANMATSU, RIYOSHA, SOSA, TBL, CODE, MAE, ATO) VALUES "
                                  "(?, 'ws01', 'sato', '変更', 'KESOLA', '1201801010800', ?, ?)"),
                   {at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                    QStringLiteral("CODE=1201801010800\tMin=30\tYNAME=山田"),
                    QStringLiteral("CODE=1201801010800\tMin=60\tYNAME=山田")});
    }
    tx.commit();
}

// Registrations on free evenings of room 3, which the generated data leaves empty.
double registrationMedian(Database& db) {
    const Booking booking{QStringLiteral("30"), QStringLiteral("01"),  QStringLiteral("山田太郎"),
                          QStringLiteral("01"), QStringLiteral("1"),   QStringLiteral("45"),
                          QStringLiteral("1"),  QStringLiteral("造影")};
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        const QString key =
            QStringLiteral("3%1%2%3")
                .arg(2001 + i / 300)
                .arg(1 + i / 25 % 12, 2, 10, QChar(u'0'))
                .arg(QStringLiteral("%1%2").arg(1 + i % 25, 2, 10, QChar(u'0')).arg(QStringLiteral("1830")));
        const ShownBooking shown = findBooking(db, key);
        QElapsedTimer t;
        t.start();
        if (storeBooking(db, key, booking, shown) != StoreOutcome::Stored)
            std::fprintf(stderr, "not stored: %s\n", qPrintable(key));
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(ms);
}

QString copyOf(const QString& source, const QTemporaryDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile::copy(source, path);
    return path;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString source = benchDatabase(2000000);
    // Under TMPDIR: on a memory file system the disk's syncs, which dwarf what recording costs, drop out.
    QTemporaryDir dir;
    const QString without = copyOf(source, dir, "WITHOUT.MDB");
    const QString with = copyOf(source, dir, "WITH.MDB");
    SqliteDatabase::open(without)->execute(QStringLiteral("DROP TABLE IF EXISTS RIREKI"));
    auto recorded = SqliteDatabase::open(with);
    QElapsedTimer loading;
    loading.start();
    addHistoryRows(*recorded);
    std::printf("history rows stored: %d (%.1f s to add)\n", kHistoryRows, loading.elapsed() / 1000.0);

    auto plain = SqliteDatabase::open(without);
    const double plainMs = registrationMedian(*plain);
    const double recordedMs = registrationMedian(*recorded);
    std::printf(
        "registration median, 2,000,000 reservations: %.3f ms without RIREKI, %.3f ms with it "
        "(recording costs %.3f ms)\n",
        plainMs, recordedMs, recordedMs - plainMs);

    std::vector<double> ms;
    qsizetype lines = 0;
    for (int i = 0; i < 20; ++i) {
        QString out, err;
        QTextStream o(&out), e(&err);
        QElapsedTimer t;
        t.start();
        runHistory({QStringLiteral("history"), with, QStringLiteral("--from"), QStringLiteral("2020-06-01"),
                    QStringLiteral("--to"), QStringLiteral("2020-06-01")},
                   o, e);
        o.flush();
        ms.push_back(t.nsecsElapsed() / 1e6);
        lines = out.count(u'\n');
    }
    std::printf("history --from D --to D over %d rows: median %.2f ms for %lld lines\n", kHistoryRows, median(ms),
                static_cast<long long>(lines));
    return 0;
}
