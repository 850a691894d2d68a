#include "masters/Pro003.h"

namespace kesola {

PRO003::PRO003(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {}

void PRO003::Form_Load() {}

}  // namespace kesola
