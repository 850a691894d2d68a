#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>

#include "masters/NameMasterEditor.h"
#include "store/Schema.h"
#include "store/engine/Database.h"
#include "tests/support/TestDatabase.h"

namespace kesola::test {

// Presses a row with the mouse, as the user does: the list moves its selection, then reports the press.
inline void pressRow(QListWidget* list, int row, Qt::MouseButton button = Qt::LeftButton) {
    list->scrollToItem(list->item(row));
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mousePress(list->viewport(), button, {}, at);
    QTest::mouseRelease(list->viewport(), button, {}, at);
}

inline QStringList rowTexts(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

inline int selectedRowCount(const QListWidget* list) { return static_cast<int>(list->selectedItems().size()); }

// A field of a master record as another workstation reads it; no value when the record does not exist.
inline std::optional<QString> storedField(const TestDatabase& db, const QString& table, const QString& code,
                                          const QString& field) {
    auto connection = db.connect();
    auto t = openTable(*connection, table);
    if (!t->seek(code)) return std::nullopt;
    return t->field(field);
}

inline void insertName(const TestDatabase& db, const NameMasterKind& kind, const QString& code, const QString& name) {
    db.connect()->execute(QStringLiteral("INSERT INTO %1 (CODE, %2) VALUES (?, ?)").arg(kind.table, kind.nameField),
                          {code, name});
}

// True when another workstation can write at once: nothing this one opened still holds the database.
inline bool anotherWorkstationCanWrite(const TestDatabase& db) {
    try {
        auto other = db.connect();
        other->execute(QStringLiteral("UPDATE SYSTEM SET SNAME = SNAME WHERE ID = '1'"));
        return true;
    } catch (...) {
        return false;
    }
}

// An editor window on a fresh database, opened as the menu opens it.
class EditorTest : public ::testing::Test {
  protected:
    template <typename Window>
    std::unique_ptr<Window> open() {
        auto window = std::make_unique<Window>(context.ctx);
        window->Form_Load();
        window->show();
        return window;
    }

    // Types a name the way the tests type Japanese: into the box, not by keys.
    static void type(NameMasterEditor& window, const QString& name) { window.TXT->setText(name); }
    static void pressChange(NameMasterEditor& window) {
        QTest::mouseClick(window.BTN[NameMasterEditor::kChange], Qt::LeftButton);
    }

    TestDatabase db;
    TestContext context{&db};
};

}  // namespace kesola::test
