#pragma once

#include <QDialog>
#include <array>

#include "masters/NameMasterKind.h"
#include "masters/PressList.h"
#include "store/History.h"
#include "ui/AppContext.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kesola {

class Database;
class DbError;

// The editor of one name master: the list of every slot of its range, a name box, "戻る" and "変更".
// A press on a row loads that slot's name; "変更" stores the name in the selected slot, creating its record, or
// deletes the record when the name is empty; the list is then rebuilt from the table.
// The selected row is the only record of the slot being edited and the name box the only record of the new name.
//
// A database failure is reported as "データベースの処理に失敗しました。" and the engine's message, titled with the
// window's caption; the window stays usable and holds no table open. A write that the database refused leaves
// the slot selected and the typed name in the box, so the user can try again.
class NameMasterEditor : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kButtonCount = 2;
    static constexpr int kLabelCount = 9;  // the department editor uses LBL(0)..LBL(8); the others LBL(2) only
    static constexpr int kNameBoxLength = 20;
    enum Button { kBack = 0, kChange = 1 };

    NameMasterEditor(AppContext& ctx, const NameMasterKind& kind, QWidget* parent = nullptr);

    // Centres the window, sets its caption and lists the slots.
    void Form_Load();
    // Rebuilds the list from the table and empties the name box.
    void LIST_SET();
    // Loads the selected row's name into the name box; nothing when no row is selected.
    void LST_MouseDown();
    void BTN_Click(int index);
    // Stores, changes or deletes the selected slot's record. Refusals (a name too wide, no slot selected) show
    // their message and write nothing. Returns false only when the database failed, after reporting it.
    bool DATA_SAVE();

    const NameMasterKind& kind() const { return kind_; }

    PressList* LST = nullptr;
    QLineEdit* TXT = nullptr;
    std::array<QLabel*, kLabelCount> LBL{};
    std::array<QPushButton*, kButtonCount> BTN{};

  protected:
    NameMasterEditor(AppContext& ctx, const NameMasterKind& kind, QWidget* parent, int widthTwips, int fontPoints);

    // Called by the row press after the name box was loaded, with the pressed slot's code and whether the slot
    // holds a name. May throw DbError.
    virtual void slotPressed(const QString& code, bool named);
    // The record's fields that follow the name, as they are to be stored with it.
    virtual RowFields fieldsAfterName() const;
    // Called after a name has been written.
    virtual void nameStored();

    // The open database; throws DbError when there is none.
    Database& database() const;

    AppContext& ctx_;

  private:
    void buildControls();
    QStringList readRows();
    void setNameBox(const QString& text);
    int firstSelectedRow() const;
    QString selectedCode() const;
    // Stores or deletes the slot's record with its history row in one write transaction (storeMasterName).
    // Throws DbError.
    void writeSlot(const QString& code, const QString& name);

    const NameMasterKind& kind_;
};

}  // namespace kesola
