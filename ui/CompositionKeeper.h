#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QInputMethodEvent;

namespace kesola {

// Keeps what the input method composed in the box where it was typed when the user moves on with a click, as
// Windows' input method does.
//
// When the focus leaves a box that shows a composition, Qt commits it into that box, while the box still has the
// focus, and then tells IBus to reset. IBus's engines (Mozc) ask for their composition to be committed on a reset,
// so IBus sends the same text a second time, and that commit reaches whichever box has the focus by then: the
// name typed would stand in the remarks, or in the age box, as well. The keeper recognises that second commit (the
// same text, soon after a focus change that committed it, before anything is composed again) and drops it.
//
// Only Qt's own commit, made during the focus change itself, is awaited a second time: a text the user committed
// earlier (with Return, say) and a focus change the program makes later, or a dialog that opens in between, never
// make the user's next commit look like IBus's.
//
// Installed once on the application, and only where the input method repeats the commit (IBus); it watches every
// box that takes Japanese (the reservation window's name and remarks, the master editors' names, the search
// window's name) and the age box alike. Windows' own input method, among others, commits once: there a user's own
// word typed twice would be lost.
class CompositionKeeper : public QObject {
  public:
    // How long after the focus change a second commit of the same text is taken for IBus's. IBus answers within
    // milliseconds; the margin covers a loaded machine.
    static constexpr int kEchoWindowMs = 2000;

    explicit CompositionKeeper(QObject* parent = nullptr) : QObject(parent) {}

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool takeInputMethodEvent(QObject* watched, const QInputMethodEvent& event);

    // The last commit and the box it went to, while nothing else has happened since, within the handling of one
    // event (Qt's commit on a focus change).
    QPointer<QObject> committedTo_;
    QString committed_;
    // The text whose second commit is awaited, and until when.
    QString echo_;
    QDeadlineTimer echoDeadline_;
};

// True where the platform's input method commits a composition a second time after a focus change: IBus, which
// Qt on X11 and Wayland loads when QT_IM_MODULE names it.
bool inputMethodRepeatsCommits(const QString& platformName, const QString& inputMethodModule);

// Installs one keeper on the running application where its input method repeats commits; returns whether it did.
bool installCompositionKeeper();

}  // namespace kesola
