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
    PRO002 reservation(b.ctx, board);
    reservation.Form_Load();
    ok &= save(reservation, folder, QStringLiteral("PRO002"));
    PRO003 menu(b.ctx);
    menu.Form_Load();
    ok &= save(menu, folder, QStringLiteral("PRO003"));
    PRO004 bodyParts(b.ctx);
    bodyParts.Form_Load();
    ok &= save(bodyParts, folder, QStringLiteral("PRO004"));
    PRO006 departments(b.ctx);
    departments.Form_Load();
    ok &= save(departments, folder, QStringLiteral("PRO006"));
    PRO007 rooms(b.ctx);
    rooms.Form_Load();
    ok &= save(rooms, folder, QStringLiteral("PRO007"));
    PRO008 location(b.ctx);
    location.Form_Load();
    ok &= save(location, folder, QStringLiteral("PRO008"));
    PRO009 exportWindow(b.ctx);
    exportWindow.Form_Load();
    ok &= save(exportWindow, folder, QStringLiteral("PRO009"));
    return ok ? 0 : 1;
}
