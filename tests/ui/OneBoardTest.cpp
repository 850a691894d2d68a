#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include "ui/OneBoard.h"

using namespace kesola;

// The first board of a display holds the mark; a later start on that display is refused and brings the first one
// forward, as often as it is tried; another display, or the first board gone, starts a board of its own.
TEST(OneBoard, ASecondStartOnTheSameDisplayBringsTheFirstForward) {
    QTemporaryDir folder;
    int broughtForward = 0;
    auto first = std::make_unique<OneBoard>(folder.path(), QStringLiteral(":0"));
    ASSERT_TRUE(first->claim());
    first->onFrontRequest([&] { ++broughtForward; });
    for (int attempt = 1; attempt <= 2; ++attempt) {
        OneBoard second(folder.path(), QStringLiteral(":0"));
        EXPECT_FALSE(second.claim());
        EXPECT_TRUE(QTest::qWaitFor([&] { return broughtForward == attempt; }, 5000)) << attempt;
    }
    OneBoard otherDisplay(folder.path(), QStringLiteral(":1"));
    EXPECT_TRUE(otherDisplay.claim());
    first.reset();
    OneBoard afterTheFirst(folder.path(), QStringLiteral(":0"));
    EXPECT_TRUE(afterTheFirst.claim());
}

// A folder where no mark can be made never keeps the board from starting.
TEST(OneBoard, NoPlaceForTheMarkStillStarts) {
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    OneBoard board(folder.filePath(QStringLiteral("not-a-folder/below")), QStringLiteral(":0"));
    EXPECT_TRUE(board.claim());
}
