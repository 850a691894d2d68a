#pragma once

#include <QString>

// The texts of the database location window (PRO008) and the CSV export window (PRO009).
namespace kesola::tool_texts {

// PRO008
inline const QString kLocationCaption = QStringLiteral("データベース格納位置設定");
inline const QString kChooseLocation = QStringLiteral("DB格納位置の選択を行ってください。");
inline const QString kSettingsNotWritten = QStringLiteral("設定ファイルを書き込めませんでした。");
inline const QString kLocationSetByAdministrator =
    QStringLiteral("データベースの格納位置はシステム管理者が設定しています。");

// PRO009
inline const QString kExportWindowName = QStringLiteral("ＣＳＶ変換");
inline const QString kRoomHeading = QStringLiteral("部屋");
inline const QString kConvertCaption = QStringLiteral("変換");
inline const QString kStartQuestion = QStringLiteral("ＣＳＶ変換を開始しますか？");
inline const QString kFinished = QStringLiteral("ＣＳＶ変換終了しました。");
inline const QString kFailed = QStringLiteral("ＣＳＶ変換に失敗しました。");
inline const QString kCancelled = QStringLiteral("ＣＳＶ変換を中止しました。");
inline const QString kNothingWritten = QStringLiteral("ファイルは書き込まれていません。");
// The progress dialog's text; %1 is the count of rows written so far.
inline const QString kWorking = QStringLiteral("ＣＳＶ変換中です。（%1 件）");

}  // namespace kesola::tool_texts
