#include "ui/WindowKit.h"

#include <QSignalBlocker>
#include <vector>

#include "store/MasterList.h"

namespace kesola {

void setTabChain(std::initializer_list<QWidget*> order) {
    const std::vector<QWidget*> chain(order);
    for (size_t i = 0; i + 1 < chain.size(); ++i) QWidget::setTabOrder(chain[i], chain[i + 1]);
}

void fillDateSelectors(QComboBox* year, QComboBox* month, QComboBox* day, bool withAnyEntry) {
    const struct {
        QComboBox* selector;
        int first;
        int last;
    } lists[] = {{year, kFirstYear, kLastYear}, {month, 1, 12}, {day, 1, 31}};
    for (const auto& list : lists) {
        const QSignalBlocker quiet(list.selector);
        if (withAnyEntry) list.selector->addItem(QString());
        for (int n = list.first; n <= list.last; ++n) list.selector->addItem(QString::number(n));
        list.selector->setCurrentIndex(-1);
    }
}

void fillRoomSelector(QComboBox* selector, Database* db, bool withAnyEntry) {
    if (withAnyEntry) selector->addItem(QString());
    struct NothingChosen {
        QComboBox* selector;
        ~NothingChosen() { selector->setCurrentIndex(-1); }
    } nothingChosen{selector};
    if (!db) return;
    for (const MasterEntry& room : readMasterList(*db, QStringLiteral("ROOM"), QStringLiteral("RNAME"))) {
        selector->addItem(room.name, room.code);
    }
}

QString chosenRoomCode(const QComboBox* selector) { return selector->currentData().toString(); }

}  // namespace kesola
