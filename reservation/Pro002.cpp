#include "reservation/Pro002.h"

namespace kesola {

PRO002::PRO002(AppContext& ctx, const BoardView& board, QWidget* parent) : QDialog(parent), ctx_(ctx), board_(board) {}

void PRO002::Form_Load() {}

}  // namespace kesola
