// The board's figures: one repaint (a tick's, and TTBL_SET as a command runs it) with 1,000 and 2,000,000 reservations
// stored, the CPU of an idle board over 10 s, and the time from starting the program to the first painted board.
//   board_bench            all figures
//   board_bench --startup-child DATABASE    (internal) start a board, report when it is first painted
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QTimer>
#include <cstdio>

#include "bench/BenchBoard.h"
#include "ui/Fonts.h"

using namespace kesola;
using namespace kesola::bench;

namespace {

constexpr int kRepaints = 2000;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void repaintFigures(int reservations) {
    BenchBoard b(benchDatabase(reservations));
    const RepaintMedians tick = measureTicks(*b.board, kRepaints);
    std::printf("Tick, %9d reservations stored: median %.3f ms (same day), %.3f ms (day changing each run)\n",
                reservations, tick.sameDay, tick.dayChanging);
    const RepaintMedians m = measureRepaints(*b.board, kRepaints);
    std::printf("TTBL_SET, %9d reservations stored: median %.3f ms (same day), %.3f ms (day changing each run)\n",
                reservations, m.sameDay, m.dayChanging);
}

void idleFigure() {
    BenchBoard b(benchDatabase(2000000));
    b.board->show();
    QCoreApplication::processEvents();
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(10000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const double used = cpuSeconds() - before;
    std::printf(
        "Idle board, 2000000 reservations stored, timer at 500 ms: %.3f s CPU in %.1f s = %.2f %% of one core\n", used,
        wall.elapsed() / 1000.0, 100.0 * used / (wall.elapsed() / 1000.0));
}

void startupFigure(const QString& self) {
    const QString database = benchDatabase(2000000);
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        QProcess child;
        QElapsedTimer t;
        t.start();
        child.start(self, {QStringLiteral("--startup-child"), database});
        if (!child.waitForReadyRead(10000)) break;
        runs.push_back(t.nsecsElapsed() / 1e6);
        child.waitForFinished(10000);
    }
    std::printf("Start-up to the first painted board, 2000000 reservations stored: median %.1f ms of %zu runs\n",
                median(runs), runs.size());
}

// Reports (one line on standard output) as soon as the board has been painted once, then ends.
class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported) {
            reported = true;
            std::printf("painted\n");
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
    bool reported = false;
};

int startupChild(const QString& database) {
    installFontSubstitutes();
    BenchBoard b(database);
    FirstPaint watcher;
    b.board->installEventFilter(&watcher);
    b.board->show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args[1] == QStringLiteral("--startup-child")) return startupChild(args[2]);
    installFontSubstitutes();
    repaintFigures(1000);
    repaintFigures(2000000);
    idleFigure();
    startupFigure(QCoreApplication::applicationFilePath());
    return 0;
}
