// What the patient register costs a scanner's worklist query: one day of two rooms (every booking with a patient
// ID), with 1,000,000 patients in the register and every booked patient among them, beside the same day after the
// register is emptied. Measured is what the service does for one C-FIND between receiving it and sending its
// answers: the store's read of the day, the register's rows of its patients and each item's dataset (three-group
// name, ISO 2022 IR 87). The association and the network are the same in both and not part of it.
//
//   worklist_register_bench [runs=300]

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "store/ReservationKey.h"
#include "store/Schema.h"
#include "store/WorklistStore.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/SqliteDatabase.h"
#include "worklist/RegisteredName.h"
#include "worklist/WorklistAnswer.h"

using namespace kesola;
using namespace kesola::worklist;

namespace {

constexpr int kPatients = 1000000;
const QDate kDay(2030, 1, 15);

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

void fill(Database& db) {
    WriteTransaction tx(db);
    // Every ten minutes of the day in both rooms, each booking with a patient ID of the register.
    for (const char* room : {"1", "2"}) {
        for (int cell = 0; cell < kCellCount; ++cell) {
            const QString key = reservationKey(QString::fromLatin1(room), QStringLiteral("2030"), QStringLiteral("1"),
                                               QStringLiteral("15"), QString::number(cellHour(cell)),
                                               QString::number(cellMinute(cell)));
            db.execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                                      "VALUES (?, '10', '01', 'N', ?, '01', '1', '45', '1', '')"),
                       {key, QStringLiteral("山田　太郎")});
            db.execute(QStringLiteral("INSERT INTO KANJYA (CODE, KANJYAID) VALUES (?, ?)"),
                       {key, QStringLiteral("P%1").arg(cell * 7919 % kPatients, 8, 10, QChar(u'0'))});
        }
    }
    db.execute(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO KANJYAMST (KANJYAID, SHIMEI, KANA, SEINENGAPPI, SEX, KOSHIN) "
            "SELECT printf('P%08d', i), '山田　太郎', 'ヤマダ　タロウ', '19600308', '1', '2030-01-01 00:00:00' FROM n")
            .arg(kPatients - 1));
    tx.commit();
}

// Milliseconds of each run of one day's answer.
std::vector<double> dayAnswers(Database& db, int runs, std::size_t* items) {
    const WorklistSettings settings;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        const auto bookings = readScheduledBookings(db, {QStringLiteral("1"), QStringLiteral("2")}, kDay, kDay);
        const auto registered = registeredPatientsOf(db, bookings);
        *items = 0;
        for (const ScheduledBooking& booking : bookings) {
            const auto patient = registered.find(booking.patientId);
            const WorklistItem item = worklistItemOf(
                booking, QStringLiteral("MRI1"), settings,
                patient == registered.end() ? std::nullopt : std::optional<RegisteredPatient>(patient->second));
            *items += item.dataset->card() > 0;
        }
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    return times;
}

void report(const char* what, const std::vector<double>& times, std::size_t items) {
    std::printf("%s (%zu items): p50 %.2f ms, p99 %.2f ms (%zu runs)\n", what, items, percentile(times, 0.5),
                percentile(times, 0.99), times.size());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KESOLA.MDB"));
    {
        auto db = SqliteDatabase::create(path);
        createSchema(*db, kDefaultTitle);
        fill(*db);
    }
    auto db = openDatabase(path);
    std::size_t items = 0;
    std::printf("One day's worklist answer, rooms 1 and 2, %d patients in the register (SQLite)\n", kPatients);
    const auto with = dayAnswers(*db, runs, &items);
    report("every booked patient registered", with, items);
    db->execute(QStringLiteral("DELETE FROM KANJYAMST"));
    const auto without = dayAnswers(*db, runs, &items);
    report("the register empty              ", without, items);
    return 0;
}
