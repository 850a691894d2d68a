#include "masters/Pro006.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include "masters/ColourComponent.h"
#include "store/Schema.h"
#include "store/engine/Database.h"
#include "ui/Controls.h"

namespace kesola {

namespace {

constexpr int kWindowWidth = 6600;
constexpr int kWindowFontPoints = 9;
const QString kBackgroundFields[PRO006::kComponentCount] = {QStringLiteral("BR"), QStringLiteral("BG"),
                                                            QStringLiteral("BB")};
const QString kForegroundFields[PRO006::kComponentCount] = {QStringLiteral("FR"), QStringLiteral("FG"),
                                                            QStringLiteral("FB")};
// A department's colours until the user sets others: white text on black.
constexpr std::array<int, PRO006::kComponentCount> kDefaultBackground = {0, 0, 0};
constexpr std::array<int, PRO006::kComponentCount> kDefaultForeground = {255, 255, 255};

QColor colourOf(const PRO006::Bars& bars) { return QColor(bars[0]->value(), bars[1]->value(), bars[2]->value()); }

void showValues(const PRO006::Bars& bars, const PRO006::ValueLabels& labels) {
    for (int i = 0; i < PRO006::kComponentCount; ++i) labels[i]->setText(QString::number(bars[i]->value()));
}

std::array<int, PRO006::kComponentCount> storedColour(const Table& table, const QString (&fields)[3]) {
    std::array<int, PRO006::kComponentCount> rgb{};
    for (int i = 0; i < PRO006::kComponentCount; ++i) rgb[i] = shownComponent(table.field(fields[i]));
    return rgb;
}

}  // namespace

PRO006::PRO006(AppContext& ctx, QWidget* parent)
    : NameMasterEditor(ctx, departmentMaster(), parent, kWindowWidth, kWindowFontPoints) {
    setObjectName(QStringLiteral("PRO006"));
    buildColourPanel();
    showDefaultColours();
}

// ---------------------------------------------------------------------------------------------------------------
// Bar changes: all three components are taken afresh, whichever bar moved.

void PRO006::BSRGB_Change(int /*index*/) {
    setPreviewBackground(colourOf(BSRGB));
    showValues(BSRGB, BVRGB);
}

void PRO006::FSRGB_Change(int /*index*/) {
    setPreviewText(colourOf(FSRGB));
    showValues(FSRGB, FVRGB);
}

// ---------------------------------------------------------------------------------------------------------------
// Row press and save

void PRO006::slotPressed(const QString& code, bool named) {
    if (named) {
        showStoredColours(code);
    } else {
        showDefaultColours();
    }
}

// A named slot whose record has gone meanwhile leaves the panel as it is.
void PRO006::showStoredColours(const QString& code) {
    auto table = openTable(database(), departmentMaster().table);
    if (table->seek(code)) {
        showBackground(storedColour(*table, kBackgroundFields));
        showForeground(storedColour(*table, kForegroundFields));
    }
    table->close();
}

// Stored as the value labels show them: decimal text without leading zeros.
RowFields PRO006::fieldsAfterName() const {
    RowFields fields;
    for (int i = 0; i < kComponentCount; ++i) fields.append({kBackgroundFields[i], BVRGB[i]->text()});
    for (int i = 0; i < kComponentCount; ++i) fields.append({kForegroundFields[i], FVRGB[i]->text()});
    return fields;
}

void PRO006::nameStored() {
    TXT->clear();
    showDefaultColours();
}

// ---------------------------------------------------------------------------------------------------------------
// The panel

void PRO006::showDefaultColours() {
    showBackground(kDefaultBackground);
    showForeground(kDefaultForeground);
}

// Setting a bar to the value it already has reports no change, so the labels and the preview are set here too.
void PRO006::showBackground(const std::array<int, kComponentCount>& rgb) {
    for (int i = 0; i < kComponentCount; ++i) BSRGB[i]->setValue(rgb[i]);
    showValues(BSRGB, BVRGB);
    setPreviewBackground(colourOf(BSRGB));
}

void PRO006::showForeground(const std::array<int, kComponentCount>& rgb) {
    for (int i = 0; i < kComponentCount; ++i) FSRGB[i]->setValue(rgb[i]);
    showValues(FSRGB, FVRGB);
    setPreviewText(colourOf(FSRGB));
}

void PRO006::setPreviewBackground(const QColor& colour) {
    setColours(PRGB, colour, PRGB->palette().color(QPalette::WindowText));
}

void PRO006::setPreviewText(const QColor& colour) { setColours(PRGB, PRGB->palette().color(QPalette::Window), colour); }

}  // namespace kesola
