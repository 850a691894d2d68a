#pragma once

#include <QMessageBox>
#include <memory>

#include "store/MessageService.h"

class QWidget;

namespace kesola {

// The buttons' own texts: the system's question boxes read "OK" and "キャンセル" whether or not Qt's translation
// of its standard buttons is installed.
inline const QString kOkButtonText = QStringLiteral("OK");
inline const QString kCancelButtonText = QStringLiteral("キャンセル");

// The box the service shows, built apart from showing it so that its buttons can be looked at. Escape and the
// close box answer as "キャンセル" does, or as "OK" on a box that has no other button.
std::unique_ptr<QMessageBox> buildMessageBox(const QString& text, MsgIcon icon, MsgButtons buttons,
                                             const QString& title, QWidget* parent);

class QtMessageService : public MessageService {
  public:
    MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) override;
};

}  // namespace kesola
