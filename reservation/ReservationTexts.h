#pragma once

#include <QKeySequence>
#include <QString>

#include "store/Texts.h"

// Captions and messages of the reservation window.
namespace kesola::reservation_texts {

// The window's caption is SYS_TITLE + " - [ " + room name + this + " ]".
inline const QString kWindowNameSuffix = QStringLiteral(" 予約操作");

inline const QString kChooseDuration = QStringLiteral("予約時間の選択を行ってください。");
inline const QString kChooseDepartment = QStringLiteral("科の選択を行ってください。");
inline const QString kChooseBodyPart = QStringLiteral("部位の選択を行ってください。");
inline const QString kChooseSex = QStringLiteral("性別の選択を行ってください。");
inline const QString kChooseStatus = QStringLiteral("状況の選択を行ってください。");
inline const QString kEnterName = QStringLiteral("名前の入力を行なってください。");
inline const QString kEnterAge = QStringLiteral("年齢の入力を行なってください。");
inline const QString kWrongAge = QStringLiteral("年齢の入力に誤りがあります。");
inline const QString kOverlapsLater = QStringLiteral("後の予約と重なるため予約できません。");
// The board refuses a covered cell with the same words.
inline const QString kNothingToCancel = QStringLiteral("予約がされていないため取り消しできませんでした。");
// "登録" or "削除" after another workstation booked, changed or cancelled this slot while the window was open.
inline const QString kChangedMeanwhile = QStringLiteral(
    "他のマシンでこの予約が変更されています。「戻る」で予約一覧に戻り、内容を確かめてから操作し直してください。");

// The cancel question: room " の" year "年" month "月" day "日" hour "時" minute "分の予約を取り消しますか？"
inline const QString kCancelRoomSeparator = QStringLiteral(" の");
inline const QString kCancelQuestionEnd = QStringLiteral("分の予約を取り消しますか？");

inline const QString& kMale = texts::kMale;
inline const QString& kFemale = texts::kFemale;
inline const QString& kNotYetDone = texts::kNotYetDone;
inline const QString& kDone = texts::kDone;

// Field titles and the small captions beside the fields.
inline const QString kReservationTime = QStringLiteral("予約時間");
inline const QString kHourUnit = QStringLiteral("時");
inline const QString kMinuteUnit = QStringLiteral("分");
inline const QString& kUntil = texts::kUntil;
inline const QString& kMinutesLong = texts::kMinutesLong;
inline const QString& kDepartment = texts::kDepartment;
inline const QString kName = QStringLiteral("名前");
inline const QString& kBodyPart = texts::kBodyPart;
inline const QString kWard = QStringLiteral("病棟");
inline const QString& kSex = texts::kSex;
inline const QString& kAge = texts::kAge;
inline const QString kYearsOld = QStringLiteral("歳");
inline const QString& kStatus = texts::kStatus;
inline const QString kRemarks = QStringLiteral("備考");
inline const QString kPatientId = QStringLiteral("患者ID");
// The patient ID box is reached by this shortcut (or the mouse), never on the way through the other fields.
inline const QKeySequence kPatientIdShortcut{Qt::ALT | Qt::Key_I};
inline const QString kPatientIdTip =
    QStringLiteral("患者ID（半角英数字と「-」、16文字まで）。Alt+I でこの欄に移ります。");

// A paste that does not fit the age or patient ID box even without its surrounding spaces and in half width: "%1" is
// what was pasted.
inline const QString kAgePasteRefused =
    QStringLiteral("貼り付けた「%1」は年齢に入力できません。年齢は3桁までの数字で入力してください。");
inline const QString kPatientIdPasteRefused = QStringLiteral(
    "貼り付けた「%1」は患者IDに入力できません。患者IDは16文字までの半角英数字と「-」で入力してください。");

inline const QString kRegister = QStringLiteral("登録");
inline const QString kDelete = QStringLiteral("削除");

// The patient register. Leaving the ID box with values that differ from the register's:
//   "患者ID P-001 の患者台帳と入力が異なります。" LF, one line per field "名前：入力 → 台帳", LF, the question.
inline const QString kRegisterDiffersHead = QStringLiteral("患者ID %1 の患者台帳と入力が異なります。");
inline const QString kRegisterDiffersLine = QStringLiteral("%1：%2 → %3");
inline const QString kTakeRegisterValues = QStringLiteral("患者台帳の内容に置き換えますか？");
// "登録" with a name that is not the register's name for the ID.
inline const QString kNameNotRegistered =
    QStringLiteral("名前「%1」は患者ID %2 の患者台帳の名前「%3」と異なります。\nこのまま登録しますか？");

}  // namespace kesola::reservation_texts
