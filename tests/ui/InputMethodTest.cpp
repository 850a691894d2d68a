#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

#include "ui/AsciiBox.h"
#include "ui/CompositionKeeper.h"

using namespace kesola;

namespace {

void commitTo(QWidget* box, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

void composeIn(QWidget* box, const QString& text) {
    QInputMethodEvent event(text, {});
    QApplication::sendEvent(box, &event);
}

// A window with a name box, a remarks box and an age box, as the reservation window has, and the keeper installed
// as the program installs it.
struct Window {
    QWidget window;
    QLineEdit* name = new QLineEdit(&window);
    QLineEdit* remarks = new QLineEdit(&window);
    DigitBox* age = new DigitBox(&window);
    CompositionKeeper keeper;

    Window() {
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* box : {static_cast<QWidget*>(name), static_cast<QWidget*>(remarks), static_cast<QWidget*>(age)})
            layout->addWidget(box);
        qApp->installEventFilter(&keeper);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        name->setFocus();
    }
    ~Window() { qApp->removeEventFilter(&keeper); }

    // What Qt and IBus do when the user clicks another box while "すずき" is still composed in the name box: Qt
    // commits it into the name box, moves the focus, and IBus commits the same text again.
    void clickAwayWhileComposing(QLineEdit* next) {
        composeIn(name, "すずき");
        commitTo(name, "すずき");
        next->setFocus(Qt::MouseFocusReason);
        commitTo(next, "すずき");
    }
};

}  // namespace

TEST(InputMethod, ACompositionLeftByAClickStaysInTheBoxWhereItWasTyped) {
    for (bool toAge : {false, true}) {
        Window w;
        QLineEdit* next = toAge ? static_cast<QLineEdit*>(w.age) : w.remarks;
        w.clickAwayWhileComposing(next);
        EXPECT_EQ(w.name->text(), "すずき");
        EXPECT_EQ(next->text(), "") << (toAge ? "age" : "remarks");
    }
}

TEST(InputMethod, WhatIsTypedAfterTheFocusMovedArrivesWhole) {
    Window w;
    w.clickAwayWhileComposing(w.remarks);
    // The same word typed again in the remarks: composed first, so it is the user's.
    composeIn(w.remarks, "すずき");
    commitTo(w.remarks, "すずき");
    EXPECT_EQ(w.remarks->text(), "すずき");

    // A word committed with Return, then a click: nothing was left composed, nothing is held back.
    commitTo(w.remarks, "造影");
    // Through the window, as the window system delivers a click.
    QTest::mouseClick(w.window.windowHandle(), Qt::LeftButton, {}, w.name->geometry().center());
    EXPECT_EQ(QApplication::focusWidget(), w.name);
    commitTo(w.name, "造影");
    EXPECT_EQ(w.name->text(), "すずき造影");
}

TEST(InputMethod, TheAgeBoxTakesNothingButDigitsFromAnySource) {
    DigitBox age;
    age.setMaxLength(3);
    commitTo(&age, "さと5");
    commitTo(&age, "４");
    age.insert("1x");  // as a paste does
    EXPECT_EQ(age.text(), "");
    commitTo(&age, "4");
    age.insert("5");
    EXPECT_EQ(age.text(), "45");
    EXPECT_FALSE(age.inputMethodQuery(Qt::ImEnabled).toBool());
}

// A commit the user made is an event of its own: whatever moves the focus afterwards, a dialog that opens or the
// program, the user's next commit is kept, even one that arrives without a composition before it.
TEST(InputMethod, AFocusMovedAfterTheUsersCommitKeepsTheNextCommit) {
    for (bool dialog : {false, true}) {
        Window w;
        composeIn(w.name, "すずき");
        commitTo(w.name, "すずき");  // Return
        QCoreApplication::processEvents();
        QWidget other;
        QLineEdit* next = w.remarks;
        if (dialog) {
            next = new QLineEdit(&other);
            other.show();
            other.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        }
        next->setFocus(Qt::OtherFocusReason);
        commitTo(next, "すずき");
        EXPECT_EQ(next->text(), "すずき") << (dialog ? "dialog" : "focus moved by the program");
    }
}

TEST(InputMethod, TheKeeperIsInstalledOnlyWhereTheInputMethodRepeatsItsCommit) {
    const struct {
        const char* platform;
        const char* module;
        bool repeats;
    } cases[] = {{"xcb", "ibus", true},       {"wayland", "ibus", true}, {"xcb", "", false},
                 {"xcb", "fcitx", false},     {"windows", "", false},    {"windows", "ibus", false},
                 {"offscreen", "ibus", false}};
    for (const auto& c : cases)
        EXPECT_EQ(inputMethodRepeatsCommits(c.platform, c.module), c.repeats) << c.platform << " " << c.module;
    EXPECT_FALSE(installCompositionKeeper()) << "on " << QGuiApplication::platformName().toStdString();
}

// Pastes as a spreadsheet cell, a mail or a full-width text hand them over, by every way of pasting the box knows.
TEST(AsciiBox, PastesAreTrimmedAndMadeHalfWidthOrRefusedWhole) {
    const struct {
        bool idBox;
        const char* before;
        const char* pasted;
        const char* after;
        bool refused;
    } cases[] = {
        {false, "", "45\r\n", "45", false},
        {false, "", " 45", "45", false},
        {false, "", "４５", "45", false},
        {false, "1", "\t２\r\n", "12", false},
        {false, "", "45歳", "", true},
        {false, "1", "234", "1", true},
        {true, "", "P-0001\r\n", "P-0001", false},
        {true, "", "ｐ－０００１", "p-0001", false},
        {true, "", "P-0001-2345-6789-0", "", true},
        {true, "", "P 0001", "", true},
        {false, "", " \r\n", "", false},
    };
    enum Way { kCtrlV, kShiftInsert, kContextMenu };
    for (Way way : {kCtrlV, kShiftInsert, kContextMenu}) {
        for (const auto& c : cases) {
            QWidget window;
            AsciiBox* box = c.idBox ? new AsciiBox(QStringLiteral("[A-Za-z0-9-]*"), &window) : new DigitBox(&window);
            box->setMaxLength(c.idBox ? 16 : 3);
            QStringList refused;
            box->setPasteRefusal([&](const QString& pasted) { refused << pasted; });
            box->setText(c.before);
            QGuiApplication::clipboard()->setText(QString::fromUtf8(c.pasted));
            if (way == kCtrlV) QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            if (way == kShiftInsert) QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
            if (way == kContextMenu) {
                QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(1, 1), box->mapToGlobal(QPoint(1, 1)));
                QApplication::sendEvent(box, &menuEvent);
                auto* menu = box->findChild<QMenu*>();
                ASSERT_NE(menu, nullptr);
                const auto actions = menu->actions();
                const auto paste = std::find_if(actions.begin(), actions.end(), [](QAction* a) {
                    return a->text().startsWith(QCoreApplication::translate("QLineEdit", "&Paste"));
                });
                ASSERT_NE(paste, actions.end());
                (*paste)->trigger();
                menu->close();
            }
            EXPECT_EQ(box->text(), QString::fromUtf8(c.after)) << way << " " << c.pasted;
            EXPECT_EQ(refused, c.refused ? QStringList{QString::fromUtf8(c.pasted).trimmed()} : QStringList{})
                << way << " " << c.pasted;
        }
    }
}
