#include "bench/BenchBoard.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>

#include "store/Cp932.h"

namespace kesola::bench {

BenchBoard::BenchBoard(const QString& databaseLocation, ModalService* modal, QDate day)
    : clock(day), ctx{g, modal ? *modal : noModal, printer} {
    QFile ini(programFolder.filePath(QStringLiteral("KESOLA.INI")));
    if (ini.open(QIODevice::WriteOnly)) ini.write(Cp932::encode(databaseLocation) + "\r\n");
    ini.close();
    g.messages = &messages;
    g.clock = &clock;
    g.PATH_APP = programFolder.path() + QLatin1Char('/');
    board = std::make_unique<PRO001>(ctx);
    board->Form_Load();
    board->CMB[0]->setCurrentIndex(0);
}

namespace {

template <typename Repaint>
RepaintMedians measure(PRO001& board, int runs, Repaint repaint) {
    board.Timer1.stop();
    board.show();
    std::vector<double> same;
    std::vector<double> changing;
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        t.start();
        repaint();
        same.push_back(t.nsecsElapsed() / 1e6);
    }
    const int day = board.CMB[3]->currentIndex();
    for (int i = 0; i < runs; ++i) {
        board.CMB[3]->setCurrentIndex(day + i % 2);
        t.start();
        repaint();
        changing.push_back(t.nsecsElapsed() / 1e6);
    }
    board.CMB[3]->setCurrentIndex(day);
    return {median(same), median(changing)};
}

}  // namespace

RepaintMedians measureRepaints(PRO001& board, int runs) {
    return measure(board, runs, [&] { board.TTBL_SET(); });
}

RepaintMedians measureTicks(PRO001& board, int runs) {
    return measure(board, runs, [&] {
        // Only the read coming back is let in: the widgets' painting that follows is Qt's, not the repaint's.
        board.Timer1_Timer();
        while (board.repaintPending())
            QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
    });
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace kesola::bench
