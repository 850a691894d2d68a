#include "tools/Pro009.h"

namespace kesola {

PRO009::PRO009(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {}

void PRO009::Form_Load() {}

}  // namespace kesola
