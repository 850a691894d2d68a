#pragma once

#include <QString>

// The texts the system must show, written out as the user sees them: every suite compares with these literals,
// never with the program's own constants, so that a mistyped message fails a test.
namespace kesola::expected {

inline const QString kSystemTitle = QStringLiteral("ＭＲＩ予約システム");
inline const QString kRoomName = QStringLiteral("ＭＲＩ室");

// Window captions: SYS_TITLE - [ window ].
inline const QString kBoardCaption = QStringLiteral("ＭＲＩ予約システム - [ ＭＲＩ室 予約一覧 ]");
inline const QString kReservationCaption = QStringLiteral("ＭＲＩ予約システム - [ ＭＲＩ室 予約操作 ]");
inline const QString kWidthTitle = QStringLiteral("ＭＲＩ予約システム - [ 予約操作 ]");
inline const QString kExportCaption = QStringLiteral("ＭＲＩ予約システム - [ ＣＳＶ変換 ]");

// Files.
inline const QString kSettingsFile = QStringLiteral("KESOLA.INI");
inline const QString kExportFile = QStringLiteral("KESOLA.CSV");

// Messages several windows show.
inline const QString kDatabaseFailed = QStringLiteral("データベースの処理に失敗しました。");
inline const QString kDatabaseFailedLine = QStringLiteral("データベースの処理に失敗しました。\n");
inline const QString kDatabaseNotOpened = QStringLiteral("データベースを開けませんでした。");
inline const QString kLockHeld = QStringLiteral("他のマシンで使用中です。しばらくしてリトライしてください。");
inline const QString kLockQuestion = QStringLiteral("ロックを解除しますか？");
inline const QString kTooWide = QStringLiteral("文字の入力数がオーバーしてます。");
inline const QString kWrongDate = QStringLiteral("日付の選択に誤りがあります。");
inline const QString kSlotTaken = QStringLiteral("既に予約の入ってる場所には予約できません。");
inline const QString kSelectSlot = QStringLiteral("登録したい場所の選択を行ってください。");

// The board.
inline const QString kExitQuestion = QStringLiteral("システム終了してもよろしいですか？");
inline const QString kPrintFailed = QStringLiteral("印刷できませんでした。");

// The reservation window.
inline const QString kWrongAge = QStringLiteral("年齢の入力に誤りがあります。");
inline const QString kOverlapsLater = QStringLiteral("後の予約と重なるため予約できません。");
inline const QString kNothingToCancel = QStringLiteral("予約がされていないため取り消しできませんでした。");
inline const QString kChangedMeanwhile = QStringLiteral(
    "他のマシンでこの予約が変更されています。「戻る」で予約一覧に戻り、内容を確かめてから操作し直してください。");

// The export window.
inline const QString kExportQuestion = QStringLiteral("ＣＳＶ変換を開始しますか？");
inline const QString kExportFinished = QStringLiteral("ＣＳＶ変換終了しました。");

}  // namespace kesola::expected
