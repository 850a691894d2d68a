#pragma once

#include <QString>

#include "store/Texts.h"

namespace kesola::board_texts {

// The line over the grid while the database cannot be read.
inline const QString kDatabaseUnreadable = QStringLiteral("データベースを読み込めません。予約は表示されていません。");

inline const QString kWindowName = QStringLiteral("ＭＲＩ室 予約一覧");
inline const QString& kChooseRoom = texts::kChooseRoom;
inline const QString kChooseYear = QStringLiteral("年の選択を行ってください。");
inline const QString kChooseMonth = QStringLiteral("月の選択を行ってください。");
inline const QString kChooseDay = QStringLiteral("日の選択を行ってください。");
inline const QString kExitQuestion = QStringLiteral("システム終了してもよろしいですか？");
inline const QString kPrintFailed = QStringLiteral("印刷できませんでした。");

inline const QString kButtonCaptions[] = {QStringLiteral("CSV変換"), QStringLiteral("戻 る"),
                                          QStringLiteral("マスタ設定"), QStringLiteral("画面印刷")};

}  // namespace kesola::board_texts
