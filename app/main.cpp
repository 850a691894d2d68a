#include <QApplication>
#include <QIcon>

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
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) icon.addFile(QStringLiteral(":/icons/kesola-%1.png").arg(size));
    app.setWindowIcon(icon);

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
