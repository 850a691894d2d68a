#include "masters/Pro003.h"

#include <QPushButton>

#include "masters/MasterTexts.h"
#include "masters/NameMasterWindows.h"
#include "masters/Pro006.h"
#include "store/Texts.h"
#include "ui/Controls.h"
#include "ui/WindowKit.h"

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
    for (const ButtonLayout& b : layout) {
        BTN[b.index] =
            makeButton(this, QStringLiteral("BTN%1").arg(b.index), b.caption, b.twips, kButtonPoints, kButtonFace);
        connect(BTN[b.index], &QPushButton::clicked, this, [this, index = b.index] { BTN_Click(index); });
    }
    setTabChain({BTN[layout[0].index], BTN[layout[1].index], BTN[layout[2].index], BTN[layout[3].index]});
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
