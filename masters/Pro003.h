#pragma once

#include <QDialog>

#include "ui/AppContext.h"

namespace kesola {

// The maintenance menu: opens the master editors.
class PRO003 : public QDialog {
    Q_OBJECT
  public:
    explicit PRO003(AppContext& ctx, QWidget* parent = nullptr);
    void Form_Load();

  private:
    AppContext& ctx_;
};

}  // namespace kesola
