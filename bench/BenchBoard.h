#pragma once

#include <QComboBox>
#include <QDate>
#include <QTemporaryDir>
#include <memory>

#include "bench/BenchDatabase.h"
#include "board/Pro001.h"
#include "store/Clock.h"

namespace kesola::bench {

// Answers every box with OK and shows nothing.
class SilentMessages : public MessageService {
  public:
    MsgAnswer show(const QString&, MsgIcon, MsgButtons, const QString&) override { return MsgAnswer::Ok; }
};

class NoModal : public ModalService {
  public:
    void showModal(QDialog&) override {}
};

class NoPrinter : public PrintService {
  public:
    bool printImage(const QImage&, QString*) override { return true; }
};

// A board started as the program starts it, on a database (a file path or a server URI), showing room 1 on the
// benchmark day (or the day given). Windows it opens go to `modal` when one is given; otherwise they close at once.
struct BenchBoard {
    explicit BenchBoard(const QString& databaseLocation, ModalService* modal = nullptr,
                        QDate day = QDate(kBenchYear, kBenchMonth, kBenchDay));

    QTemporaryDir programFolder;
    SilentMessages messages;
    NoModal noModal;
    NoPrinter printer;
    FixedClock clock;
    Pro000 g;
    AppContext ctx;
    std::unique_ptr<PRO001> board;
};

// Median times of one repaint, in milliseconds: on the same day again and again (what an idle tick does), and with
// the day changing at every run (every painted cell is rewritten).
struct RepaintMedians {
    double sameDay = 0;
    double dayChanging = 0;
};
// The repaint as a command runs it (TTBL_SET, waiting for the read).
RepaintMedians measureRepaints(PRO001& board, int runs);
// The repaint of a tick (Timer1_Timer), from its start until its read is painted.
RepaintMedians measureTicks(PRO001& board, int runs);

// The median of a list of durations.
double median(std::vector<double> values);

}  // namespace kesola::bench
