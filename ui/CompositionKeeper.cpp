#include "ui/CompositionKeeper.h"

#include <QEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTimer>

namespace kesola {

bool CompositionKeeper::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::InputMethod:
            return takeInputMethodEvent(watched, *static_cast<QInputMethodEvent*>(event));
        case QEvent::FocusAboutToChange:
            // Qt commits a box's composition just before it tells the box that the focus leaves it.
            if (watched == committedTo_ && !committed_.isEmpty()) {
                echo_ = committed_;
                echoDeadline_.setRemainingTime(kEchoWindowMs);
            }
            committedTo_ = nullptr;
            return false;
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
            committedTo_ = nullptr;
            return false;
        default:
            return false;
    }
}

bool CompositionKeeper::takeInputMethodEvent(QObject* watched, const QInputMethodEvent& event) {
    const QString& commit = event.commitString();
    const QString& preedit = event.preeditString();
    if (commit.isEmpty() && preedit.isEmpty()) return false;  // a reset, or the end of an empty composition
    if (!echo_.isEmpty() && preedit.isEmpty() && commit == echo_ && !echoDeadline_.hasExpired()) {
        echo_.clear();
        return true;
    }
    // Anything composed or committed anew ends the wait: the user is typing again.
    echo_.clear();
    committedTo_ = preedit.isEmpty() ? watched : nullptr;
    committed_ = commit;
    // Qt's own commit is followed by the focus change in the same call; a commit that is still the last thing
    // once the event loop turns was the user's.
    if (committedTo_) QTimer::singleShot(0, this, [this] { committedTo_ = nullptr; });
    return false;
}

bool inputMethodRepeatsCommits(const QString& platformName, const QString& inputMethodModule) {
    const bool loadsInputMethodModules = platformName == u"xcb" || platformName.startsWith(u"wayland");
    return loadsInputMethodModules && inputMethodModule == u"ibus";
}

bool installCompositionKeeper() {
    if (!inputMethodRepeatsCommits(QGuiApplication::platformName(), qEnvironmentVariable("QT_IM_MODULE"))) return false;
    auto* app = QCoreApplication::instance();
    app->installEventFilter(new CompositionKeeper(app));
    return true;
}

}  // namespace kesola
