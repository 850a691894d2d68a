// Saves a picture of the board on a database, with the first room chosen: for looking at the window beside its
// description. Usage: board_screenshot DATABASE OUT.png [YYYY-MM-DD]
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QTemporaryDir>
#include <cstdio>

#include "board/Pro001.h"
#include "store/Clock.h"
#include "store/Cp932.h"
#include "ui/Fonts.h"
#include "ui/Printing.h"
#include "ui/QtMessageService.h"

namespace {

class SilentModal : public kesola::ModalService {
  public:
    void showModal(QDialog&) override {}
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: board_screenshot DATABASE OUT.png [YYYY-MM-DD]\n");
        return 2;
    }
    kesola::installFontSubstitutes();
    QTemporaryDir folder;
    QFile ini(folder.filePath(QStringLiteral("KESOLA.INI")));
    if (!ini.open(QIODevice::WriteOnly)) return 1;
    ini.write(kesola::Cp932::encode(QString::fromLocal8Bit(argv[1])) + "\r\n");
    ini.close();

    kesola::QtMessageService messages;
    kesola::FixedClock clock(argc > 3 ? QDate::fromString(QString::fromLatin1(argv[3]), Qt::ISODate)
                                      : QDate::currentDate());
    SilentModal modal;
    kesola::QtPrintService printer;
    kesola::Pro000 g;
    g.messages = &messages;
    g.clock = &clock;
    g.PATH_APP = folder.path() + QLatin1Char('/');
    kesola::AppContext ctx{g, modal, printer};
    kesola::PRO001 board(ctx);
    board.Form_Load();
    board.CMB[0]->setCurrentIndex(0);
    board.show();
    board.TTBL_SET();
    app.processEvents();
    return board.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
