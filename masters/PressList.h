#pragma once

#include <QListWidget>
#include <QMouseEvent>
#include <functional>

namespace kesola {

// A list box that reports every mouse press, of any button and also below the last row, after the press has
// moved the selection: the editors' press handler must read the row that the press has just selected.
class PressList : public QListWidget {
  public:
    using QListWidget::QListWidget;

    std::function<void()> onMouseDown;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        QListWidget::mousePressEvent(event);
        if (onMouseDown) onMouseDown();
    }
};

}  // namespace kesola
