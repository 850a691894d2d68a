#pragma once

#include <QString>

#include "store/Texts.h"
#include "store/engine/DbError.h"

namespace kesola {

enum class MsgIcon { Exclamation, Information, Question, Critical };
enum class MsgButtons { Ok, OkCancel };
enum class MsgAnswer { Ok, Cancel };

// Every message box of the system goes through this service: the Qt one shows a real box, tests install a
// scripted one that records the box and answers as told.
class MessageService {
  public:
    virtual ~MessageService() = default;
    virtual MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) = 0;

    // The system's usual notice: exclamation icon, OK.
    void notice(const QString& text, const QString& title) { show(text, MsgIcon::Exclamation, MsgButtons::Ok, title); }
    // The system's usual question: exclamation icon, OK and Cancel; true when OK was chosen.
    bool confirm(const QString& text, const QString& title) {
        return show(text, MsgIcon::Exclamation, MsgButtons::OkCancel, title) == MsgAnswer::Ok;
    }
    // A database failure as every window reports it: "データベースの処理に失敗しました。", a line break, the engine's
    // message (for a store that refuses writes, a Japanese line in its place); a notice.
    void reportDatabaseFailure(const DbError& error, const QString& title) {
        const bool readOnly = error.kind() == DbError::Kind::ReadOnly;
        notice(texts::databaseFailed(readOnly ? texts::kDatabaseReadOnly : error.message()), title);
    }
};

}  // namespace kesola
