#pragma once

#include <QLabel>

namespace kesola {

// A timetable cell. Its caption holds up to three lines (name, department, body part) in a cell 50 pixels high:
// the lines are set one font height apart, as on the workstations' own font, because the substitute font's
// wider line spacing would push the body part out of the cell.
class CellLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kesola
