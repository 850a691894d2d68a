#pragma once

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVariant>

namespace kesola {

// A text box for plain ASCII (an age, a patient ID) that no input method ever takes over: while a Japanese input
// method is switched on (as receptionists keep it), what is typed here still arrives as plain key presses instead
// of an uncommitted full-width "４５". QLineEdit answers Qt::ImEnabled itself and sets WA_InputMethodEnabled again
// whenever it likes, so the platform's question is answered here.
//
// It takes nothing but what `allowed` matches, from any source: a key, a paste, or a text the input method commits
// into it (a composition left in another box can reach it that way). Text set by the program is shown as stored.
class AsciiBox : public QLineEdit {
  public:
    AsciiBox(const QString& allowed, QWidget* parent) : QLineEdit(parent) {
        setValidator(new QRegularExpressionValidator(QRegularExpression(allowed), this));
    }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
        if (query == Qt::ImEnabled) return false;
        return QLineEdit::inputMethodQuery(query);
    }
};

// The digits 0 to 9 only.
class DigitBox : public AsciiBox {
  public:
    explicit DigitBox(QWidget* parent = nullptr) : AsciiBox(QStringLiteral("[0-9]*"), parent) {}
};

}  // namespace kesola
