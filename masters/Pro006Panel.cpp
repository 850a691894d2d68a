#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "masters/MasterTexts.h"
#include "masters/Pro006.h"
#include "ui/Controls.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"

namespace kesola {

namespace {

constexpr int kSmallPoints = 9;
constexpr int kPreviewPoints = 72;
constexpr int kLetterLeft = 3930;
constexpr int kBarLeft = 4155;
constexpr int kValueLeft = 5940;
constexpr int kRowHeight = 240;

struct ComponentStyle {
    const char* letter;
    QColor background;
    QColor text;
};
const ComponentStyle kComponentStyles[PRO006::kComponentCount] = {
    {"R", QColor(255, 0, 0), QColor(255, 255, 255)},
    {"G", QColor(0, 255, 0), QColor(0, 0, 0)},
    {"B", QColor(0, 0, 255), QColor(255, 255, 255)},
};

// Rows of the two halves: the letter label's index and the row's top, for red, green and blue.
struct PanelRow {
    int letterIndex;
    int top;
};
const PanelRow kBackgroundRows[PRO006::kComponentCount] = {{0, 2340}, {1, 2610}, {3, 2880}};
const PanelRow kForegroundRows[PRO006::kComponentCount] = {{6, 3585}, {5, 3855}, {4, 4125}};

QScrollBar* makeComponentBar(QWidget* parent, const QString& name, int top) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setGeometry(twipsRect(kBarLeft, top, 1770, kRowHeight));
    bar->setRange(0, 255);
    bar->setSingleStep(1);  // the arrows
    bar->setPageStep(5);    // a click in the trough
    // The preview and the value labels follow a dragged thumb only when it is released.
    bar->setTracking(false);
    // Left and right arrow keys move the value the way the thumb moves (Qt inverts them for scroll bars).
    bar->setInvertedControls(false);
    bar->setFocusPolicy(Qt::StrongFocus);
    return bar;
}

}  // namespace

void PRO006::buildColourPanel() {
    PRGB = makeLabel(this, QStringLiteral("PRGB"), master_texts::kPreviewSample, QRect(4410, 240, 1575, 1560),
                     kPreviewPoints, QColor(0, 0, 0), true);
    PRGB->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A framed QLabel indents its text by half an "x" of its font, a quarter of this label at 72 points.
    PRGB->setIndent(0);
    PRGB->setFont(fittedFont(PRGB->font(), PRGB->text(), PRGB->contentsRect().size()));

    buildHeader(7, master_texts::kBackColour, 2085);
    buildHeader(8, master_texts::kForeColour, 3330);
    for (int i = 0; i < kComponentCount; ++i) {
        buildComponentRow(kBackgroundRows[i].letterIndex, i, kBackgroundRows[i].top, BSRGB[i], BVRGB[i],
                          QStringLiteral("B%1RGB%2"));
        buildComponentRow(kForegroundRows[i].letterIndex, i, kForegroundRows[i].top, FSRGB[i], FVRGB[i],
                          QStringLiteral("F%1RGB%2"));
        connect(BSRGB[i], &QScrollBar::valueChanged, this, [this, i] { BSRGB_Change(i); });
        connect(FSRGB[i], &QScrollBar::valueChanged, this, [this, i] { FSRGB_Change(i); });
    }

    QWidget* previous = BTN[kChange];
    for (const Bars* bars : {&BSRGB, &FSRGB}) {
        for (QScrollBar* bar : *bars) {
            setTabOrder(previous, bar);
            previous = bar;
        }
    }
}

void PRO006::buildHeader(int index, const QString& caption, int top) {
    LBL[index] = makeLabel(this, QStringLiteral("LBL%1").arg(index), caption, QRect(kLetterLeft, top, 2430, 225),
                           kSmallPoints, kButtonFace, true);
    LBL[index]->setAlignment(Qt::AlignCenter);
}

// namePattern holds %1 for "S" (bar) or "V" (value label) and %2 for the component index: "BSRGB0", "FVRGB2".
void PRO006::buildComponentRow(int letterIndex, int component, int top, QScrollBar*& bar, QLabel*& value,
                               const QString& namePattern) {
    const ComponentStyle& style = kComponentStyles[component];
    QLabel* letter = makeLabel(this, QStringLiteral("LBL%1").arg(letterIndex), QString::fromLatin1(style.letter),
                               QRect(kLetterLeft, top, 210, kRowHeight), kSmallPoints, style.background, true);
    setColours(letter, style.background, style.text);
    letter->setAlignment(Qt::AlignCenter);
    LBL[letterIndex] = letter;

    bar = makeComponentBar(this, namePattern.arg(QStringLiteral("S")).arg(component), top);

    value = makeLabel(this, namePattern.arg(QStringLiteral("V")).arg(component), QString(),
                      QRect(kValueLeft, top, 420, kRowHeight), kSmallPoints, style.background, true);
    setColours(value, style.background, style.text);
    value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

}  // namespace kesola
