// Saves a picture of every window on a database, for looking at them beside their descriptions:
//   window_gallery DATABASE FOLDER
// writes FOLDER/PRO001.png ... PRO009.png (the board shows the first room; the reservation window opens on 9:30).
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <cstdio>

#include "bench/BenchBoard.h"
#include "masters/NameMasterWindows.h"
#include "masters/Pro003.h"
#include "masters/Pro006.h"
#include "reservation/Pro002.h"
#include "tools/Pro008.h"
#include "tools/Pro009.h"
#include "ui/Fonts.h"

using namespace kesola;

namespace {

bool save(QWidget& window, const QString& folder, const QString& name) {
    window.show();
    QCoreApplication::processEvents();
    return window.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Builds a window as the board opens it (constructor, then Form_Load) and saves its picture.
template <typename Window, typename... Args>
bool saveWindow(const QString& folder, const QString& name, Args&... args) {
    Window window(args...);
    window.Form_Load();
    return save(window, folder, name);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_gallery DATABASE FOLDER\n");
        return 2;
    }
    installFontSubstitutes();
    const QString folder = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(folder);
    bench::BenchBoard b(QString::fromLocal8Bit(argv[1]));
    b.clock.set(QDate::currentDate());
    PRO001& board = *b.board;
    board.Timer1.stop();
    board.TTBL_SET();
    bool ok = save(board, folder, QStringLiteral("PRO001"));

    b.g.SEL_CELL = 15;
    ok &= saveWindow<PRO002>(folder, QStringLiteral("PRO002"), b.ctx, board);
    ok &= saveWindow<PRO003>(folder, QStringLiteral("PRO003"), b.ctx);
    ok &= saveWindow<PRO004>(folder, QStringLiteral("PRO004"), b.ctx);
    ok &= saveWindow<PRO006>(folder, QStringLiteral("PRO006"), b.ctx);
    ok &= saveWindow<PRO007>(folder, QStringLiteral("PRO007"), b.ctx);
    ok &= saveWindow<PRO008>(folder, QStringLiteral("PRO008"), b.ctx);
    ok &= saveWindow<PRO009>(folder, QStringLiteral("PRO009"), b.ctx);
    return ok ? 0 : 1;
}
