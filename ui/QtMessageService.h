#pragma once

#include "store/MessageService.h"

class QWidget;

namespace kesola {

class QtMessageService : public MessageService {
  public:
    MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) override;
};

}  // namespace kesola
