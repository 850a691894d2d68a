#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ui/Controls.h"
#include "ui/Twips.h"

using namespace kesola;

TEST(WindowPlacement, TheWholeFramedWindowIsCentred) {
    const struct {
        QRect screen;
        QSize client;
        QMargins frame;
        int raise;
        QPoint expected;
    } cases[] = {
        {QRect(0, 0, 1920, 1080), QSize(1019, 716), QMargins(), 0, QPoint(450, 182)},
        {QRect(0, 0, 1920, 1080), QSize(1019, 716), QMargins(4, 30, 4, 4), 0, QPoint(446, 165)},
        {QRect(0, 0, 1920, 1080), QSize(1019, 716), QMargins(4, 30, 4, 4), 15, QPoint(446, 150)},
        {QRect(1920, 0, 1280, 1024), QSize(436, 383), QMargins(1, 21, 1, 1), 0, QPoint(2341, 309)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(centredFramePosition(c.screen, c.client, c.frame, c.raise), c.expected);
    }
}

TEST(WindowPlacement, AWindowIsCentredOnItsScreenWhenItLoads) {
    QWidget window;
    window.setFixedSize(twipsSize(6540, 5745));
    centreOnScreen(&window, 220);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window.pos(),
              QPoint((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2 - twips(220)));
}
