#include "ui/Controls.h"

#include <QGuiApplication>
#include <QScreen>

#include "ui/Fonts.h"
#include "ui/Twips.h"

namespace kesola {

void setColours(QWidget* widget, QColor background, QColor text) {
    QPalette palette = widget->palette();
    if (palette.color(QPalette::Window) == background && palette.color(QPalette::WindowText) == text &&
        widget->autoFillBackground()) {
        return;
    }
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Button, background);
    palette.setColor(QPalette::ButtonText, text);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* makeLabel(QWidget* parent, const QString& objectName, const QString& caption, const QRect& twipsGeometry,
                  int points, QColor background, bool bordered) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(objectName);
    label->setGeometry(twipsRect(twipsGeometry.x(), twipsGeometry.y(), twipsGeometry.width(), twipsGeometry.height()));
    label->setFont(msGothic(points));
    label->setTextFormat(Qt::PlainText);
    if (background.isValid()) setColours(label, background, QColor(0, 0, 0));
    if (bordered) label->setFrameStyle(QFrame::Box | QFrame::Plain);
    return label;
}

QLabel* makeAutoSizeLabel(QWidget* parent, const QString& objectName, const QString& caption, int left, int top,
                          int points) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(objectName);
    label->setFont(msGothic(points));
    label->setTextFormat(Qt::PlainText);
    label->move(twips(left), twips(top));
    label->adjustSize();
    return label;
}

QLabel* makeTitleLabel(QWidget* parent, const QString& objectName, const QString& caption, const QRect& twipsGeometry,
                       int points) {
    QLabel* label = makeLabel(parent, objectName, caption, twipsGeometry, points, QColor(0, 128, 176), true);
    setColours(label, QColor(0, 128, 176), QColor(255, 255, 255));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QComboBox* makeDropDown(QWidget* parent, const QString& objectName, const QRect& twipsGeometry, int points) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(objectName);
    combo->setEditable(false);
    combo->setGeometry(twipsRect(twipsGeometry.x(), twipsGeometry.y(), twipsGeometry.width(), twipsGeometry.height()));
    combo->setFont(msGothic(points));
    return combo;
}

QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& caption, const QRect& twipsGeometry,
                        int points, QColor face) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setGeometry(twipsRect(twipsGeometry.x(), twipsGeometry.y(), twipsGeometry.width(), twipsGeometry.height()));
    button->setFont(msGothic(points));
    button->setAutoDefault(false);
    setColours(button, face, QColor(0, 0, 0));
    return button;
}

void setupFixedWindow(QWidget* window, int widthTwips, int heightTwips, QColor background, int fontPoints) {
    window->setFixedSize(twipsSize(widthTwips, heightTwips));
    window->setFont(msGothic(fontPoints));
    setColours(window, background, QColor(0, 0, 0));
}

void centreOnScreen(QWidget* window, int raiseTwips) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const QSize size = window->frameSize().isValid() && window->isVisible() ? window->frameSize() : window->size();
    window->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2 - twips(raiseTwips));
}

}  // namespace kesola
