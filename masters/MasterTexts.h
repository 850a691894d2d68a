#pragma once

#include <QString>

// Captions of the maintenance menu and the master editors.
namespace kesola::master_texts {

inline const QString kMenuWindowName = QStringLiteral("メンテナンスメニュー");
inline const QString kBodyPartWindowName = QStringLiteral("部位登録");
inline const QString kRoomWindowName = QStringLiteral("室登録");
inline const QString kDepartmentWindowName = QStringLiteral("科登録");

inline const QString kBodyPartButton = kBodyPartWindowName;
inline const QString kRoomButton = kRoomWindowName;
inline const QString kDepartmentButton = kDepartmentWindowName;

inline const QString kBodyPartName = QStringLiteral("部位名");
inline const QString kRoomName = QStringLiteral("室名");
inline const QString kDepartmentName = QStringLiteral("科名");

inline const QString kBackColour = QStringLiteral("BACKCOLOR");
inline const QString kForeColour = QStringLiteral("FORECOLOR");
inline const QString kPreviewSample = QStringLiteral("あ");

}  // namespace kesola::master_texts
