#include "masters/NameMasterEditor.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "masters/MasterTexts.h"
#include "masters/PressList.h"
#include "store/MasterList.h"
#include "store/Numbers.h"
#include "store/Schema.h"
#include "store/TextWidth.h"
#include "store/Texts.h"
#include "store/engine/Database.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"
#include "ui/Controls.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"
#include "ui/WindowKit.h"

namespace kesola {

namespace {

constexpr int kControlPoints = 12;
constexpr int kWindowWidth = 3915;
constexpr int kWindowHeight = 5805;

}  // namespace

NameMasterEditor::NameMasterEditor(AppContext& ctx, const NameMasterKind& kind, QWidget* parent)
    : NameMasterEditor(ctx, kind, parent, kWindowWidth, kControlPoints) {}

NameMasterEditor::NameMasterEditor(AppContext& ctx, const NameMasterKind& kind, QWidget* parent, int widthTwips,
                                   int fontPoints)
    : QDialog(parent), ctx_(ctx), kind_(kind) {
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setupFixedWindow(this, widthTwips, kWindowHeight, kWindowBackground, fontPoints);
    buildControls();
}

void NameMasterEditor::buildControls() {
    LST = new PressList(this);
    LST->setObjectName(QStringLiteral("LST"));
    LST->setGeometry(twipsRect(225, 225, 3480, 4140));
    LST->setFont(msGothic(kControlPoints));
    LST->setSelectionMode(QAbstractItemView::SingleSelection);
    LST->setSortingEnabled(false);
    LST->onMouseDown = [this] { LST_MouseDown(); };

    LBL[2] = makeTitleLabel(this, QStringLiteral("LBL2"), kind_.nameLabel, QRect(225, 4590, 1020, 360), kControlPoints);

    TXT = new QLineEdit(this);
    TXT->setObjectName(QStringLiteral("TXT"));
    TXT->setGeometry(twipsRect(1215, 4590, 2490, 360));
    TXT->setFont(msGothic(kControlPoints));
    TXT->setMaxLength(kNameBoxLength);
    // Names are Japanese: the box takes the input method (Qt has no way to ask it for Hiragana mode).
    TXT->setAttribute(Qt::WA_InputMethodEnabled, true);

    BTN[kBack] = makeButton(this, QStringLiteral("BTN0"), texts::kBackCaption, QRect(225, 5175, 1020, 360),
                            kControlPoints, kButtonFace);
    BTN[kChange] = makeButton(this, QStringLiteral("BTN1"), texts::kChangeCaption, QRect(1455, 5175, 1020, 360),
                              kControlPoints, kButtonFace);
    for (int i = 0; i < kButtonCount; ++i) {
        connect(BTN[i], &QPushButton::clicked, this, [this, i] { BTN_Click(i); });
    }
    setTabChain({LST, TXT, BTN[kBack], BTN[kChange]});
}

void NameMasterEditor::Form_Load() {
    centreOnScreen(this);
    setWindowTitle(texts::caption(ctx_.g.SYS_TITLE, kind_.windowName));
    LIST_SET();
}

// ---------------------------------------------------------------------------------------------------------------
// The list

void NameMasterEditor::LIST_SET() {
    LST->clear();
    setNameBox(QString());
    try {
        LST->addItems(readRows());
    } catch (const DbError& e) {
        ctx_.messages().reportDatabaseFailure(e, windowTitle());
    }
}

// Every code of the range is probed through the index, so the list always shows the whole range in code order,
// whatever else the table holds.
QStringList NameMasterEditor::readRows() {
    auto table = openTable(database(), kind_.table);
    QStringList rows;
    for (int n = 1; n <= kind_.lastSlot; ++n) {
        const QString code = kind_.code(n);
        const QString name = table->seek(code) ? table->field(kind_.nameField) : QString();
        rows << (trimBlanks(name).isEmpty() ? code : code + u' ' + name);
    }
    table->close();
    return rows;
}

void NameMasterEditor::LST_MouseDown() {
    const int row = firstSelectedRow();
    if (row < 0) return;
    const QString text = LST->item(row)->text();
    const bool named = text.size() != kind_.codeLength;
    setNameBox(named ? text.mid(kind_.codeLength + 1) : QString());
    try {
        slotPressed(text.left(kind_.codeLength), named);
    } catch (const DbError& e) {
        ctx_.messages().reportDatabaseFailure(e, windowTitle());
    }
}

void NameMasterEditor::setNameBox(const QString& text) { setTextWhole(TXT, text, kNameBoxLength); }

int NameMasterEditor::firstSelectedRow() const {
    for (int row = 0; row < LST->count(); ++row) {
        if (LST->item(row)->isSelected()) return row;
    }
    return -1;
}

QString NameMasterEditor::selectedCode() const {
    const int row = firstSelectedRow();
    return row < 0 ? QString() : LST->item(row)->text().left(kind_.codeLength);
}

// ---------------------------------------------------------------------------------------------------------------
// Buttons and saving

void NameMasterEditor::BTN_Click(int index) {
    if (index == kBack) {
        close();
    } else if (index == kChange) {
        // A failed write changed nothing: the list, the chosen slot and the typed name stay for another try, and a
        // store that has just failed (or is kept busy by another workstation) is not read again at once.
        if (DATA_SAVE()) LIST_SET();
    }
}

bool NameMasterEditor::DATA_SAVE() {
    const QString name = TXT->text();
    if (!name.isEmpty()) {
        // The width is measured on a copy without its surrounding blanks; the name is stored as typed.
        if (!fitsWidth(kind_.maximumWidth, name, ctx_.messages(), ctx_.g.SYS_TITLE)) return true;
    }
    const QString code = selectedCode();
    if (code.isEmpty()) {
        ctx_.messages().notice(texts::kSelectSlot, windowTitle());
        return true;
    }
    // After the checks of the width and the slot, which keep their order.
    if (!name.isEmpty() && !isWritable(name, ctx_.messages(), windowTitle())) return true;
    try {
        writeSlot(code, name);
    } catch (const DbError& e) {
        ctx_.messages().reportDatabaseFailure(e, windowTitle());
        return false;
    }
    return true;
}

void NameMasterEditor::writeSlot(const QString& code, const QString& name) {
    const bool storing = !name.isEmpty();
    storeMasterName(database(), kind_.table, kind_.nameField, code, name, storing ? fieldsAfterName() : RowFields{});
    if (storing) nameStored();
}

void NameMasterEditor::slotPressed(const QString& /*code*/, bool /*named*/) {}
RowFields NameMasterEditor::fieldsAfterName() const { return {}; }
void NameMasterEditor::nameStored() {}

Database& NameMasterEditor::database() const { return requireDatabase(ctx_.g); }

}  // namespace kesola
