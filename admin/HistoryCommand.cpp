#include "admin/HistoryCommand.h"

#include <QDate>
#include <QSaveFile>
#include <algorithm>

#include "admin/AdminStores.h"
#include "store/Cp932.h"
#include "store/CsvValue.h"
#include "store/History.h"
#include "store/PatientRegister.h"
#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/QtSqlDatabase.h"

namespace kesola {

namespace {

struct HistoryOptions {
    QString location;
    QString from;  // NICHIJI at or after this, "" for no bound
    QString to;    // NICHIJI before this (the day after --to), "" for no bound
    QString room;
    QString codePrefix;
    QString csvPath;
};

struct HistoryRow {
    QString time, workstation, user, action, table, key, before, after;
};

// On the listing a value stays on one line: its tabs and line ends shown as \t, \r and \n, as MAE and ATO keep
// them. The CSV file holds the values themselves.
QString shownValue(const QString& value, bool forListing) { return forListing ? escapedHistoryValue(value) : value; }

QString fieldList(const RowFields& fields, bool forListing) {
    QStringList parts;
    for (const auto& [name, value] : fields) parts << name + QStringLiteral(": ") + shownValue(value, forListing);
    return parts.join(QStringLiteral("; "));
}

// What changed: FIELD: before → after for a changed row, the whole row for one added or removed. A row text that
// does not parse (written by another program) is shown as stored.
QString changes(const HistoryRow& row, bool forListing) {
    const auto before = parseRowText(row.before);
    const auto after = parseRowText(row.after);
    if (!before || !after) {
        return QStringLiteral("MAE: ") + shownValue(row.before, forListing) + QStringLiteral("; ATO: ") +
               shownValue(row.after, forListing);
    }
    if (before->isEmpty()) return fieldList(*after, forListing);
    if (after->isEmpty()) return fieldList(*before, forListing);
    QStringList parts;
    for (const auto& [name, newValue] : *after) {
        const auto old = std::find_if(before->cbegin(), before->cend(), [&](const auto& f) { return f.first == name; });
        const QString oldValue = old == before->cend() ? QString() : old->second;
        if (oldValue == newValue) continue;
        parts << name + QStringLiteral(": ") + shownValue(oldValue, forListing) + QStringLiteral(" → ") +
                     shownValue(newValue, forListing);
    }
    return parts.join(QStringLiteral("; "));
}

bool wanted(const HistoryRow& row, const HistoryOptions& options) {
    if (!options.room.isEmpty() && !(isFiledUnderReservationKey(row.table) && row.key.startsWith(options.room)))
        return false;
    return row.key.startsWith(options.codePrefix);
}

std::vector<HistoryRow> readHistory(QtSqlDatabase& db, const HistoryOptions& options) {
    QStringList conditions{QStringLiteral("1 = 1")};
    QVariantList params;
    if (!options.from.isEmpty()) {
        conditions << QStringLiteral("NICHIJI >= ?");
        params << options.from;
    }
    if (!options.to.isEmpty()) {
        conditions << QStringLiteral("NICHIJI < ?");
        params << options.to;
    }
    auto rs = db.selectNative(
        QStringLiteral("SELECT * FROM RIREKI WHERE %1 ORDER BY NO").arg(conditions.join(QStringLiteral(" AND "))),
        params);
    std::vector<HistoryRow> rows;
    for (; !rs->eof(); rs->moveNext()) {
        HistoryRow row{rs->field(QStringLiteral("NICHIJI")), rs->field(QStringLiteral("TANMATSU")),
                       rs->field(QStringLiteral("RIYOSHA")), rs->field(QStringLiteral("SOSA")),
                       rs->field(QStringLiteral("TBL")),     rs->field(QStringLiteral("CODE")),
                       rs->field(QStringLiteral("MAE")),     rs->field(QStringLiteral("ATO"))};
        if (wanted(row, options)) rows.push_back(std::move(row));
    }
    rs->close();
    return rows;
}

bool writeCsv(const QString& path, const std::vector<HistoryRow>& rows) {
    QString text;
    for (const QString& heading : {QStringLiteral("日時"), QStringLiteral("端末"), QStringLiteral("利用者"),
                                   QStringLiteral("操作"), QStringLiteral("テーブル"), QStringLiteral("キー")}) {
        appendCsvValue(text, heading);
    }
    text += QStringLiteral("内容\r\n");
    for (const HistoryRow& row : rows) {
        for (const QString* value : {&row.time, &row.workstation, &row.user, &row.action, &row.table, &row.key}) {
            appendCsvValue(text, *value);
        }
        text += csvValue(changes(row, false)) + QStringLiteral("\r\n");
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(Cp932::encode(text));
    return file.commit();
}

std::optional<QString> dateOption(const QString& text, int daysLater, QTextStream& err) {
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid()) {
        err << "kesola-admin: not a date (YYYY-MM-DD): " << text << "\n";
        return std::nullopt;
    }
    return date.addDays(daysLater).toString(QStringLiteral("yyyy-MM-dd"));
}

bool parseHistory(const QStringList& args, HistoryOptions& options, QTextStream& err) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool takesValue = a == QStringLiteral("--from") || a == QStringLiteral("--to") ||
                                a == QStringLiteral("--room") || a == QStringLiteral("--code") ||
                                a == QStringLiteral("--csv");
        if (takesValue && i + 1 >= args.size()) {
            err << "kesola-admin: " << a << " needs a value\n";
            return false;
        }
        if (a == QStringLiteral("--from") || a == QStringLiteral("--to")) {
            const auto bound = dateOption(args[++i], a == QStringLiteral("--to") ? 1 : 0, err);
            if (!bound) return false;
            (a == QStringLiteral("--from") ? options.from : options.to) = *bound;
        } else if (a == QStringLiteral("--room")) {
            options.room = args[++i];
        } else if (a == QStringLiteral("--code")) {
            options.codePrefix = args[++i];
        } else if (a == QStringLiteral("--csv")) {
            options.csvPath = args[++i];
        } else if (a.startsWith(QStringLiteral("--")) || !options.location.isEmpty()) {
            err << "kesola-admin: unexpected " << a << "\n";
            return false;
        } else {
            options.location = a;
        }
    }
    if (options.location.isEmpty()) err << "kesola-admin: history needs the database\n";
    return !options.location.isEmpty();
}

}  // namespace

int runUpgrade(const QString& location, QTextStream& out, QTextStream& err) {
    // The tables added after the seven, each with what it is called in a message.
    const struct {
        const char* what;
        bool (*present)(Database&);
        void (*create)(Database&);
    } additions[] = {
        {"the history table RIREKI", hasHistoryTable, createHistoryTable},
        {"the patient ID table KANJYA", hasPatientIdTable, createPatientIdTable},
        {"the record of what each patient ID was given to (KANJYA.YNAME), the studies KENSA and the performed steps "
         "JISSHI",
         hasIdentityRecords, createIdentityRecords},
        {"the patient register KANJYAMST", hasPatientRegisterTable, createPatientRegisterTable},
    };
    QStringList added;
    int recorded = 0;
    try {
        auto db = openDatabase(location);
        for (const auto& table : additions) {
            if (table.present(*db)) continue;
            table.create(*db);
            added << QString::fromLatin1(table.what);
        }
        // IDs saved before their booking was recorded with them stay their bookings' IDs: the record is added now.
        recorded = recordPatientIdOwners(*db);
    } catch (const DbError& e) {
        for (const QString& what : added) out << "added " << what << " to " << shown(location) << "\n";
        err << "kesola-admin: cannot upgrade " << shown(location) << ": " << e.message() << "\n";
        return 1;
    }
    if (added.isEmpty() && recorded == 0) {
        out << shown(location) << " already has the history table RIREKI, the patient ID table KANJYA and its "
            << "records, and the patient register KANJYAMST; nothing changed\n";
    }
    for (const QString& what : added) out << "added " << what << " to " << shown(location) << "\n";
    if (recorded > 0) out << "recorded the booking of " << recorded << " patient IDs\n";
    return 0;
}

int runHistory(const QStringList& args, QTextStream& out, QTextStream& err) {
    HistoryOptions options;
    if (!parseHistory(args, options, err)) return 2;
    std::vector<HistoryRow> rows;
    try {
        auto db = openDatabase(options.location);
        if (!hasHistoryTable(*db)) {
            err << "kesola-admin: " << shown(options.location)
                << " keeps no history; add the table with: kesola-admin upgrade " << shown(options.location) << "\n";
            return 1;
        }
        rows = readHistory(*db, options);
    } catch (const DbError& e) {
        err << "kesola-admin: cannot read the history of " << shown(options.location) << ": " << e.message() << "\n";
        return 1;
    }
    for (const HistoryRow& row : rows) {
        out << QStringList{row.time, row.workstation, row.user, row.action, row.table, row.key, changes(row, true)}
                   .join(QStringLiteral("  "))
            << "\n";
    }
    if (!options.csvPath.isEmpty() && !writeCsv(options.csvPath, rows)) {
        err << "kesola-admin: cannot write " << options.csvPath << "\n";
        return 1;
    }
    return 0;
}

}  // namespace kesola
