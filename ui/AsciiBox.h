#pragma once

#include <QLineEdit>
#include <QVariant>
#include <functional>

namespace kesola {

// A text box for plain ASCII (an age, a patient ID) that no input method ever takes over: while a Japanese input
// method is switched on (as receptionists keep it), what is typed here still arrives as plain key presses instead
// of an uncommitted full-width "４５". QLineEdit answers Qt::ImEnabled itself and sets WA_InputMethodEnabled again
// whenever it likes, so the platform's question is answered here.
//
// It takes nothing but what `allowed` matches, from any source: a key, a paste, or a text the input method commits
// into it (a composition left in another box can reach it that way). Text set by the program is shown as stored.
//
// A paste (Ctrl+V, Shift+Insert, the context menu's 貼り付け, the middle button's selection) is taken as a person
// means it: a spreadsheet cell's line end and the spaces around it are dropped and full-width letters and digits
// become ASCII ("４５\r\n" pastes 45). A paste that still does not fit (a character the box does not take, or
// more than its maximum length) changes nothing and is handed to the refusal set with setPasteRefusal, so that the
// window says why; it is never cut to fit. Text dragged onto the box is not taken.
class AsciiBox : public QLineEdit {
  public:
    AsciiBox(const QString& allowed, QWidget* parent);

    // Called with the pasted text, without its surrounding spaces, when a paste is refused. Without one the box
    // beeps.
    void setPasteRefusal(std::function<void(const QString& pasted)> refusal) { refusal_ = std::move(refusal); }

    // Takes a pasted text in place of the selection, at the cursor, as described above.
    void takePaste(const QString& pasted);

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
        if (query == Qt::ImEnabled) return false;
        return QLineEdit::inputMethodQuery(query);
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    std::function<void(const QString&)> refusal_;
};

// The digits 0 to 9 only.
class DigitBox : public AsciiBox {
  public:
    explicit DigitBox(QWidget* parent = nullptr) : AsciiBox(QStringLiteral("[0-9]*"), parent) {}
};

}  // namespace kesola
