// The board on a PostgreSQL server reached through a Unix socket: one repaint (TTBL_SET) with 1,000 and 2,000,000
// reservations stored, the plan of the day query, and the server's CPU while twenty workstations repaint twice a
// second. Also the time kesola-admin copy takes to load the 2,000,000 reservations from their file.
//
//   pg_bench     runs a server of its own, kept (with its databases) in bench-data/pg-cluster
//   KESOLA_BENCH_PG_URI=postgresql:///postgres?host=/run/postgresql pg_bench
//                uses a running server on this machine; makes the databases kesola_bench_* on it

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

#include "admin/CopyCommand.h"
#include "bench/BenchBoard.h"
#include "bench/BenchServer.h"
#include "store/BookingStore.h"
#include "store/engine/DbError.h"
#include "store/engine/JetSql.h"
#include "store/engine/PostgresDatabase.h"
#include "ui/Fonts.h"

using namespace kesola;
using namespace kesola::bench;

namespace {

constexpr int kRepaints = 2000;
constexpr int kWorkstations = 20;
constexpr int kWorkstationSeconds = 30;

qint64 reservationsIn(const QString& uri) {
    try {
        auto db = PostgresDatabase::open(uri);
        auto rs = db->select(QStringLiteral("SELECT count(*) AS N FROM KESOLA"));
        return rs->field(QStringLiteral("N")).toLongLong();
    } catch (const DbError&) {
        return -1;
    }
}

// The benchmark database with `reservations` rows, loaded once from the benchmark file by kesola-admin copy.
QString serverDatabase(const BenchServer& server, int reservations) {
    const QString name = QStringLiteral("kesola_bench_%1").arg(reservations);
    const QString uri = server.databaseUri(name);
    if (reservationsIn(uri) == reservations) return uri;
    const QString file = benchDatabase(reservations);
    auto admin = PostgresDatabase::open(server.adminUri());
    admin->execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    admin->execute(QStringLiteral("CREATE DATABASE %1").arg(name));
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QElapsedTimer t;
    t.start();
    if (runCopy(file, uri, outStream, errStream) != 0) {
        std::fprintf(stderr, "copy failed: %s\n", qPrintable(err));
        std::exit(1);
    }
    std::printf("kesola-admin copy of %d reservations from the file to the server: %.1f s\n", reservations,
                t.elapsed() / 1000.0);
    return uri;
}

void repaintFigures(const QString& uri, int reservations) {
    BenchBoard b(uri);
    const RepaintMedians m = measureRepaints(*b.board, kRepaints);
    std::printf(
        "TTBL_SET on PostgreSQL, %9d reservations stored: median %.3f ms (same day), %.3f ms (day changing "
        "each run); painted cells: %s\n",
        reservations, m.sameDay, m.dayChanging, b.board->cell(6).caption.isEmpty() ? "none (check the data)" : "yes");
}

// The plan the server keeps for the board's prepared statement, after the runs it plans afresh.
void planFigure(const QString& uri) {
    auto db = PostgresDatabase::open(uri);
    const QString prefix = QStringLiteral("1") + QString::number(kBenchYear) +
                           QStringLiteral("%1").arg(kBenchMonth, 2, 10, QLatin1Char('0')) +
                           QStringLiteral("%1").arg(kBenchDay, 2, 10, QLatin1Char('0'));
    const TranslatedSql day = translateJetSql(dayStatement(prefix), PostgresDatabase::kJetDialect);
    QString numbered;
    int n = 0;
    for (QChar c : day.sql) numbered += c == u'?' ? QStringLiteral("$%1").arg(++n) : QString(c);
    db->execute(QStringLiteral("PREPARE day AS ") + numbered);
    const QString args = QStringLiteral("('%1', '%2')").arg(day.params[0].toString(), day.params[1].toString());
    for (int i = 0; i < 6; ++i) db->selectNative(QStringLiteral("EXECUTE day") + args, {})->close();
    auto plan = db->selectNative(QStringLiteral("EXPLAIN (ANALYZE, BUFFERS) EXECUTE day") + args, {});
    std::printf("Plan of the day query, 2000000 reservations stored:\n");
    for (; !plan->eof(); plan->moveNext())
        std::printf("    %s\n", qPrintable(plan->field(QStringLiteral("QUERY PLAN"))));
}

// CPU seconds (user + system) of the server: the postmaster and every process it started.
double serverCpuSeconds(qint64 postmaster) {
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    double total = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = stat.readAll();
        // Fields after the command name (which may hold spaces): state ppid ... utime(14) stime(15).
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13) continue;
        const qint64 parent = fields[1].toLongLong();
        if (pid != postmaster && parent != postmaster) continue;
        total += (fields[11].toDouble() + fields[12].toDouble()) / tick;
    }
    return total;
}

qint64 postmasterPid(const QString& uri) {
    auto db = PostgresDatabase::open(uri);
    auto rs = db->selectNative(QStringLiteral("SELECT pg_backend_pid() AS pid"), {});
    const qint64 backend = rs->field(QStringLiteral("pid")).toLongLong();
    QFile stat(QStringLiteral("/proc/%1/stat").arg(backend));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

double ownCpuSeconds() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    stat.open(QIODevice::ReadOnly);
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return (fields[11].toDouble() + fields[12].toDouble()) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Twenty boards, each with its own connection and its own timer, showing different days.
void workstationsFigure(const QString& uri) {
    const qint64 postmaster = postmasterPid(uri);
    std::vector<std::unique_ptr<BenchBoard>> boards;
    for (int i = 0; i < kWorkstations; ++i) {
        boards.push_back(std::make_unique<BenchBoard>(uri));
        PRO001& board = *boards.back()->board;
        board.CMB[3]->setCurrentIndex(board.CMB[3]->currentIndex() + i % 10);
        board.show();
    }
    QCoreApplication::processEvents();
    int repaints = 0;
    for (auto& b : boards) QObject::connect(&b->board->Timer1, &QTimer::timeout, [&repaints] { ++repaints; });
    const double serverBefore = serverCpuSeconds(postmaster);
    const double clientBefore = ownCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(kWorkstationSeconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = wall.elapsed() / 1000.0;
    const double server = serverCpuSeconds(postmaster) - serverBefore;
    const double client = ownCpuSeconds() - clientBefore;
    std::printf(
        "%d workstations repainting every 500 ms for %.1f s, 2000000 reservations stored: %.1f repaints/s; "
        "server %.2f s CPU = %.2f %% of one core (the %d boards themselves: %.2f %% of one core)\n",
        kWorkstations, seconds, repaints / seconds, server, 100.0 * server / seconds, kWorkstations,
        100.0 * client / seconds);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutes();
    BenchServer server(QStringLiteral(KESOLA_SOURCE_DIR "/bench-data/pg-cluster"));
    const QString small = serverDatabase(server, 1000);
    const QString large = serverDatabase(server, 2000000);
    repaintFigures(small, 1000);
    repaintFigures(large, 2000000);
    planFigure(large);
    workstationsFigure(large);
    return 0;
}
