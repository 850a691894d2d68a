// The booking figures with 2,000,000 reservations stored:
//  - from the double-click on a cell to the reservation window shown, on a free cell and on a cell where a
//    booking starts (repaint, checks, the lock taken, the window built and loaded);
//  - from pressing "登録" to the board repainted with the new booking (checks, the transaction with its check of
//    the stored day, the window closed, the repaint, the lock given back).
// It works on a copy of the generated database, so the generated data stays as it was.

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "bench/BenchBoard.h"
#include "reservation/Pro002.h"
#include "store/engine/DbError.h"
#include "ui/Fonts.h"

using namespace kesola;
using namespace kesola::bench;

namespace {

constexpr int kRuns = 60;
constexpr int kFreeCell = 70;   // 18:40: the generated days are booked from 8:00 to 17:59
constexpr int kBookedCell = 6;  // 8:00: the day's first booking

// Shows the window as the real service does and lets the benchmark act inside it.
class ActingModal : public ModalService {
  public:
    void showModal(QDialog& dialog) override {
        dialog.show();
        QCoreApplication::processEvents();
        if (action) action(dialog);
        dialog.hide();
    }
    std::function<void(QDialog&)> action;
};

struct BookingBench {
    explicit BookingBench(const QString& databasePath) : bench(databasePath, &modal) {
        bench.board->show();
        QCoreApplication::processEvents();
    }
    ActingModal modal;
    BenchBoard bench;
};

void enterBooking(PRO002& w) {
    w.CMB[0]->setCurrentIndex(w.CMB[0]->findText(QStringLiteral("30")));
    w.CMB[1]->setCurrentIndex(0);
    w.CMB[3]->setCurrentIndex(0);
    w.CMB[4]->setCurrentIndex(0);
    w.CMB[5]->setCurrentIndex(0);
    w.TXT[0]->setText(QStringLiteral("山田太郎"));
    w.TXT[1]->setText(QStringLiteral("45"));
}

QString copyOfDatabase(const QTemporaryDir& folder) {
    const QString copy = folder.filePath(QStringLiteral("KESOLA.MDB"));
    QFile::copy(benchDatabase(2000000), copy);
    return copy;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutes();
    QTemporaryDir dataFolder;
    BookingBench b(copyOfDatabase(dataFolder));
    if (!b.bench.g.DB) {
        std::printf("the benchmark database could not be opened\n");
        return 1;
    }
    PRO001& board = *b.bench.board;
    b.bench.g.DB->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '0'"));

    std::vector<double> openFree;
    std::vector<double> openBooked;
    std::vector<double> registering;
    QElapsedTimer t;
    int failures = 0;
    for (int i = 0; i < kRuns; ++i) {
        b.modal.action = [&](QDialog&) { openFree.push_back(t.nsecsElapsed() / 1e6); };
        t.start();
        board.TTBL_DblClick(kFreeCell);

        b.modal.action = [&](QDialog& dialog) {
            openBooked.push_back(t.nsecsElapsed() / 1e6);
            if (static_cast<PRO002&>(dialog).TXT[0]->text().isEmpty()) ++failures;
        };
        t.start();
        board.TTBL_DblClick(kBookedCell);

        b.modal.action = [&](QDialog& dialog) {
            auto& window = static_cast<PRO002&>(dialog);
            enterBooking(window);
            t.start();
            window.BTN[1]->click();
        };
        board.TTBL_DblClick(kFreeCell);
        QCoreApplication::processEvents();
        registering.push_back(t.nsecsElapsed() / 1e6);
        if (board.cellCaption(kFreeCell).isEmpty()) ++failures;

        // Undone outside the timing, so that every run books the same free cell.
        b.bench.g.DB->execute(QStringLiteral("DELETE FROM KESOLA WHERE CODE LIKE ?"),
                              {QStringLiteral("1%1%2%3%4")
                                   .arg(kBenchYear)
                                   .arg(kBenchMonth, 2, 10, QLatin1Char('0'))
                                   .arg(kBenchDay, 2, 10, QLatin1Char('0'))
                                   .arg(QStringLiteral("1840"))});
    }
    const auto worst = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    std::printf(
        "Double-click to reservation window shown, 2000000 reservations stored: median %.1f ms (free cell), "
        "%.1f ms (cell with a booking); slowest %.1f / %.1f ms; %d runs each\n",
        median(openFree), median(openBooked), worst(openFree), worst(openBooked), kRuns);
    std::printf(
        "登録 to repainted board (lock given back), 2000000 reservations stored: median %.1f ms, slowest %.1f "
        "ms; %d runs\n",
        median(registering), worst(registering), kRuns);
    if (failures > 0) std::printf("%d runs did not load or store the booking: the figures are not valid\n", failures);
    return failures > 0 ? 1 : 0;
}
