#include "admin/WithoutIdCommand.h"

#include "admin/AdminStores.h"
#include "store/ReservationKey.h"
#include "store/WorklistStore.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/QtSqlDatabase.h"

namespace kesola {

namespace {

constexpr int kMaxDays = 366;

struct WithoutIdOptions {
    QString location;
    QDate from;
    int days = 1;
};

bool parseWithoutId(const QStringList& args, WithoutIdOptions& options, QTextStream& err) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if ((a == QStringLiteral("--from") || a == QStringLiteral("--days")) && i + 1 < args.size()) {
            const QString value = args[++i];
            if (a == QStringLiteral("--from")) {
                options.from = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
                if (!options.from.isValid()) {
                    err << "kesola-admin: --from needs a date YYYY-MM-DD, not " << value << "\n";
                    return false;
                }
            } else {
                bool ok = false;
                options.days = value.toInt(&ok);
                if (!ok || options.days < 1 || options.days > kMaxDays) {
                    err << "kesola-admin: --days needs a number from 1 to " << kMaxDays << ", not " << value << "\n";
                    return false;
                }
            }
        } else if (a.startsWith(QStringLiteral("--"))) {
            err << "kesola-admin: unknown option or missing value: " << a << "\n";
            return false;
        } else if (options.location.isEmpty()) {
            options.location = a;
        } else {
            err << "kesola-admin: more than one database given\n";
            return false;
        }
    }
    if (options.location.isEmpty()) err << "kesola-admin: without-id needs the database\n";
    return !options.location.isEmpty();
}

}  // namespace

int runWithoutId(const QStringList& args, QTextStream& out, QTextStream& err, QDate today) {
    WithoutIdOptions options{{}, today};
    if (!parseWithoutId(args, options, err)) return 2;
    const QStringList rooms{"1", "2", "3", "4", "5", "6", "7", "8", "9"};
    std::vector<ScheduledBooking> without;
    try {
        auto db = openDatabase(options.location);
        without = readBookingsWithoutPatientId(*db, rooms, options.from, options.from.addDays(options.days - 1));
    } catch (const DbError& e) {
        err << "kesola-admin: cannot read " << shown(options.location) << ": " << e.message() << "\n";
        return 1;
    }
    for (const ScheduledBooking& s : without) {
        const int cell = startCellOfKey(s.code).value_or(0);
        out << QStringLiteral("%1-%2-%3 %4:%5  room %6  %7  %8\n")
                   .arg(s.code.mid(1, 4), s.code.mid(5, 2), s.code.mid(7, 2))
                   .arg(cellHour(cell), 2, 10, QChar(u'0'))
                   .arg(cellMinute(cell), 2, 10, QChar(u'0'))
                   .arg(s.code.left(1), s.code, s.booking.YNAME);
    }
    if (without.empty()) out << "every booking to be done has a patient ID\n";
    return 0;
}

}  // namespace kesola
