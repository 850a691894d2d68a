#include "store/BookingStore.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>

#include "store/History.h"
#include "store/Numbers.h"
#include "store/ReservationKey.h"
#include "store/Schema.h"
#include "store/Uids.h"
#include "store/engine/Database.h"
#include "store/engine/DbError.h"
#include "store/engine/Waits.h"

namespace kesola {

namespace {

const QString kReservations = QStringLiteral("KESOLA");
const QString kWardNotChosen = QStringLiteral("N");
constexpr int kDayPrefixLength = 9;
constexpr int kLastCell = kCellCount - 1;

// The cells a stored row occupies on the board, from its start cell; a row shorter than ten minutes still
// holds its start cell (the board writes its caption there).
int cellsOf(const QString& minutes) { return std::max(1, toInt16(minutes).value_or(0) / 10); }

StoreOutcome checkStoredDay(Database& db, const QString& key, int startCell, int cells) {
    const int lastCell = std::min(startCell + cells - 1, kLastCell);
    auto day = readDay(db, key.left(kDayPrefixLength));
    bool slotTaken = false;
    for (; !day->eof(); day->moveNext()) {
        const QString code = day->field(QStringLiteral("CODE"));
        if (code == key) continue;  // the booking being replaced
        const auto start = startCellOfKey(code);
        if (!start) continue;
        if (*start > startCell && *start <= lastCell) {
            day->close();
            return StoreOutcome::OverlapsLater;
        }
        if (*start <= startCell && *start + cellsOf(day->field(QStringLiteral("Min"))) > startCell) slotTaken = true;
    }
    day->close();
    return slotTaken ? StoreOutcome::SlotTaken : StoreOutcome::Stored;
}

void writeRow(Database& db, const QString& key, const Booking& b) {
    auto table = openTable(db, kReservations);
    if (table->seek(key)) {
        table->edit();
    } else {
        table->addNew();
    }
    table->setField(QStringLiteral("CODE"), key);
    table->setField(QStringLiteral("Min"), b.Min);
    table->setField(QStringLiteral("KA"), b.KA);
    table->setField(QStringLiteral("BYOTO"), kWardNotChosen);
    table->setField(QStringLiteral("YNAME"), b.YNAME);
    table->setField(QStringLiteral("BUI"), b.BUI);
    table->setField(QStringLiteral("SEX"), b.SEX);
    table->setField(QStringLiteral("AGE"), b.AGE);
    table->setField(QStringLiteral("JYOKYO"), b.JYOKYO);
    table->setField(QStringLiteral("ETC"), b.ETC);
    table->update();
    table->close();
}

// The patient ID row under a key as it is stored, whoever it was given to.
struct PatientIdRow {
    bool present = false;
    QString id;
    QString givenTo;  // the name of the booking it was given to; "" when not recorded
    bool operator==(const PatientIdRow&) const = default;
};

const TableSchema& patientIdSchema(IdentityForm form) {
    return form == IdentityForm::Recorded ? recordedPatientIdTable() : patientIdTable();
}

PatientIdRow readPatientIdRow(Database& db, const QString& key, IdentityForm form) {
    PatientIdRow row;
    if (form == IdentityForm::NoPatientIds) return row;
    auto table = db.openTable(patientIdSchema(form));
    if (table->seek(key)) row = {true, table->field(QStringLiteral("KANJYAID")), table->field(QStringLiteral("YNAME"))};
    table->close();
    return row;
}

// The ID that belongs to the booking of that name: one given to another booking under the same key is none of its.
QString idOfBooking(const PatientIdRow& row, const QString& bookingName) {
    if (!row.present || (!row.givenTo.isEmpty() && row.givenTo != bookingName)) return {};
    return row.id;
}

// Makes the patient ID row under the key exactly the one a save of the booking leaves: the ID with the name it is
// given to, or no row for an empty ID. A row left under the key by a booking cancelled on a workstation that knows
// nothing of IDs is replaced or removed here, so that it never passes to the new booking. The change is recorded in
// the history.
void savePatientId(Database& db, HistoryWriter& history, const QString& action, const QString& key,
                   const Booking& booking, IdentityForm form) {
    if (form == IdentityForm::NoPatientIds) return;
    const PatientIdRow stored = readPatientIdRow(db, key, form);
    const bool recorded = form == IdentityForm::Recorded;
    const PatientIdRow wanted{!booking.KANJYAID.isEmpty(), booking.KANJYAID,
                              recorded && !booking.KANJYAID.isEmpty() ? booking.YNAME : QString()};
    if (stored == wanted || (!stored.present && !wanted.present)) return;
    const TableSchema& schema = patientIdSchema(form);
    const QString before = history.rowUnder(schema, key);
    auto table = db.openTable(schema);
    const bool found = table->seek(key);
    if (!wanted.present) {
        if (found) table->deleteRow();
    } else {
        if (found) {
            table->edit();
        } else {
            table->addNew();
            table->setField(QStringLiteral("CODE"), key);
        }
        table->setField(QStringLiteral("KANJYAID"), wanted.id);
        if (recorded) table->setField(QStringLiteral("YNAME"), wanted.givenTo);
        table->update();
    }
    table->close();
    history.record(action, schema, key, before);
}

// Keeps the study of the booking saved under the key: the UID made for the booking being replaced (`stored`, the
// same booking with its corrections) stays; any other booking gets a UID of its own.
void saveStudy(Database& db, const QString& key, const std::optional<Booking>& stored, const QString& name) {
    auto table = db.openTable(studyTable());
    const bool found = table->seek(key);
    const bool ours = found && stored && table->field(QStringLiteral("YNAME")) == stored->YNAME &&
                      !table->field(QStringLiteral("STUDYUID")).isEmpty();
    if (found) {
        table->edit();
    } else {
        table->addNew();
        table->setField(QStringLiteral("CODE"), key);
    }
    if (!ours) table->setField(QStringLiteral("STUDYUID"), newUid());
    table->setField(QStringLiteral("YNAME"), name);
    table->update();
    table->close();
}

void removeRow(Database& db, const TableSchema& schema, const QString& key) {
    auto table = db.openTable(schema);
    if (table->seek(key)) table->deleteRow();
    table->close();
}

}  // namespace

// The booking under the key; with its patient ID when the database keeps them. Runs inside a transaction too.
std::optional<Booking> readBooking(Database& db, const QString& key, IdentityForm form) {
    auto table = openTable(db, kReservations);
    if (!table->seek(key)) {
        table->close();
        return std::nullopt;
    }
    Booking b;
    b.Min = table->field(QStringLiteral("Min"));
    b.KA = table->field(QStringLiteral("KA"));
    b.YNAME = table->field(QStringLiteral("YNAME"));
    b.BUI = table->field(QStringLiteral("BUI"));
    b.SEX = table->field(QStringLiteral("SEX"));
    b.AGE = table->field(QStringLiteral("AGE"));
    b.JYOKYO = table->field(QStringLiteral("JYOKYO"));
    b.ETC = table->field(QStringLiteral("ETC"));
    table->close();
    b.KANJYAID = idOfBooking(readPatientIdRow(db, key, form), b.YNAME);
    return b;
}

namespace {

// After a commit whose answer was lost: whether the store now holds the booking under its key. The connection
// comes back on a later statement, to the same server or to the standby promoted in its place; until then the
// store is asked again, for as long as a registration may wait. A row that already held these very values before
// counts as stored: the store holds what the user asked for either way.
bool storedAfterAll(Database& db, const QString& key, const Booking& booking, IdentityForm form) {
    constexpr int kPauseMs = 100;
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        try {
            return readBooking(db, key, form) == booking;
        } catch (const DbError& e) {
            if (e.kind() != DbError::Kind::ConnectionLost) throw;
            if (elapsed.elapsed() + kPauseMs > waits::kWriteMs) {
                throw DbError::lostDuringCommit(
                    QStringLiteral("予約の保存中にサーバーとの接続が切れ、保存されたかどうかを確かめられませんでした。"
                                   "サーバーが戻ったら予約表で確かめてください。(%1)")
                        .arg(e.message()));
            }
        }
        QThread::msleep(kPauseMs);
    }
}

}  // namespace

QString dayStatement(const QString& dayPrefix) {
    return QStringLiteral("SELECT * FROM KESOLA WHERE CODE LIKE '") + dayPrefix +
           QStringLiteral("*' ORDER BY CODE ASC;");
}

std::unique_ptr<RecordSet> readDay(Database& db, const QString& dayPrefix) {
    return db.select(dayStatement(dayPrefix));
}

QString exportStatement(const ExportFilter& filter) {
    return QStringLiteral("SELECT * FROM KESOLA WHERE ") + QStringLiteral("LEFT$(CODE,1) LIKE '") + filter.room +
           QStringLiteral("' AND ") + QStringLiteral("MID$(CODE,2,4) LIKE '") + filter.year + QStringLiteral("' AND ") +
           QStringLiteral("MID$(CODE,6,2) LIKE '") + filter.month + QStringLiteral("' AND ") +
           QStringLiteral("MID$(CODE,8,2) LIKE '") + filter.day + QStringLiteral("'") +
           QStringLiteral(" ORDER BY CODE ASC;");
}

std::optional<Booking> findBooking(Database& db, const QString& key) {
    return readBooking(db, key, identityFormOf(db));
}

StoreOutcome storeBooking(Database& db, const QString& key, const Booking& booking, const ShownBooking& shown,
                          const std::optional<HistoryActor>& actor) {
    const auto startCell = startCellOfKey(key);
    if (!startCell) throw DbError(QStringLiteral("not a reservation key: %1").arg(key));
    const IdentityForm form = identityFormOf(db);
    if (form == IdentityForm::NoPatientIds && !booking.KANJYAID.isEmpty())
        throw DbError(QStringLiteral("the database keeps no patient IDs (kesola-admin upgrade adds the table KANJYA)"));
    HistoryWriter history(db, actor);
    WriteTransaction transaction(db);
    const std::optional<Booking> stored = readBooking(db, key, form);
    if (stored != shown) return StoreOutcome::ChangedMeanwhile;
    const StoreOutcome outcome = checkStoredDay(db, key, *startCell, cellsOf(booking.Min));
    if (outcome != StoreOutcome::Stored) return outcome;
    const TableSchema& reservations = *findTable(kReservations);
    const QString& action = stored ? history_actions::kRebooked : history_actions::kBooked;
    const QString before = history.rowUnder(reservations, key);
    writeRow(db, key, booking);
    history.record(action, reservations, key, before);
    savePatientId(db, history, action, key, booking, form);
    if (form == IdentityForm::Recorded) saveStudy(db, key, stored, booking.YNAME);
    try {
        transaction.commit();
    } catch (const DbError& e) {
        if (!e.commitOutcomeUnknown()) throw;
        if (!storedAfterAll(db, key, booking, form)) {
            throw DbError(QStringLiteral("予約の保存中にサーバーとの接続が切れました。予約は保存されていません。"),
                          DbError::Kind::ConnectionLost);
        }
    }
    return StoreOutcome::Stored;
}

CancelOutcome deleteBooking(Database& db, const QString& key, const ShownBooking& shown) {
    const IdentityForm form = identityFormOf(db);
    HistoryWriter history(db);
    WriteTransaction transaction(db);
    // The booking's row is compared first and its patient ID as it is removed: a difference there still returns
    // before the commit, and the transaction rolls the removal back.
    const ShownBooking stored = readBooking(db, key, IdentityForm::NoPatientIds);
    if (!stored) return CancelOutcome::NothingToCancel;
    if (!shown || *stored != shown->withoutPatientId()) return CancelOutcome::ChangedMeanwhile;
    auto table = openTable(db, kReservations);
    if (!table->seek(key)) throw DbError(QStringLiteral("the booking %1 vanished inside its transaction").arg(key));
    const QString before = history.rowUnder(*findTable(kReservations), key);
    table->deleteRow();
    table->close();
    history.record(history_actions::kCancelled, *findTable(kReservations), key, before);
    if (idOfBooking(readPatientIdRow(db, key, form), stored->YNAME) != shown->KANJYAID)
        return CancelOutcome::ChangedMeanwhile;
    // Whatever row is under the key goes with the booking, one left by an earlier booking too; and the study's
    // UID is never given to another booking.
    Booking none = *stored;
    none.KANJYAID.clear();
    savePatientId(db, history, history_actions::kCancelled, key, none, form);
    if (form == IdentityForm::Recorded) removeRow(db, studyTable(), key);
    transaction.commit();
    return CancelOutcome::Cancelled;
}

}  // namespace kesola
