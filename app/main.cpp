#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

#include "board/Pro001.h"
#include "store/Clock.h"
#include "store/engine/ConnectionThread.h"
#include "ui/AppStyle.h"
#include "ui/CompositionKeeper.h"
#include "ui/Fonts.h"
#include "ui/OneBoard.h"
#include "ui/Printing.h"
#include "ui/QtMessageService.h"
#include "ui/QtTranslation.h"
#include "ui/WaitIndicator.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // One board per desk: a second start brings the running one to the front instead.
    kesola::OneBoard oneBoard;
    if (!oneBoard.claim()) return 0;
    kesola::installStyleThatHonoursColours();
    kesola::installFontSubstitutes();
    kesola::installQtTranslation();
    kesola::installCompositionKeeper();
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
    kesola::WaitIndicator waiting;
    kesola::setCallWaitObserver(&waiting);

    int status = 0;
    {
        kesola::PRO001 board(ctx);
        board.Form_Load();
        board.show();
        oneBoard.onFrontRequest([&board] { kesola::bringToFront(&board); });
        status = app.exec();
    }
    kesola::setCallWaitObserver(nullptr);
    // A connection whose store stopped answering was left inside its call when the board closed; the program ends
    // without waiting for it.
    if (kesola::connectionThreadsLeftBehind()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
