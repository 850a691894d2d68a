#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace kesola {

class Database;
class Table;
struct TableSchema;

// What was done, as the history's SOSA column names it.
namespace history_actions {
inline const QString kBooked = QStringLiteral("登録");
inline const QString kRebooked = QStringLiteral("変更");
inline const QString kCancelled = QStringLiteral("取消");
inline const QString kMasterAdded = QStringLiteral("マスタ登録");
inline const QString kMasterChanged = QStringLiteral("マスタ変更");
inline const QString kMasterDeleted = QStringLiteral("マスタ削除");
inline const QString kLockReleased = QStringLiteral("ロック解除");
// What a scanner reported of an examination (DICOM MPPS); its completion is recorded as a change of the booking.
inline const QString kExamStarted = QStringLiteral("検査開始");
inline const QString kExamDiscontinued = QStringLiteral("検査中止");
}  // namespace history_actions

// A row as the history keeps it in MAE and ATO: every field as FIELD=value, joined by tabs, values as stored. A
// backslash, tab, CR or LF inside a value is written as \\, \t, \r or \n, so that every value reads back unchanged.
using RowFields = QList<QPair<QString, QString>>;
QString rowText(const RowFields& fields);
// One value escaped as rowText escapes it.
QString escapedHistoryValue(const QString& value);
// The fields of a row text; none for a text that another program wrote in some other form.
std::optional<RowFields> parseRowText(const QString& text);

// True for the tables whose history rows are filed under a reservation key, whose first character is the room's
// code: the bookings (KESOLA) and their patient IDs (KANJYA).
bool isFiledUnderReservationKey(const QString& table);

// Who made a change, as the history's TANMATSU and RIYOSHA record it.
struct HistoryActor {
    QString terminal;
    QString user;
};

// Writes the history of the changes made through one database connection. A database without RIREKI records
// nothing and works as before.
class HistoryWriter {
  public:
    // Asks whether the database keeps a history. Changes are recorded as made by `actor`; by default by this
    // workstation's host name and the operating-system user. Requires: outside a transaction. Throws DbError when
    // the store cannot say (busy, connection lost).
    explicit HistoryWriter(Database& db, std::optional<HistoryActor> actor = std::nullopt);

    bool recording() const { return recording_; }

    // The row stored under the key, as the history shows it; "" when there is none or nothing is recorded.
    // Throws DbError.
    QString rowUnder(const TableSchema& table, const QString& key);

    // Adds one history row for the change just made to the row under the key: now, the actor, the row before (from
    // rowUnder, taken before the change) and the row as it is stored now ("" when the change removed it). Requires:
    // inside the write transaction of the change it records, so that the change and its history commit together or not
    // at all. Does nothing when the database keeps no history. Throws DbError.
    void record(const QString& action, const TableSchema& table, const QString& key, const QString& before);

  private:
    Database& db_;
    HistoryActor actor_;
    bool recording_;
};

}  // namespace kesola
