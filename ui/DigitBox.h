#pragma once

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVariant>

namespace kesola {

// A text box for digits that no input method ever takes over: while a Japanese input method is switched on (as
// receptionists keep it), digits typed here still arrive as plain key presses instead of an uncommitted full-width
// "４５". QLineEdit answers Qt::ImEnabled itself and sets WA_InputMethodEnabled again whenever it likes, so the
// platform's question is answered here.
//
// It takes nothing but the digits 0 to 9 from any source: a key, a paste, or a text the input method commits into
// it (a composition left in another box can reach it that way). Text set by the program is shown as stored.
class DigitBox : public QLineEdit {
  public:
    explicit DigitBox(QWidget* parent = nullptr) : QLineEdit(parent) {
        setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
        if (query == Qt::ImEnabled) return false;
        return QLineEdit::inputMethodQuery(query);
    }
};

}  // namespace kesola
