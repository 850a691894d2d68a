#include "masters/Pro003.h"

#include <QPushButton>

#include "masters/MasterTexts.h"
#include "masters/NameMasterWindows.h"
#include "masters/Pro006.h"
#include "store/Texts.h"
#include "ui/Controls.h"

namespace kesola {

namespace {

using namespace master_texts;

constexpr int kButtonPoints = 12;

struct ButtonLayout {
    int index;
    const QString& caption;
    QRect twips;
};

}  // namespace

PRO003::PRO003(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("PRO003"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setupFixedWindow(this, 3645, 3720, kWindowBackground, kButtonPoints);
    // In tab order.
    const ButtonLayout layout[] = {
        {kBodyParts, kBodyPartButton, QRect(225, 225, 1500, 1500)},
        {kRooms, kRoomButton, QRect(1920, 225, 1500, 1500)},
        {kDepartments, kDepartmentButton, QRect(225, 1950, 1500, 1500)},
        {kBack, texts::kBackCaption, QRect(1920, 2430, 1500, 510)},
    };
    QPushButton* previous = nullptr;
    for (const ButtonLayout& b : layout) {
        QPushButton* button =
            makeButton(this, QStringLiteral("BTN%1").arg(b.index), b.caption, b.twips, kButtonPoints, kButtonFace);
        const int index = b.index;
        connect(button, &QPushButton::clicked, this, [this, index] { BTN_Click(index); });
        if (previous) setTabOrder(previous, button);
        previous = button;
        BTN[b.index] = button;
    }
    BTN[kUnused] = makeButton(this, QStringLiteral("BTN1"), QString(), QRect(0, 0, 0, 0), kButtonPoints, kButtonFace);
    BTN[kUnused]->hide();
}

void PRO003::Form_Load() {
    centreOnScreen(this);
    setWindowTitle(texts::caption(ctx_.g.SYS_TITLE, kMenuWindowName));
}

void PRO003::BTN_Click(int index) {
    switch (index) {
        case kBodyParts:
            openEditor<PRO004>();
            break;
        case kRooms:
            openEditor<PRO007>();
            break;
        case kDepartments:
            openEditor<PRO006>();
            break;
        case kBack:
            close();
            break;
        default:
            break;
    }
}

template <typename Editor>
void PRO003::openEditor() {
    showFreshWindow<Editor>(ctx_.modal, ctx_, this);
}

}  // namespace kesola
