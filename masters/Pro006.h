#pragma once

#include <array>

#include "masters/NameMasterEditor.h"

class QScrollBar;

namespace kesola {

// The department editor: the name master editor of table KA with a colour panel for the two colours in which
// the board paints the department's bookings (background of every cell, text of the first).
// Six bars set the red, green and blue of both colours, six labels show the values, PRGB previews the pair.
// The panel opens at a department's defaults (white on black, labels "0" and "255"), so that a slot chosen with
// the keyboard is stored with those colours and never with blank fields.
class PRO006 : public NameMasterEditor {
    Q_OBJECT
  public:
    static constexpr int kComponentCount = 3;  // red, green, blue
    using Bars = std::array<QScrollBar*, kComponentCount>;
    using ValueLabels = std::array<QLabel*, kComponentCount>;

    explicit PRO006(AppContext& ctx, QWidget* parent = nullptr);

    // A background bar changed: the preview's background and the three value labels follow all three bars.
    void BSRGB_Change(int index);
    // A foreground bar changed: the preview's text colour and the three value labels follow all three bars.
    void FSRGB_Change(int index);

    Bars BSRGB{};
    Bars FSRGB{};
    ValueLabels BVRGB{};
    ValueLabels FVRGB{};
    QLabel* PRGB = nullptr;

  protected:
    void slotPressed(const QString& code, bool named) override;
    RowFields fieldsAfterName() const override;
    void nameStored() override;

  private:
    // Pro006Panel.cpp: the controls of the colour panel.
    void buildColourPanel();
    void buildHeader(int index, const QString& caption, int top);
    void buildComponentRow(int letterIndex, int component, int top, QScrollBar*& bar, QLabel*& value,
                           const QString& name);

    void showStoredColours(const QString& code);
    void showDefaultColours();
    void showBackground(const std::array<int, kComponentCount>& rgb);
    void showForeground(const std::array<int, kComponentCount>& rgb);
    void setPreviewBackground(const QColor& colour);
    void setPreviewText(const QColor& colour);
};

}  // namespace kesola
