#include "store/WorklistStore.h"

#include "store/engine/Database.h"

namespace kesola {

namespace {

const QString kDone = QStringLiteral("2");

QString keyDate(QDate date) { return date.toString(QStringLiteral("yyyyMMdd")); }

QString scheduledStatement(const Database& db, qsizetype rooms) {
    const QString bound = QStringLiteral("?") + db.byteOrderCollation();
    QStringList ranges;
    for (qsizetype i = 0; i < rooms; ++i) ranges << QStringLiteral("(R.CODE >= %1 AND R.CODE < %1)").arg(bound);
    return QStringLiteral(
               "SELECT R.CODE AS CODE, R.Min AS Min, R.KA AS KA, R.YNAME AS YNAME, R.BUI AS BUI, R.SEX AS SEX, "
               "R.AGE AS AGE, R.JYOKYO AS JYOKYO, R.ETC AS ETC, D.KNAME AS KNAME, B.BNAME AS BNAME "
               "FROM KESOLA R LEFT JOIN KA D ON D.CODE = R.KA LEFT JOIN BU B ON B.CODE = R.BUI WHERE ") +
           ranges.join(QStringLiteral(" OR ")) + QStringLiteral(" ORDER BY R.CODE");
}

}  // namespace

std::vector<ScheduledBooking> readScheduledBookings(Database& db, const QStringList& roomCodes, QDate from, QDate to) {
    if (roomCodes.isEmpty()) return {};
    QVariantList params;
    for (const QString& room : roomCodes) params << room + keyDate(from) << room + keyDate(to.addDays(1));
    auto rows = db.selectNative(scheduledStatement(db, roomCodes.size()), params);
    std::vector<ScheduledBooking> found;
    for (; !rows->eof(); rows->moveNext()) {
        if (rows->field(QStringLiteral("JYOKYO")) == kDone) continue;
        ScheduledBooking s;
        s.code = rows->field(QStringLiteral("CODE"));
        s.booking = {rows->field(QStringLiteral("Min")),    rows->field(QStringLiteral("KA")),
                     rows->field(QStringLiteral("YNAME")),  rows->field(QStringLiteral("BUI")),
                     rows->field(QStringLiteral("SEX")),    rows->field(QStringLiteral("AGE")),
                     rows->field(QStringLiteral("JYOKYO")), rows->field(QStringLiteral("ETC"))};
        s.departmentName = rows->field(QStringLiteral("KNAME"));
        s.bodyPartName = rows->field(QStringLiteral("BNAME"));
        found.push_back(std::move(s));
    }
    rows->close();
    return found;
}

}  // namespace kesola
