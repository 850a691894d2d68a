// Many workstations on one store: boards in processes of their own, each repainting twice a second through its
// real tick (TTBL_SET), while one workstation registers a booking every 100 ms as the reservation window does (the
// lock taken, the booking stored, the lock given back). 2,000,000 reservations stored. Figures: the median and
// 99th percentile of the registration, the lock take and the boards' repaint, and every busy failure (a tick that
// found the store busy, a take or a registration that failed).
//
//   workstations_bench                  the SQLite file with 1, 20 and 60 boards, then a PostgreSQL server with 200
//   workstations_bench sqlite|postgres  one engine only
//   KESOLA_BENCH_SECONDS=N              seconds per configuration (30)
//   KESOLA_BENCH_PG_URI=...             a running server to use (makes kesola_bench_ws on it); otherwise one of
//                                       its own from scripts/pg-test-server.sh, in bench-data/pg-ws-cluster
//   workstations_bench --board LOCATION DAY-OFFSET SECONDS    (internal) one board process
//
// The SQLite file is a copy of the generated one under TMPDIR (a disk, not /dev/shm: the syncs of a commit are part
// of what a registration costs).

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "admin/CopyCommand.h"
#include "bench/BenchBoard.h"
#include "bench/BenchServer.h"
#include "store/BookingStore.h"
#include "store/ReservationKey.h"
#include "store/WorkstationLock.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresDatabase.h"
#include "ui/Fonts.h"

using namespace kesola;
using namespace kesola::bench;

namespace {

constexpr int kRegistrationIntervalMs = 100;
constexpr int kTickMs = 500;

int secondsPerConfiguration() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("KESOLA_BENCH_SECONDS", &ok);
    return ok && seconds > 0 ? seconds : 30;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
    return values[index];
}

// ---------------------------------------------------------------------------------------------------------------
// One board process

// The board's own connection, with every failure of a read counted on its way to the board: the board itself says
// nothing of a busy tick (it keeps the cells as they are), so this is the only place that sees it.
class CountingDatabase : public Database {
  public:
    explicit CountingDatabase(std::unique_ptr<Database> inner) : inner_(std::move(inner)) {}
    std::unique_ptr<RecordSet> select(const QString& jetSql) override {
        try {
            return inner_->select(jetSql);
        } catch (const DbError& e) {
            ++(e.isBusy() ? busy : otherFailures);
            throw;
        }
    }
    std::unique_ptr<RecordSet> selectNative(const QString& sql, const QVariantList& params) override {
        return inner_->selectNative(sql, params);
    }
    std::unique_ptr<Table> openTable(const TableSchema& t) override { return inner_->openTable(t); }
    int execute(const QString& sql, const QVariantList& params) override { return inner_->execute(sql, params); }
    bool takeLock() override { return inner_->takeLock(); }
    void beginWriteTransaction() override { inner_->beginWriteTransaction(); }
    void commitTransaction() override { inner_->commitTransaction(); }
    void rollbackTransaction() override { inner_->rollbackTransaction(); }
    QString byteOrderCollation() const override { return inner_->byteOrderCollation(); }
    QString growingKeyType() const override { return inner_->growingKeyType(); }
    QString encodingProblem() override { return inner_->encodingProblem(); }
    void refreshStatistics() override { inner_->refreshStatistics(); }
    void setLockWait(int ms) override { inner_->setLockWait(ms); }
    bool stillTheStoreNamed() const override { return inner_->stillTheStoreNamed(); }
    QString engineName() const override { return inner_->engineName(); }

    int busy = 0;
    int otherFailures = 0;

  private:
    std::unique_ptr<Database> inner_;
};

// Starts a board, says "ready", and on "go" (standard input) ticks every 500 ms from a random phase for the given
// seconds; then prints "ticks BUSY OTHER" and one line of tick times in milliseconds.
int boardProcess(const QString& location, int dayOffset, int seconds) {
    installFontSubstitutes();
    BenchBoard b(location);
    if (!b.g.DB) {
        std::printf("no database\n");
        return 1;
    }
    auto counting = std::make_unique<CountingDatabase>(std::move(b.g.DB));
    CountingDatabase& db = *counting;
    b.g.DB = std::move(counting);
    PRO001& board = *b.board;
    // The board's own timer is replaced by one that times each tick; what runs is the tick itself.
    board.Timer1.stop();
    board.CMB[3]->setCurrentIndex(board.CMB[3]->currentIndex() + dayOffset % 10);
    board.show();
    board.TTBL_SET();
    QCoreApplication::processEvents();

    std::vector<double> ticks;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(kTickMs);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QElapsedTimer t;
        t.start();
        board.Timer1_Timer();
        ticks.push_back(t.nsecsElapsed() / 1e6);
    });
    QSocketNotifier go(0, QSocketNotifier::Read);
    QObject::connect(&go, &QSocketNotifier::activated, [&] {
        go.setEnabled(false);
        QTimer::singleShot(QRandomGenerator::global()->bounded(kTickMs), [&] { timer.start(); });
        QTimer::singleShot(seconds * 1000 + kTickMs, [&] {
            timer.stop();
            QCoreApplication::quit();
        });
    });
    std::printf("ready\n");
    std::fflush(stdout);
    QApplication::exec();
    const bool painted = !board.cell(6).caption.isEmpty();
    std::printf("ticks %d %d %d\n", db.busy, db.otherFailures + (painted ? 0 : 1), static_cast<int>(ticks.size()));
    for (double t : ticks) std::printf("%.3f ", t);
    std::printf("\n");
    return 0;
}

// ---------------------------------------------------------------------------------------------------------------
// The registering workstation and the run of one configuration

// Counts the boxes the lock and the registration would have shown.
class CountingMessages : public MessageService {
  public:
    MsgAnswer show(const QString&, MsgIcon, MsgButtons, const QString&) override {
        ++shown;
        return MsgAnswer::Ok;
    }
    int shown = 0;
};

struct Figures {
    std::vector<double> registration, lockTake, release, repaint;
    int takeFailures = 0, registrationFailures = 0, releaseFailures = 0, busyTicks = 0, otherTickFailures = 0;
    int late = 0;  // registrations that started more than one interval late
};

// Each registration books its own free slot: room 3, which the generated data leaves empty, one day after another.
QString registrationKey(int n) {
    const QDate day = QDate(2001, 1, 1).addDays(n);
    return reservationKey(QStringLiteral("3"), QString::number(day.year()), QString::number(day.month()),
                          QString::number(day.day()), QStringLiteral("9"), QStringLiteral("0"));
}

void registerOnce(Pro000& g, CountingMessages& messages, int n, Figures& f) {
    static const Booking booking{QStringLiteral("30"), QStringLiteral("01"),  QStringLiteral("山田太郎"),
                                 QStringLiteral("01"), QStringLiteral("1"),   QStringLiteral("45"),
                                 QStringLiteral("1"),  QStringLiteral("造影")};
    QElapsedTimer t;
    t.start();
    const bool taken = LOCK_SET(g, 1).isEmpty();
    f.lockTake.push_back(t.nsecsElapsed() / 1e6);
    if (!taken) {
        ++f.takeFailures;
        return;
    }
    t.start();
    try {
        const ShownBooking shown = findBooking(requireDatabase(g), registrationKey(n));
        if (storeBooking(requireDatabase(g), registrationKey(n), booking, shown) != StoreOutcome::Stored)
            ++f.registrationFailures;
    } catch (const DbError& e) {
        std::fprintf(stderr, "registration failed: %s\n", qPrintable(e.message()));
        ++f.registrationFailures;
    }
    f.registration.push_back(t.nsecsElapsed() / 1e6);
    t.start();
    const int beforeRelease = messages.shown;
    LOCK_SET(g, 0);
    f.release.push_back(t.nsecsElapsed() / 1e6);
    if (messages.shown != beforeRelease || g.releasePending) ++f.releaseFailures;
}

int gRegistrations = 0;  // across configurations, so that every registration finds its slot free

bool readBoardReport(QProcess& p, Figures& f) {
    const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> head = lines[i].split(' ');
        if (head.size() != 4 || head[0] != "ticks") continue;
        f.busyTicks += head[1].toInt();
        f.otherTickFailures += head[2].toInt();
        for (const QByteArray& t : lines[i + 1].split(' '))
            if (!t.isEmpty()) f.repaint.push_back(t.toDouble());
        return true;
    }
    return false;
}

void printFigures(const QString& engine, int boards, int seconds, const Figures& f, double loadBefore) {
    const auto mp = [](const std::vector<double>& v) {
        return QStringLiteral("%1 / %2").arg(percentile(v, 0.5), 0, 'f', 2).arg(percentile(v, 0.99), 0, 'f', 2);
    };
    std::printf(
        "%-10s %4d boards, %d s: registration %s ms, lock take %s ms, release %s ms, repaint %s ms "
        "(median / p99); %zu registrations (%d late), %zu ticks; busy failures: %d ticks, %d takes, %d "
        "registrations, %d releases; other tick failures %d; load before %.2f\n",
        qPrintable(engine), boards, seconds, qPrintable(mp(f.registration)), qPrintable(mp(f.lockTake)),
        qPrintable(mp(f.release)), qPrintable(mp(f.repaint)), f.lockTake.size(), f.late, f.repaint.size(), f.busyTicks,
        f.takeFailures, f.registrationFailures, f.releaseFailures, f.otherTickFailures, loadBefore);
    std::fflush(stdout);
}

double loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    return file.readAll().split(' ').value(0).toDouble();
}

void runConfiguration(const QString& engine, const QString& location, int boards, int seconds) {
    const double load = loadAverage();
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < boards; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--board"), location, QString::number(i), QString::number(seconds)});
        children.push_back(std::move(p));
    }
    int ready = 0;
    for (auto& p : children) {
        while (p->state() != QProcess::NotRunning && !p->canReadLine()) p->waitForReadyRead(60000);
        if (p->readLine().trimmed() == "ready") ++ready;
    }
    if (ready != boards) std::printf("only %d of %d boards started\n", ready, boards);

    BenchBoard registrar(location);
    CountingMessages messages;
    registrar.g.messages = &messages;
    registrar.board->Timer1.stop();
    if (!registrar.g.DB) {
        std::printf("the registering workstation could not open the store\n");
        return;
    }
    registrar.g.DB->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '0'"));

    for (auto& p : children) p->write("go\n");
    for (auto& p : children) p->waitForBytesWritten(1000);
    Figures f;
    QElapsedTimer wall;
    wall.start();
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    qint64 due = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (wall.elapsed() - due > kRegistrationIntervalMs) ++f.late;
        due += kRegistrationIntervalMs;
        registerOnce(registrar.g, messages, gRegistrations++, f);
        if (wall.elapsed() >= seconds * 1000) QCoreApplication::quit();
    });
    timer.start(kRegistrationIntervalMs);
    due = kRegistrationIntervalMs;
    QApplication::exec();
    timer.stop();

    int reported = 0;
    for (auto& p : children) {
        p->closeWriteChannel();
        p->waitForFinished(60000);
        if (readBoardReport(*p, f)) ++reported;
    }
    if (reported != boards) std::printf("only %d of %d boards reported\n", reported, boards);
    printFigures(engine, boards, seconds, f, load);
}

// ---------------------------------------------------------------------------------------------------------------
// The stores

qint64 generatedReservationsIn(const QString& uri) {
    try {
        auto db = PostgresDatabase::open(uri);
        auto rs = db->select(QStringLiteral("SELECT count(*) AS N FROM KESOLA WHERE CODE < '3'"));
        return rs->field(QStringLiteral("N")).toLongLong();
    } catch (const DbError&) {
        return -1;
    }
}

// The database on the server, loaded once from the generated file by kesola-admin copy; the bookings of earlier
// runs (room 3) are taken out again.
QString serverDatabase(const BenchServer& server) {
    const QString name = QStringLiteral("kesola_bench_ws");
    const QString uri = server.databaseUri(name);
    if (generatedReservationsIn(uri) == 2000000) {
        auto db = PostgresDatabase::open(uri);
        db->execute(QStringLiteral("DELETE FROM KESOLA WHERE CODE >= '3'"));
        db->execute(QStringLiteral("VACUUM ANALYZE KESOLA"));
        return uri;
    }
    auto admin = PostgresDatabase::open(server.adminUri());
    admin->execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    admin->execute(QStringLiteral("CREATE DATABASE %1").arg(name));
    QString out, err;
    QTextStream o(&out), e(&err);
    if (runCopy(benchDatabase(2000000), uri, o, e) != 0) {
        std::fprintf(stderr, "copy failed: %s\n", qPrintable(err));
        std::exit(1);
    }
    return uri;
}

void sqliteFigures(int seconds) {
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("KESOLA.MDB"));
    QFile::copy(benchDatabase(2000000), copy);
    // The copy's pages still on their way to the disk would slow the first configuration's syncs.
    QFile written(copy);
    if (written.open(QIODevice::ReadWrite)) ::fsync(written.handle());
    written.close();
    for (int boards : {1, 20, 60}) runConfiguration(QStringLiteral("SQLite"), copy, boards, seconds);
}

void postgresFigures(int seconds) {
    // 200 boards, the registering workstation and the loading: more than the script's default allows.
    const BenchServer server(QStringLiteral(KESOLA_SOURCE_DIR "/bench-data/pg-ws-cluster"), 300);
    const QString uri = serverDatabase(server);
    for (int boards : {200}) runConfiguration(QStringLiteral("PostgreSQL"), uri, boards, seconds);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args[1] == QStringLiteral("--board"))
        return boardProcess(args[2], args[3].toInt(), args[4].toInt());
    installFontSubstitutes();
    // Hundreds of board processes would each warn that the runtime folder is not set.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    const QString only = args.value(1);
    const int seconds = secondsPerConfiguration();
    if (only.isEmpty() || only == QStringLiteral("sqlite")) sqliteFigures(seconds);
    if (only.isEmpty() || only == QStringLiteral("postgres")) postgresFigures(seconds);
    return 0;
}
