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

// A board started as the program starts it, on a database file, showing room 1 on the benchmark day.
struct BenchBoard {
    explicit BenchBoard(const QString& databasePath);

    QTemporaryDir programFolder;
    SilentMessages messages;
    NoModal modal;
    NoPrinter printer;
    FixedClock clock{QDate(kBenchYear, kBenchMonth, kBenchDay)};
    Pro000 g;
    AppContext ctx{g, modal, printer};
    std::unique_ptr<PRO001> board;
};

// The median of a list of durations.
double median(std::vector<double> values);

}  // namespace kesola::bench
