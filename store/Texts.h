#pragma once

#include <QString>

// System texts used by more than one window.
namespace kesola::texts {

inline const QString kSettingsFileName = QStringLiteral("KESOLA.INI");
inline const QString kDatabaseFileName = QStringLiteral("KESOLA.MDB");
inline const QString kExportFileName = QStringLiteral("KESOLA.CSV");

inline const QString kLockHeld = QStringLiteral("他のマシンで使用中です。しばらくしてリトライしてください。");
inline const QString kLockResetQuestion = QStringLiteral("ロックを解除しますか？");
inline const QString kTooWide = QStringLiteral("文字の入力数がオーバーしてます。");
inline const QString kWrongDate = QStringLiteral("日付の選択に誤りがあります。");
inline const QString kDatabaseFailed = QStringLiteral("データベースの処理に失敗しました。");
inline const QString kDatabaseNotOpened = QStringLiteral("データベースを開けませんでした。");
// The second line of a database failure while no database is open.
inline const QString kNoDatabaseOpen = QStringLiteral("データベースが開かれていません。");
// Captions and units that several windows show.
inline const QString kBackCaption = QStringLiteral("戻る");
inline const QString kChangeCaption = QStringLiteral("変更");
inline const QString kYearUnit = QStringLiteral("年");
inline const QString kMonthUnit = QStringLiteral("月");
inline const QString kDayUnit = QStringLiteral("日");

// Shown beside a command that has waited about two seconds for the store.
inline const QString kWaitingForDatabase = QStringLiteral("データベースの応答を待っています…");

// The words of a booking's fields and values that the reservation window and the search window both show.
inline const QString kMale = QStringLiteral("男性");
inline const QString kFemale = QStringLiteral("女性");
inline const QString kNotYetDone = QStringLiteral("未");
inline const QString kDone = QStringLiteral("済");
inline const QString kDepartment = QStringLiteral("科");
inline const QString kBodyPart = QStringLiteral("部位");
inline const QString kSex = QStringLiteral("性別");
inline const QString kAge = QStringLiteral("年齢");
inline const QString kStatus = QStringLiteral("状況");
inline const QString kMinutesLong = QStringLiteral("分間");
inline const QString kUntil = QStringLiteral("～");
inline const QString kChooseRoom = QStringLiteral("室名の選択を行ってください。");

// A cell inside another booking's span: the board refuses the double-click, registration refuses the span.
inline const QString kSlotTaken = QStringLiteral("既に予約の入ってる場所には予約できません。");
inline const QString kSelectSlot = QStringLiteral("登録したい場所の選択を行ってください。");

// " - [ 予約操作 ]": the width message's title suffix, whichever window measures.
inline const QString kReservationOperation = QStringLiteral("予約操作");

// SYS_TITLE + " - [ " + name + " ]"
inline QString caption(const QString& sysTitle, const QString& windowName) {
    return sysTitle + QStringLiteral(" - [ ") + windowName + QStringLiteral(" ]");
}

// How much of a path or an engine's message a box shows: a settings line or a server's message can be of any
// length, and a box taller than the screen cannot be closed.
inline constexpr qsizetype kShownTextLength = 300;

// The text, cut to kShownTextLength characters with "…" at the end when longer.
inline QString shortened(const QString& text) {
    if (text.size() <= kShownTextLength) return text;
    return text.left(kShownTextLength - 1) + QChar(0x2026);
}

// A database that refuses every write: said in place of the engine's English, and warned of at start-up.
inline const QString kDatabaseReadOnly = QStringLiteral("データベースに書き込めません（読み取り専用です）。");
inline const QString kBookingsCannotBeChanged = QStringLiteral("予約の登録や変更はできません。");

// A database failure as the windows report it: the fixed line, a line break, the engine's message.
inline QString databaseFailed(const QString& engineMessage) {
    return kDatabaseFailed + u'\n' + shortened(engineMessage);
}

}  // namespace kesola::texts
