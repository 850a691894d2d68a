#include "bench/BenchDatabase.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>

#include "admin/DemoData.h"
#include "store/Numbers.h"
#include "store/ReservationKey.h"
#include "store/Schema.h"
#include "store/engine/Database.h"
#include "store/engine/SqliteDatabase.h"

namespace kesola::bench {

namespace {

constexpr int kPerDay = 30;

QString dataFolder() {
    const QString folder = QStringLiteral(KESOLA_SOURCE_DIR "/bench-data");
    QDir().mkpath(folder);
    return folder;
}

void fill(Database& db, int reservations) {
    // Days run forward from 2001-01-01, alternating rooms 1 and 2; each day holds 30 bookings of 20 minutes
    // every 20 minutes from 8:00.
    addDemoData(db, QDate(kBenchYear, kBenchMonth, kBenchDay));
    db.execute(QStringLiteral("DELETE FROM KESOLA"));
    WriteTransaction tx(db);
    const QDate first(2001, 1, 1);
    int written = 0;
    for (int dayIndex = 0; written < reservations; ++dayIndex) {
        const QDate day = first.addDays(dayIndex / 2);
        const int room = 1 + dayIndex % 2;
        for (int n = 0; n < kPerDay && written < reservations; ++n, ++written) {
            const int cell = 6 + 2 * n;
            const QString key = reservationKey(QString::number(room), QString::number(day.year()),
                                               QString::number(day.month()), QString::number(day.day()),
                                               QString::number(cellHour(cell)), QString::number(cellMinute(cell)));
            db.execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                                      "VALUES (?,?,?,?,?,?,?,?,?,?)"),
                       {key, QStringLiteral("20"), twoDigits(1 + n % 6), QStringLiteral("N"),
                        QStringLiteral("患者 %1").arg(written), twoDigits(1 + n % 8), QString::number(1 + n % 2),
                        QString::number(20 + n), n % 3 ? QStringLiteral("1") : QStringLiteral("2"),
                        n % 4 ? QString() : QStringLiteral("造影あり, 要確認")});
        }
    }
    tx.commit();
}

}  // namespace

QString benchDatabase(int reservations) {
    const QString path = dataFolder() + QStringLiteral("/KESOLA-%1.MDB").arg(reservations);
    if (QFileInfo::exists(path)) return path;
    // Several benchmarks may build the same file at once: each builds its own copy and the rename is atomic.
    const QString building = path + QStringLiteral(".building-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(building);
    {
        auto db = SqliteDatabase::create(building);
        createSchema(*db, kDefaultTitle);
        fill(*db, reservations);
    }
    QFile::rename(building, path);
    return path;
}

}  // namespace kesola::bench
