#pragma once

#include "masters/NameMasterEditor.h"

namespace kesola {

// The body-part editor: table BU, slots "01" to "99", names at most 16 bytes wide.
class PRO004 : public NameMasterEditor {
    Q_OBJECT
  public:
    explicit PRO004(AppContext& ctx, QWidget* parent = nullptr) : NameMasterEditor(ctx, bodyPartMaster(), parent) {
        setObjectName(QStringLiteral("PRO004"));
    }
};

// The room editor: table ROOM, slots "1" to "9", names at most 20 bytes wide. The board's room selector takes
// the changes at its next start.
class PRO007 : public NameMasterEditor {
    Q_OBJECT
  public:
    explicit PRO007(AppContext& ctx, QWidget* parent = nullptr) : NameMasterEditor(ctx, roomMaster(), parent) {
        setObjectName(QStringLiteral("PRO007"));
    }
};

}  // namespace kesola
