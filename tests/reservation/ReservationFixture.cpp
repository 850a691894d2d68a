#include "tests/reservation/ReservationFixture.h"

#include "store/Schema.h"
#include "store/engine/Database.h"

namespace kesola::test {

QString keyOfCell(int cell) {
    return kDayPrefix + QStringLiteral("%1%2")
                            .arg(cellHour(cell), 2, 10, QLatin1Char('0'))
                            .arg(cellMinute(cell), 2, 10, QLatin1Char('0'));
}

void addMasters(const TestDatabase& db) {
    db.addRoom(QStringLiteral("1"), kRoomName);
    db.addRoom(QStringLiteral("2"), QStringLiteral("ＣＴ室"));
    db.addDepartment(QStringLiteral("01"), QStringLiteral("内科"), 255, 192, 192, 0, 0, 128);
    db.addDepartment(QStringLiteral("02"), QStringLiteral("外科"), 192, 255, 192, 128, 0, 0);
    db.addBodyPart(QStringLiteral("01"), QStringLiteral("頭部"));
    db.addBodyPart(QStringLiteral("02"), QStringLiteral("胸部"));
}

void choose(QComboBox* selector, const QString& name) {
    if (name.isEmpty()) {
        selector->setCurrentIndex(-1);
        return;
    }
    for (int i = 0; i < selector->count(); ++i) {
        const QString text = selector->itemText(i);
        if (text == name || text.startsWith(name + kGap)) {
            selector->setCurrentIndex(i);
            return;
        }
    }
    ADD_FAILURE() << "no entry " << name.toStdString() << " in " << selector->objectName().toStdString();
}

void enter(PRO002& window, const Entries& e) {
    choose(window.CMB[0], e.minutes);
    choose(window.CMB[1], e.department);
    window.TXT[0]->setText(e.name);
    choose(window.CMB[3], e.bodyPart);
    choose(window.CMB[4], e.sex);
    window.TXT[1]->setText(e.age);
    choose(window.CMB[5], e.status);
    window.TXT[2]->setText(e.remarks);
}

QVariantMap storedRow(const TestDatabase& db, const QString& key) {
    QVariantMap row;
    auto rs = db.connect()->select(QStringLiteral("SELECT * FROM KESOLA WHERE CODE = '") + key + QStringLiteral("'"));
    if (rs->isEmpty()) return row;
    for (const QString& column : findTable(QStringLiteral("KESOLA"))->columns) row[column] = rs->field(column);
    return row;
}

void failWritesToReservations(const TestDatabase& db, const QString& statement) {
    failWrites(db, QStringLiteral("KESOLA"), statement);
}

std::unique_ptr<PRO002> ReservationWindowTest::open(int cell) {
    c.g.SEL_CELL = static_cast<std::int16_t>(cell);
    auto window = std::make_unique<PRO002>(c.ctx, board);
    window->Form_Load();
    return window;
}

std::unique_ptr<PRO001> startBoard(TestContext& c) {
    auto board = std::make_unique<PRO001>(c.ctx);
    board->setWindowTitle(kBoardCaption);
    board->CMB[0]->addItem(kRoomName);
    board->CMB[0]->addItem(QStringLiteral("ＣＴ室"));
    for (int y = 2001; y <= 2099; ++y) board->CMB[1]->addItem(QString::number(y));
    for (int m = 1; m <= 12; ++m) board->CMB[2]->addItem(QString::number(m));
    for (int d = 1; d <= 31; ++d) board->CMB[3]->addItem(QString::number(d));
    board->CMB[0]->setCurrentIndex(0);
    board->CMB[1]->setCurrentIndex(board->CMB[1]->findText(QStringLiteral("2005")));
    board->CMB[2]->setCurrentIndex(board->CMB[2]->findText(QStringLiteral("3")));
    board->CMB[3]->setCurrentIndex(board->CMB[3]->findText(QStringLiteral("7")));
    board->MST_READ();
    board->TTBL_SET();
    return board;
}

void doubleClickCell(PRO001& board, TestContext& c, int cell, std::function<void(PRO002&)> inside) {
    c.modal.then([inside = std::move(inside)](QDialog& dialog) {
        auto* window = qobject_cast<PRO002*>(&dialog);
        ASSERT_NE(window, nullptr);
        if (inside) inside(*window);
    });
    board.TTBL_DblClick(cell);
    c.modal.actions.clear();  // a refused selection leaves its action unused
}

}  // namespace kesola::test
