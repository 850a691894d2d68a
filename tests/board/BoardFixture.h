#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <memory>

#include "board/Pro001.h"
#include "store/Cp932.h"
#include "tests/support/BoardStarter.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

namespace kesola::test {

// A board started the way the program starts it: a program folder holding KESOLA.INI, today 2005-03-07.
class BoardTest : public ::testing::Test {
  protected:
    void writeSettings(const QByteArray& bytes) {
        writeFile(programFolder.filePath(QStringLiteral("KESOLA.INI")), bytes);
    }
    void pointSettingsAt(const QString& path) { kesola::test::pointSettingsAt(programFolder.path(), path); }

    PRO001& start() {
        context = std::make_unique<TestContext>(nullptr, today);
        context->g.PATH_APP = programFolder.path() + QLatin1Char('/');
        context->g.systemSettingsFile = systemSettings;
        board = startBoard(*context);
        return *board;
    }

    // Starts a board on the test database with room 1 selected.
    PRO001& startOnDatabase() {
        pointSettingsAt(db.path());
        PRO001& b = start();
        b.CMB[0]->setCurrentIndex(0);
        return b;
    }

    void select(int selector, const QString& text) {
        QComboBox* combo = board->CMB[selector];
        combo->setCurrentIndex(combo->findText(text));
    }

    void TearDown() override {
        if (board) board->Timer1.stop();
    }

    QDate today{2005, 3, 7};
    QTemporaryDir programFolder;
    QString systemSettings;  // the workstation's settings file; none unless a test names one
    TestDatabase db;
    std::unique_ptr<TestContext> context;
    std::unique_ptr<PRO001> board;
};

}  // namespace kesola::test
