#include "ui/AsciiBox.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "store/NameMatch.h"

namespace kesola {

AsciiBox::AsciiBox(const QString& allowed, QWidget* parent) : QLineEdit(parent) {
    setValidator(new QRegularExpressionValidator(QRegularExpression(allowed), this));
    // A drop would go around the rules of a paste.
    setAcceptDrops(false);
}

void AsciiBox::takePaste(const QString& pasted) {
    const QString taken = halfWidthForm(pasted.trimmed());
    if (taken.isEmpty()) return;
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    QString result = text();
    result.replace(start, selectionLength(), taken);
    int cursor = start + static_cast<int>(taken.size());
    if (result.size() <= maxLength() && validator()->validate(result, cursor) == QValidator::Acceptable) {
        insert(taken);
    } else if (refusal_) {
        refusal_(pasted.trimmed());
    } else {
        QApplication::beep();
    }
}

void AsciiBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste) && !isReadOnly()) {
        takePaste(QGuiApplication::clipboard()->text());
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// X11 pastes its selection with the middle button, where the press has put the cursor.
void AsciiBox::mouseReleaseEvent(QMouseEvent* event) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() && !isReadOnly()) {
        deselect();
        takePaste(clipboard->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

// Qt's own menu, with its 貼り付け going through takePaste. The action is known by its text, which Qt writes as
// its translation of "&Paste", a tab and the shortcut.
void AsciiBox::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    const QString pasteText = QCoreApplication::translate("QLineEdit", "&Paste");
    for (QAction* action : menu->actions()) {
        if (action->text().section(u'\t', 0, 0) != pasteText) continue;
        disconnect(action, &QAction::triggered, this, nullptr);
        connect(action, &QAction::triggered, this, [this] { takePaste(QGuiApplication::clipboard()->text()); });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

}  // namespace kesola
