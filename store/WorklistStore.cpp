#include "store/WorklistStore.h"

#include <QUuid>

#include "store/Schema.h"
#include "store/Uids.h"
#include "store/engine/Database.h"
#include "store/engine/DbError.h"

namespace kesola {

namespace {

const QString kDone = QStringLiteral("2");

QString keyDate(QDate date) { return date.toString(QStringLiteral("yyyyMMdd")); }

// The joined read. An ID row given to another booking under the same key (its name differs) is not this booking's,
// nor is a study made for another booking.
QString scheduledStatement(IdentityForm form, const QString& where) {
    const bool ids = form != IdentityForm::NoPatientIds;
    const bool recorded = form == IdentityForm::Recorded;
    QString sql = QStringLiteral(
        "SELECT R.CODE AS CODE, R.Min AS Min, R.KA AS KA, R.YNAME AS YNAME, R.BUI AS BUI, R.SEX AS SEX, "
        "R.AGE AS AGE, R.JYOKYO AS JYOKYO, R.ETC AS ETC, D.KNAME AS KNAME, B.BNAME AS BNAME");
    if (recorded) {
        sql += QStringLiteral(
            ", CASE WHEN P.YNAME IS NULL OR P.YNAME = '' OR P.YNAME = R.YNAME THEN P.KANJYAID END AS KANJYAID"
            ", CASE WHEN S.YNAME = R.YNAME THEN S.STUDYUID END AS STUDYUID");
    } else if (ids) {
        sql += QStringLiteral(", P.KANJYAID AS KANJYAID");
    }
    sql += QStringLiteral(" FROM KESOLA R LEFT JOIN KA D ON D.CODE = R.KA LEFT JOIN BU B ON B.CODE = R.BUI");
    if (ids) sql += QStringLiteral(" LEFT JOIN KANJYA P ON P.CODE = R.CODE");
    if (recorded) sql += QStringLiteral(" LEFT JOIN KENSA S ON S.CODE = R.CODE");
    return sql + QStringLiteral(" WHERE ") + where + QStringLiteral(" ORDER BY R.CODE");
}

// A database not yet upgraded keeps no studies: the UID is then derived from what identifies the booking, so that
// it stays the same from one query to the next (and changes with a correction, until the upgrade).
QString derivedStudyUid(const ScheduledBooking& s) {
    static const QUuid kBookingNamespace(QStringLiteral("9b083058-5009-4bab-95dc-9330c85ffde8"));
    const QString name = QStringList{s.code, s.patientId, s.booking.YNAME}.join(u'\n');
    return QStringLiteral("2.25.") + uuidAsDecimal(QUuid::createUuidV5(kBookingNamespace, name.toUtf8()).toRfc4122());
}

std::vector<ScheduledBooking> readRows(Database& db, const QString& where, const QVariantList& params, bool withDone) {
    const IdentityForm form = identityFormOf(db);
    auto rows = db.selectNative(scheduledStatement(form, where), params);
    std::vector<ScheduledBooking> found;
    for (; !rows->eof(); rows->moveNext()) {
        if (!withDone && rows->field(QStringLiteral("JYOKYO")) == kDone) continue;
        ScheduledBooking s;
        s.code = rows->field(QStringLiteral("CODE"));
        s.booking = {rows->field(QStringLiteral("Min")),     rows->field(QStringLiteral("KA")),
                     rows->field(QStringLiteral("YNAME")),   rows->field(QStringLiteral("BUI")),
                     rows->field(QStringLiteral("SEX")),     rows->field(QStringLiteral("AGE")),
                     rows->field(QStringLiteral("JYOKYO")),  rows->field(QStringLiteral("ETC")),
                     rows->field(QStringLiteral("KANJYAID"))};
        s.patientId = s.booking.KANJYAID;
        s.departmentName = rows->field(QStringLiteral("KNAME"));
        s.bodyPartName = rows->field(QStringLiteral("BNAME"));
        s.studyUid = form == IdentityForm::Recorded ? rows->field(QStringLiteral("STUDYUID")) : derivedStudyUid(s);
        found.push_back(std::move(s));
    }
    rows->close();
    return found;
}

std::vector<ScheduledBooking> readRange(Database& db, const QStringList& roomCodes, QDate from, QDate to) {
    if (roomCodes.isEmpty()) return {};
    const QString bound = QStringLiteral("?") + db.byteOrderCollation();
    QStringList ranges;
    QVariantList params;
    for (const QString& room : roomCodes) {
        ranges << QStringLiteral("(R.CODE >= %1 AND R.CODE < %1)").arg(bound);
        params << room + keyDate(from) << room + keyDate(to.addDays(1));
    }
    return readRows(db, ranges.join(QStringLiteral(" OR ")), params, false);
}

// The UID stored for the booking, or a new one stored in its place. Runs inside the caller's transaction.
QString studyUidFor(Database& db, const ScheduledBooking& s) {
    auto table = db.openTable(studyTable());
    const bool found = table->seek(s.code);
    if (found && table->field(QStringLiteral("YNAME")) == s.booking.YNAME &&
        !table->field(QStringLiteral("STUDYUID")).isEmpty()) {
        const QString uid = table->field(QStringLiteral("STUDYUID"));
        table->close();
        return uid;
    }
    const QString uid = newUid();
    if (found) {
        table->edit();
    } else {
        table->addNew();
        table->setField(QStringLiteral("CODE"), s.code);
    }
    table->setField(QStringLiteral("STUDYUID"), uid);
    table->setField(QStringLiteral("YNAME"), s.booking.YNAME);
    table->update();
    table->close();
    return uid;
}

}  // namespace

std::vector<ScheduledBooking> readScheduledBookings(Database& db, const QStringList& roomCodes, QDate from, QDate to) {
    return readRange(db, roomCodes, from, to);
}

std::optional<ScheduledBooking> readScheduledBooking(Database& db, const QString& key) {
    auto found = readRows(db, QStringLiteral("R.CODE = ?") + db.byteOrderCollation(), {key}, true);
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

void keepStudyUids(Database& db, std::vector<ScheduledBooking>& bookings) {
    const bool anyMissing =
        std::any_of(bookings.begin(), bookings.end(), [](const ScheduledBooking& s) { return s.studyUid.isEmpty(); });
    if (!anyMissing) return;
    // Two services offering the same booking at the same moment both find no UID; the second one's insert is
    // refused by the key, and its next try takes the first one's UID.
    constexpr int kTries = 2;
    for (int attempt = 1;; ++attempt) {
        try {
            std::vector<QString> uids;
            WriteTransaction transaction(db);
            for (const ScheduledBooking& s : bookings)
                uids.push_back(s.studyUid.isEmpty() ? studyUidFor(db, s) : s.studyUid);
            transaction.commit();
            for (size_t i = 0; i < bookings.size(); ++i) bookings[i].studyUid = uids[i];
            return;
        } catch (const DbError& e) {
            if (e.kind() != DbError::Kind::Constraint || attempt == kTries) throw;
        }
    }
}

std::vector<ScheduledBooking> readBookingsWithoutPatientId(Database& db, const QStringList& roomCodes, QDate from,
                                                           QDate to) {
    std::vector<ScheduledBooking> without;
    for (ScheduledBooking& s : readRange(db, roomCodes, from, to)) {
        if (s.patientId.isEmpty()) without.push_back(std::move(s));
    }
    return without;
}

}  // namespace kesola
