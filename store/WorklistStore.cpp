#include "store/WorklistStore.h"

#include "store/Schema.h"
#include "store/engine/Database.h"

namespace kesola {

namespace {

const QString kDone = QStringLiteral("2");

QString keyDate(QDate date) { return date.toString(QStringLiteral("yyyyMMdd")); }

QString scheduledStatement(const Database& db, qsizetype rooms, bool withPatientIds) {
    const QString bound = QStringLiteral("?") + db.byteOrderCollation();
    QStringList ranges;
    for (qsizetype i = 0; i < rooms; ++i) ranges << QStringLiteral("(R.CODE >= %1 AND R.CODE < %1)").arg(bound);
    return QStringLiteral(
               "SELECT R.CODE AS CODE, R.Min AS Min, R.KA AS KA, R.YNAME AS YNAME, R.BUI AS BUI, R.SEX AS SEX, "
               "R.AGE AS AGE, R.JYOKYO AS JYOKYO, R.ETC AS ETC, D.KNAME AS KNAME, B.BNAME AS BNAME") +
           (withPatientIds ? QStringLiteral(", P.KANJYAID AS KANJYAID") : QString()) +
           QStringLiteral(" FROM KESOLA R LEFT JOIN KA D ON D.CODE = R.KA LEFT JOIN BU B ON B.CODE = R.BUI") +
           (withPatientIds ? QStringLiteral(" LEFT JOIN KANJYA P ON P.CODE = R.CODE") : QString()) +
           QStringLiteral(" WHERE ") + ranges.join(QStringLiteral(" OR ")) + QStringLiteral(" ORDER BY R.CODE");
}

}  // namespace

std::vector<ScheduledBooking> readScheduledBookings(Database& db, const QStringList& roomCodes, QDate from, QDate to) {
    if (roomCodes.isEmpty()) return {};
    QVariantList params;
    for (const QString& room : roomCodes) params << room + keyDate(from) << room + keyDate(to.addDays(1));
    // A database made before patient IDs were kept has no KANJYA: its bookings are served without one.
    auto rows = db.selectNative(scheduledStatement(db, roomCodes.size(), hasPatientIdTable(db)), params);
    std::vector<ScheduledBooking> found;
    for (; !rows->eof(); rows->moveNext()) {
        if (rows->field(QStringLiteral("JYOKYO")) == kDone) continue;
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
        found.push_back(std::move(s));
    }
    rows->close();
    return found;
}

}  // namespace kesola
