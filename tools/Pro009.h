#pragma once

#include <QDialog>

#include "ui/AppContext.h"

namespace kesola {

// The CSV export window.
class PRO009 : public QDialog {
    Q_OBJECT
  public:
    explicit PRO009(AppContext& ctx, QWidget* parent = nullptr);
    void Form_Load();

  private:
    AppContext& ctx_;
};

}  // namespace kesola
