#pragma once

#include <QString>

// Captions and messages of the search window.
namespace kesola::search_texts {

inline const QString kWindowName = QStringLiteral("予約検索");

inline const QString kPatientName = QStringLiteral("患者名");
inline const QString kNameOrIdHint = QStringLiteral("患者名の一部、または患者IDを入力してください。");
inline const QString kPeriod = QStringLiteral("期間");
inline const QString kFreeSlot = QStringLiteral("空き枠");
inline const QString kSearch = QStringLiteral("検索");
inline const QString kSearchFree = QStringLiteral("空き検索");
inline const QString kSearchWithoutId = QStringLiteral("ID未登録");

// The list's column headings; the booking's own field words come from the shared texts.
inline const QString kDate = QStringLiteral("日付");
inline const QString kStart = QStringLiteral("開始");
inline const QString kEnd = QStringLiteral("終了");
inline const QString kRoom = QStringLiteral("室名");
inline const QString kName = QStringLiteral("氏名");

inline const QString kEnterName = QStringLiteral("患者名の入力を行なってください。");
inline const QString kNothingFound = QStringLiteral("該当する予約はありません。");
inline const QString kEveryBookingHasId = QStringLiteral("患者IDのない予約はありません。");
// Says how far the free-slot search looks: kFreeSlotSearchYears.
inline const QString kNoFreeSlot = QStringLiteral("指定日から１年以内に空き枠はありません。");
inline const QString kPastDate = QStringLiteral("過去の日付は選択できません。");
// A result the board cannot show: a room its selector does not list (added since it started, or left without
// a name), a day beyond its year selector.
inline const QString kRoomNotOnBoard = QStringLiteral("予約一覧で選択できない室名のため表示できません。");
inline const QString kDayNotOnBoard = QStringLiteral("予約一覧で選択できない日付のため表示できません。");
inline const QString kChooseDuration = QStringLiteral("時間の選択を行ってください。");
inline const QString kWrongPeriod = QStringLiteral("期間の選択に誤りがあります。");

}  // namespace kesola::search_texts
