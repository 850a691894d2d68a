#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <memory>

#include "board/Pro001.h"
#include "store/Cp932.h"
#include "tests/support/ExpectedTexts.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

namespace kesola::test {

// Writes the settings file of a program folder: the database's location and CR LF, in cp932.
inline void pointSettingsAt(const QString& programFolder, const QString& location) {
    writeFile(programFolder + QLatin1Char('/') + expected::kSettingsFile, Cp932::encode(location) + "\r\n");
}

// A board started the way the program starts it: Form_Load from the settings file in the context's program folder
// (PATH_APP), then shown. Every suite that needs a real board starts it here.
inline std::unique_ptr<PRO001> startBoard(TestContext& c) {
    auto board = std::make_unique<PRO001>(c.ctx);
    board->Form_Load();
    board->show();
    QCoreApplication::processEvents();
    return board;
}

// One tick of the board's timer with its repaint painted: the tick's read runs on the connection's thread and is
// painted once it is back.
inline void tickAndPaint(PRO001& board) {
    board.Timer1_Timer();
    if (!QTest::qWaitFor([&] { return !board.repaintPending(); }, 10000))
        ADD_FAILURE() << "the repaint never came back";
}

}  // namespace kesola::test
