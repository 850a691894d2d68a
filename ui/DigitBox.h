#pragma once

#include <QLineEdit>
#include <QVariant>

namespace kesola {

// A text box for digits that no input method ever takes over: while a Japanese input method is switched on (as
// receptionists keep it), digits typed here still arrive as plain key presses instead of an uncommitted full-width
// "４５". QLineEdit answers Qt::ImEnabled itself and sets WA_InputMethodEnabled again whenever it likes, so the
// platform's question is answered here.
class DigitBox : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
        if (query == Qt::ImEnabled) return false;
        return QLineEdit::inputMethodQuery(query);
    }
};

}  // namespace kesola
