#pragma once

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "store/MessageService.h"
#include "ui/ModalService.h"
#include "ui/PrintService.h"

namespace kesola::test {

// Records every message box and answers from a queue (OK when the queue is empty).
class ScriptedMessages : public MessageService {
  public:
    struct Box {
        QString text;
        MsgIcon icon;
        MsgButtons buttons;
        QString title;
    };

    MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) override {
        shown.push_back({text, icon, buttons, title});
        if (onShow) onShow(shown.back());
        if (answers.empty()) return MsgAnswer::Ok;
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    void answerNext(MsgAnswer a) { answers.push_back(a); }
    QStringList texts() const {
        QStringList out;
        for (const Box& b : shown) out << b.text;
        return out;
    }
    const Box& last() const { return shown.back(); }
    void clear() { shown.clear(); }

    std::vector<Box> shown;
    std::deque<MsgAnswer> answers;
    std::function<void(const Box&)> onShow;
};

// Instead of waiting for a user, runs the next queued action on the dialog (which may press its buttons), then
// returns as if the window had closed. With no action queued the window is closed at once.
class ScriptedModal : public ModalService {
  public:
    using Action = std::function<void(QDialog&)>;
    void showModal(QDialog& dialog) override {
        ++opened;
        openedTitles << dialog.windowTitle();
        dialog.show();
        if (!actions.empty()) {
            Action a = std::move(actions.front());
            actions.pop_front();
            a(dialog);
        }
        dialog.hide();
    }
    void then(Action a) { actions.push_back(std::move(a)); }

    int opened = 0;
    QStringList openedTitles;
    std::deque<Action> actions;
};

// Records printed pages; can be told to fail.
class RecordingPrinter : public PrintService {
  public:
    bool printImage(const QImage& image, QString* error) override {
        if (fail) {
            if (error) *error = QStringLiteral("printer failure");
            return false;
        }
        pages.push_back(image);
        return true;
    }
    bool fail = false;
    std::vector<QImage> pages;
};

}  // namespace kesola::test
