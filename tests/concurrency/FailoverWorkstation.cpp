// A workstation in a process of its own for the failover test: the real board, started from the settings file of
// a program folder as the program starts it (today 7 March 2005, room ＭＲＩ室), on the offscreen platform.
//
//   failover_workstation PROGRAM_FOLDER
//
// Prints, one line each:
//   "paint <ms since the epoch> <bookings shown>"   whenever a repaint changes how many bookings the board shows
//   "saving <cell>"                                  as "登録" is pressed in the reservation window
//   "booked <cell> saved" / "booked <cell> notsaved <first message, line breaks as |>"
//   "message <text>"                                 a message shown outside a booking
//   "longest-gap <ms>"                               on "quit": the longest time between two repaint ticks
// Reads commands from stdin: "book <cell>" double-clicks the cell and registers a ten-minute booking there with the
// name 患者<cell> (the first department, body part, sex and status); "quit" ends it.

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSocketNotifier>
#include <cstdio>
#include <iostream>
#include <string>

#include "board/Pro001.h"
#include "reservation/Pro002.h"
#include "store/Clock.h"
#include "store/MessageService.h"
#include "store/Pro000.h"
#include "tests/concurrency/WorkerOutput.h"
#include "ui/ModalService.h"
#include "ui/PrintService.h"

namespace {

using namespace kesola;
using kesola::test::say;

class RecordedMessages : public MessageService {
  public:
    MsgAnswer show(const QString& text, MsgIcon, MsgButtons, const QString&) override {
        if (!booking) say(QStringLiteral("message ") + QString(text).replace(u'\n', u'|'));
        if (first.isEmpty()) first = text;
        return MsgAnswer::Ok;
    }
    QString first;
    bool booking = false;
};

// Fills the reservation window as a user would and presses "登録"; every other window is closed at once.
class RegisteringModal : public ModalService {
  public:
    void showModal(QDialog& dialog) override {
        auto* window = qobject_cast<PRO002*>(&dialog);
        if (!window) return;
        for (int selector : {PRO002::kDurationSelector, PRO002::kDepartmentSelector, PRO002::kBodyPartSelector,
                             PRO002::kSexSelector, PRO002::kStatusSelector}) {
            window->CMB[selector]->setCurrentIndex(0);
        }
        window->TXT[PRO002::kNameBox]->setText(QStringLiteral("患者%1").arg(cell));
        window->TXT[PRO002::kAgeBox]->setText(QStringLiteral("40"));
        window->TXT[PRO002::kRemarksBox]->setText(QStringLiteral("切替試験"));
        say(QStringLiteral("saving %1").arg(cell));
        window->BTN_Click(PRO002::kRegisterButton);
        saved = window->result() == QDialog::Accepted;
    }
    int cell = 0;
    bool saved = false;
};

class NoPrinter : public PrintService {
  public:
    bool printImage(const QImage&, QString* error) override {
        if (error) *error = QStringLiteral("no printer");
        return false;
    }
};

int bookingsShown(const PRO001& board) {
    int shown = 0;
    for (int i = 0; i < kCellCount; ++i) shown += board.cell(i).caption.isEmpty() ? 0 : 1;
    return shown;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: failover_workstation PROGRAM_FOLDER\n", stderr);
        return 1;
    }
    RecordedMessages messages;
    FixedClock clock(QDate(2005, 3, 7));
    RegisteringModal modal;
    NoPrinter printer;
    Pro000 g;
    g.messages = &messages;
    g.clock = &clock;
    g.PATH_APP = QString::fromLocal8Bit(argv[1]) + u'/';
    AppContext ctx{g, modal, printer};

    PRO001 board(ctx);
    board.Form_Load();
    board.show();
    board.CMB[0]->setCurrentIndex(0);

    int shown = -1;
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    auto report = [&] {
        const int now = bookingsShown(board);
        if (now == shown) return;
        shown = now;
        say(QStringLiteral("paint %1 %2").arg(QDateTime::currentMSecsSinceEpoch()).arg(now));
    };
    // Connected after the board's own handler, so it runs once each repaint is done.
    QObject::connect(&board.Timer1, &QTimer::timeout, [&] {
        if (sinceTick.isValid()) longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.start();
        report();
    });
    report();

    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string line;
        if (!std::getline(std::cin, line) || line == "quit") {
            say(QStringLiteral("longest-gap %1").arg(longestGap));
            app.quit();
            return;
        }
        const QString command = QString::fromStdString(line);
        if (!command.startsWith(QStringLiteral("book "))) return;
        modal.cell = command.mid(5).toInt();
        modal.saved = false;
        messages.first.clear();
        messages.booking = true;
        board.TTBL_DblClick(modal.cell);
        messages.booking = false;
        sinceTick.invalidate();  // the board held its timer while the command ran
        report();
        QString first = messages.first;
        first.replace(u'\n', u'|');
        say(modal.saved ? QStringLiteral("booked %1 saved").arg(modal.cell)
                        : QStringLiteral("booked %1 notsaved %2").arg(modal.cell).arg(first));
    });
    return app.exec();
}
