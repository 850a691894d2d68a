#pragma once

#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QWidget>
#include <functional>

namespace kesola {

// The colours every window of the system shares: the window's background and the face of its grey buttons.
inline const QColor kWindowBackground(255, 224, 192);
inline const QColor kButtonFace(224, 224, 224);

// Small builders for the controls every window uses; geometry in twips, colours as the windows specify.

// A label at a fixed place. A null background colour leaves it transparent.
QLabel* makeLabel(QWidget* parent, const QString& objectName, const QString& caption, const QRect& twipsGeometry,
                  int points, QColor background = {}, bool bordered = false);

// A transparent label placed at left/top and sized to its text.
QLabel* makeAutoSizeLabel(QWidget* parent, const QString& objectName, const QString& caption, int left, int top,
                          int points);

// The title labels of the data windows: background RGB(0,128,176), white text, centred, single border.
QLabel* makeTitleLabel(QWidget* parent, const QString& objectName, const QString& caption, const QRect& twipsGeometry,
                       int points = 12);

// A drop-down list: the user can only pick an entry; no entry chosen reads as the empty text.
QComboBox* makeDropDown(QWidget* parent, const QString& objectName, const QRect& twipsGeometry, int points);

// Runs the handler once for every selection in the drop-down list: one made by the program, and every choice of the
// user, also of the entry already shown. Qt tells a re-chosen entry only as `activated`, a changed one as a change
// followed by `activated`; the pair counts once.
void onEverySelection(QComboBox* combo, QObject* context, const std::function<void()>& handler);

QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& caption, const QRect& twipsGeometry,
                        int points, QColor face);

// Shows a stored text whole in a box that limits typing to typingLimit characters: a longer text written by another
// program must not be cut on loading, or storing it again would lose its end.
void setTextWhole(QLineEdit* box, const QString& text, int typingLimit);

// Sets a widget's background and text colour (only when they change: palette changes repaint).
void setColours(QWidget* widget, QColor background, QColor text);

// Fixed-size window with the given client size and background colour.
void setupFixedWindow(QWidget* window, int widthTwips, int heightTwips, QColor background, int fontPoints);

// Where a window's frame goes so that the whole window, frame and title bar included, sits in the middle of the
// screen area, raised by raisePixels.
QPoint centredFramePosition(const QRect& screen, const QSize& client, const QMargins& frame, int raisePixels);

// Centres the window, frame included, on its screen; raise moves it up by that many twips. A window not shown yet
// has no frame: it is centred again as soon as the window manager has framed it, unless it was moved meanwhile.
void centreOnScreen(QWidget* window, int raiseTwips = 0);

}  // namespace kesola
