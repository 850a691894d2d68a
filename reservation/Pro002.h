#pragma once

#include <QDialog>

#include "ui/AppContext.h"
#include "ui/BoardView.h"

namespace kesola {

// The reservation window: enters, changes or cancels the booking that starts in the board's chosen cell.
class PRO002 : public QDialog {
    Q_OBJECT
  public:
    PRO002(AppContext& ctx, const BoardView& board, QWidget* parent = nullptr);
    void Form_Load();

  private:
    AppContext& ctx_;
    const BoardView& board_;
};

}  // namespace kesola
