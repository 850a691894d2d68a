#include "ui/Controls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QWindow>

#include "ui/Fonts.h"
#include "ui/Twips.h"

namespace kesola {

namespace {

// The workstations' drop-down lists have a narrow arrow: a year ("2026") fills a 55-pixel selector. The toolkit's
// wider arrow would cut the year off, so the arrow is narrowed here and the text gets the rest.
class CompactComboStyle : public QProxyStyle {
  public:
    CompactComboStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        if (control == CC_ComboBox && (sub == SC_ComboBoxArrow || sub == SC_ComboBoxEditField)) {
            const QRect frame = option->rect;
            constexpr int kArrow = 13;
            if (sub == SC_ComboBoxArrow)
                return QRect(frame.right() - kArrow, frame.top() + 1, kArrow, frame.height() - 2);
            return QRect(frame.left() + 3, frame.top() + 1, frame.width() - kArrow - 4, frame.height() - 2);
        }
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }
};

QStyle* compactComboStyle() {
    static CompactComboStyle* style = [] {
        auto* s = new CompactComboStyle;
        s->setParent(qApp);
        return s;
    }();
    return style;
}

}  // namespace

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
    combo->setStyle(compactComboStyle());
    combo->setGeometry(twipsRect(twipsGeometry.x(), twipsGeometry.y(), twipsGeometry.width(), twipsGeometry.height()));
    combo->setFont(msGothic(points));
    return combo;
}

namespace {

// Remembers that a selector's entry has just changed, until the user's next key, click or wheel turn on the selector
// or its list: a change that the program made is never followed by an `activated`.
class ChangeJustTold : public QObject {
  public:
    explicit ChangeJustTold(QComboBox* combo) : QObject(combo) {
        combo->installEventFilter(this);
        combo->view()->installEventFilter(this);
        combo->view()->viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::ShortcutOverride:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::Wheel:
                told = false;
                break;
            default:
                break;
        }
        return false;
    }
    bool told = false;
};

}  // namespace

void onEverySelection(QComboBox* combo, QObject* context, const std::function<void()>& handler) {
    auto* change = new ChangeJustTold(combo);
    QObject::connect(combo, &QComboBox::currentIndexChanged, context, [change, handler] {
        change->told = true;
        handler();
    });
    QObject::connect(combo, &QComboBox::activated, context, [change, handler] {
        if (!change->told) handler();
        change->told = false;
    });
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

void setTextWhole(QLineEdit* box, const QString& text, int typingLimit) {
    box->setMaxLength(std::max<int>(typingLimit, text.size()));
    box->setText(text);
}

void setupFixedWindow(QWidget* window, int widthTwips, int heightTwips, QColor background, int fontPoints) {
    window->setFixedSize(twipsSize(widthTwips, heightTwips));
    window->setFont(msGothic(fontPoints));
    setColours(window, background, QColor(0, 0, 0));
}

QPoint centredFramePosition(const QRect& screen, const QSize& client, const QMargins& frame, int raisePixels) {
    const QSize whole = client.grownBy(frame);
    return QPoint(screen.x() + (screen.width() - whole.width()) / 2,
                  screen.y() + (screen.height() - whole.height()) / 2 - raisePixels);
}

namespace {

QMargins frameMarginsOf(const QWidget* window) {
    return window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
}

void placeCentred(QWidget* window, int raisePixels, const QMargins& frame) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    window->move(centredFramePosition(screen->geometry(), window->size(), frame, raisePixels));
}

// The window manager frames a window some moments after it is mapped, and only then are its frame's sizes known.
// Looks for them for half a second after the window is shown, too soon for a user to have moved it, and centres the
// window once by them.
class CentreWhenFramed : public QObject {
  public:
    CentreWhenFramed(QWidget* window, int raisePixels) : QObject(window), window_(window), raise_(raisePixels) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) look(0);
        return false;
    }

  private:
    void look(int attempt) {
        const QMargins frame = frameMarginsOf(window_);
        if (!frame.isNull()) {
            placeCentred(window_, raise_, frame);
            return deleteLater();
        }
        if (attempt >= 10) return deleteLater();
        QTimer::singleShot(50, this, [this, attempt] { look(attempt + 1); });
    }

    QWidget* window_;
    int raise_;
};

}  // namespace

void centreOnScreen(QWidget* window, int raiseTwips) {
    const QMargins frame = frameMarginsOf(window);
    placeCentred(window, twips(raiseTwips), frame);
    if (frame.isNull() && !window->isVisible()) new CentreWhenFramed(window, twips(raiseTwips));
}

}  // namespace kesola
