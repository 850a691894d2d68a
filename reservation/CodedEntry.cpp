#include "reservation/CodedEntry.h"

#include <QComboBox>
#include <QStyledItemDelegate>

namespace kesola {

namespace {

const QString kCodeGap(20, u' ');

class NameOnlyDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const qsizetype gap = option->text.lastIndexOf(kCodeGap);
        if (gap >= 0) option->text.truncate(gap);
    }
};

}  // namespace

QString codedEntry(const QString& name, const QString& code) { return name + kCodeGap + code; }

QString entryCode(const QString& entry, int length) { return entry.right(length); }

void selectByCode(QComboBox* selector, const QString& code, int length) {
    selector->setCurrentIndex(-1);
    for (int i = 0; i < selector->count(); ++i) {
        if (entryCode(selector->itemText(i), length) == code) selector->setCurrentIndex(i);
    }
}

void selectByText(QComboBox* selector, const QString& text) {
    selector->setCurrentIndex(-1);
    for (int i = 0; i < selector->count(); ++i) {
        if (selector->itemText(i) == text) selector->setCurrentIndex(i);
    }
}

void hideEntryCodes(QComboBox* selector) { selector->setItemDelegate(new NameOnlyDelegate(selector)); }

}  // namespace kesola
