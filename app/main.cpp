#include <QApplication>

#include "board/Pro001.h"
#include "store/Clock.h"
#include "ui/Fonts.h"
#include "ui/Printing.h"
#include "ui/QtMessageService.h"
#include "ui/QtTranslation.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kesola::installFontSubstitutes();
    kesola::installQtTranslation();

    kesola::QtMessageService messages;
    kesola::SystemClock clock;
    kesola::QtModalService modal;
    kesola::QtPrintService printer;
    kesola::Pro000 globals;
    globals.messages = &messages;
    globals.clock = &clock;
    kesola::AppContext ctx{globals, modal, printer};

    kesola::PRO001 board(ctx);
    board.Form_Load();
    board.show();
    return app.exec();
}
