#include "tools/Pro009.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "store/DateCheck.h"
#include "store/MasterList.h"
#include "store/Numbers.h"
#include "store/Texts.h"
#include "store/engine/DbError.h"
#include "tools/CsvExportProgress.h"
#include "tools/ToolTexts.h"
#include "ui/Controls.h"
#include "ui/WindowKit.h"

namespace kesola {

namespace {

using namespace tool_texts;

constexpr int kPoints = 12;

enum Button { kBack = 0, kConvert = 1 };

}  // namespace

PRO009::PRO009(AppContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx), progressFactory_([](QWidget* owner) -> std::unique_ptr<ExportProgress> {
          return std::make_unique<CsvExportProgress>(owner);
      }) {
    setObjectName(QStringLiteral("PRO009"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setupFixedWindow(this, 5475, 3225, kWindowBackground, kPoints);
    buildControls();
}

void PRO009::buildControls() {
    const struct {
        int index;
        QString caption;
        QRect geometry;
    } headings[] = {{2, kRoomHeading, QRect(225, 225, 1020, 360)},
                    {8, texts::kYearUnit, QRect(225, 795, 1020, 360)},
                    {0, texts::kMonthUnit, QRect(225, 1365, 1020, 360)},
                    {1, texts::kDayUnit, QRect(225, 1935, 1020, 360)}};
    for (const auto& h : headings) {
        LBL[h.index] = makeTitleLabel(this, QStringLiteral("LBL%1").arg(h.index), h.caption, h.geometry);
    }
    const QRect selectors[kSelectorCount] = {QRect(1470, 225, 2730, 360), QRect(1470, 795, 825, 360),
                                             QRect(1470, 1365, 630, 360), QRect(1470, 1935, 630, 360)};
    for (int i = 0; i < kSelectorCount; ++i) {
        CMB[i] = makeDropDown(this, QStringLiteral("CMB%1").arg(i), selectors[i], kPoints);
    }
    const struct {
        int index;
        QString caption;
        int left;
        int top;
    } units[] = {
        {5, texts::kYearUnit, 2310, 855}, {4, texts::kMonthUnit, 2130, 1425}, {3, texts::kDayUnit, 2130, 1980}};
    for (const auto& u : units) {
        LBL[u.index] = makeAutoSizeLabel(this, QStringLiteral("LBL%1").arg(u.index), u.caption, u.left, u.top, kPoints);
    }
    const QString captions[kButtonCount] = {texts::kBackCaption, kConvertCaption};
    const int buttonLeft[kButtonCount] = {225, 1470};
    for (int i = 0; i < kButtonCount; ++i) {
        BTN[i] = makeButton(this, QStringLiteral("BTN%1").arg(i), captions[i], QRect(buttonLeft[i], 2580, 1020, 360),
                            kPoints, kButtonFace);
        connect(BTN[i], &QPushButton::clicked, this, [this, i] { BTN_Click(i); });
    }
    setTabChain({BTN[kBack], BTN[kConvert], CMB[0], CMB[3], CMB[2], CMB[1]});
}

void PRO009::Form_Load() {
    centreOnScreen(this);
    setWindowTitle(texts::caption(ctx_.g.SYS_TITLE, kExportWindowName));
    fillRooms();
    fillDateSelectors(CMB[1], CMB[2], CMB[3], true);
}

// Entry 0 is the empty one ("any room"); every other entry carries its room's CODE, as on the board.
void PRO009::fillRooms() {
    try {
        fillRoomSelector(CMB[0], ctx_.g.DB.get(), true);
    } catch (const DbError& e) {
        // The window still opens; an export can then only cover every room.
        ctx_.messages().reportDatabaseFailure(e, windowTitle());
    }
}

void PRO009::BTN_Click(int index) {
    if (index == kBack) {
        close();
    } else if (index == kConvert) {
        CSV_OUT();
    }
}

QString PRO009::DATE_CHECK() const {
    return kesola::DATE_CHECK(CMB[1]->currentText(), CMB[2]->currentText(), CMB[3]->currentText());
}

void PRO009::CSV_OUT() {
    const QString title = windowTitle();
    if (DATE_CHECK() == QStringLiteral("NG")) {
        ctx_.messages().notice(texts::kWrongDate, title);
        return;
    }
    if (!ctx_.messages().confirm(kStartQuestion, title)) return;
    const ExportFilter filter =
        exportFilter(chosenRoomCode(CMB[0]), CMB[1]->currentText(), CMB[2]->currentText(), CMB[3]->currentText());
    ExportOutcome outcome;
    {
        const std::unique_ptr<ExportProgress> progress = progressFactory_(this);
        outcome = writeCsvExport(ctx_.g.DB.get(), exportStatement(filter), ctx_.g.PATH_APP + texts::kExportFileName,
                                 *progress);
    }
    reportOutcome(outcome);
}

void PRO009::reportOutcome(const ExportOutcome& outcome) {
    switch (outcome.status) {
        case ExportOutcome::Status::Written:
            ctx_.messages().notice(kFinished, windowTitle());
            // A second notice after the finishing one: the file is complete, but some text in it is not as stored.
            if (outcome.recordsWithSubstitutes > 0) {
                ctx_.messages().notice(kSubstitutesWritten.arg(outcome.recordsWithSubstitutes), windowTitle());
            }
            break;
        case ExportOutcome::Status::Cancelled:
            ctx_.messages().notice(kCancelled + u'\n' + kNothingWritten, windowTitle());
            break;
        case ExportOutcome::Status::Failed:
            ctx_.messages().notice(kFailed + u'\n' + outcome.reason, windowTitle());
            break;
    }
}

}  // namespace kesola
