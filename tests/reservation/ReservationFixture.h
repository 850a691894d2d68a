#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <memory>

#include "board/Pro001.h"
#include "reservation/Pro002.h"
#include "tests/support/BoardStarter.h"
#include "tests/support/ExpectedTexts.h"
#include "tests/support/TestDatabase.h"

namespace kesola::test {

using namespace kesola::expected;

inline const QString kGap = QString(20, u' ');
// Room 1, 7 March 2005: the day every test books on.
inline const QString kDayPrefix = QStringLiteral("120050307");

// A booking's key on the test day from its start cell.
QString keyOfCell(int cell);

// What the reservation window reads of a board, set directly: room, date and painted captions.
class FakeBoard : public BoardView {
  public:
    QString roomCode() const override { return room; }
    QString roomText() const override { return roomName; }
    QString yearText() const override { return year; }
    QString monthText() const override { return month; }
    QString dayText() const override { return day; }
    QString cellCaption(int cell) const override {
        return cell >= 0 && cell < static_cast<int>(captions.size()) ? captions[cell] : QString();
    }
    QString boardCaption() const override { return QStringLiteral("board"); }

    QString room = QStringLiteral("1");
    QString roomName = kRoomName;
    QString year = QStringLiteral("2005");
    QString month = QStringLiteral("3");
    QString day = QStringLiteral("7");
    std::array<QString, kCellCount> captions{};
};

// The masters every test uses: rooms ＭＲＩ室 and ＣＴ室, departments 01 内科 and 02 外科, body parts 01 頭部
// and 02 胸部.
void addMasters(const TestDatabase& db);

// One booking's values as the window shows them: the entries to choose and the texts to type.
struct Entries {
    QString minutes = QStringLiteral("30");
    QString department = QStringLiteral("内科");
    QString name = QStringLiteral("山田太郎");
    QString bodyPart = QStringLiteral("頭部");
    QString sex = QStringLiteral("男性");
    QString age = QStringLiteral("45");
    QString status = QStringLiteral("未");
    QString remarks = QStringLiteral("造影あり");
};

// Chooses the entry whose visible name is `name` (an empty name clears the selector).
void choose(QComboBox* selector, const QString& name);
// Fills every control of the window with the entries, as a user would.
void enter(PRO002& window, const Entries& entries);

// The stored row of KESOLA under the key, each field by name; empty when there is none.
QVariantMap storedRow(const TestDatabase& db, const QString& key);

// Makes every later statement of the given kind (INSERT, UPDATE or DELETE) on KESOLA fail inside the engine, as a
// full disk or a lost connection would.
void failWritesToReservations(const TestDatabase& db, const QString& statement);

// A reservation window over a fake board, loaded on a cell.
class ReservationWindowTest : public ::testing::Test {
  protected:
    ReservationWindowTest() { addMasters(db); }
    std::unique_ptr<PRO002> open(int cell);

    TestDatabase db;
    TestContext c{&db};
    FakeBoard board;
};

// A board started on the context's database (its settings file written first), showing room ＭＲＩ室 on the
// context's today, 7 March 2005. Its repaint timer is stopped: a test repaints when it means to.
std::unique_ptr<PRO001> startBoardOnDatabase(TestContext& c);

// Double-clicks a cell of the board; `inside` runs while the reservation window it opens is shown.
void doubleClickCell(PRO001& board, TestContext& c, int cell, std::function<void(PRO002&)> inside);

}  // namespace kesola::test
