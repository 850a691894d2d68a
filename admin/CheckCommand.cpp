#include "admin/CheckCommand.h"

#include <QDate>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <functional>

#include "admin/AdminStores.h"
#include "admin/CopyCommand.h"
#include "admin/PatientRegisterCheck.h"
#include "store/PatientId.h"
#include "store/PatientRegister.h"
#include "store/ReservationKey.h"
#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/PostgresUri.h"
#include "store/engine/SqliteBackup.h"
#include "store/engine/SqliteDatabase.h"

namespace kesola {

namespace {

// Reservations are read a page at a time in key order: a file's readers would otherwise keep every workstation's
// write waiting for the whole walk.
constexpr int kPageRows = 5000;
// Lines of one kind beyond this many are summed up in one more line.
constexpr int kLinesPerKind = 20;

// Runs one check; a check that cannot run (a damaged page, a lost server) is a problem of its own.
void attempt(QStringList& problems, const QString& what, const std::function<void()>& check) {
    try {
        check();
    } catch (const DbError& e) {
        problems << QStringLiteral("%1: %2").arg(what, e.message());
    }
}

// Problems of one kind, at most kLinesPerKind lines of them and then their number.
class ProblemKind {
  public:
    explicit ProblemKind(QString summary) : summary_(std::move(summary)) {}
    void add(const QString& line) {
        if (count_++ < kLinesPerKind) lines_ << line;
    }
    void appendTo(QStringList& problems) const {
        problems << lines_;
        if (count_ > kLinesPerKind)
            problems << QStringLiteral("... %1 more %2").arg(count_ - kLinesPerKind).arg(summary_);
    }

  private:
    QString summary_;
    QStringList lines_;
    int count_ = 0;
};

QSet<QString> codesOf(QtSqlDatabase& db, const QString& table) {
    QSet<QString> codes;
    auto rs = db.selectNative(QStringLiteral("SELECT CODE FROM ") + table, {});
    for (; !rs->eof(); rs->moveNext()) codes.insert(rs->field(QStringLiteral("CODE")));
    rs->close();
    return codes;
}

// Checks the reservations against their masters; a master table that is missing is reported on its own and not
// once for every reservation.
void checkReservations(QtSqlDatabase& db, const QSet<QString>& present, QStringList& problems) {
    QMap<QString, QSet<QString>> masters;
    for (const QString& table : {QStringLiteral("ROOM"), QStringLiteral("KA"), QStringLiteral("BU")}) {
        if (present.contains(table)) masters.insert(table, codesOf(db, table));
    }
    ProblemKind badKeys(QStringLiteral("reservations with a wrong key"));
    ProblemKind unknown(QStringLiteral("reservations naming a missing room, department or body part"));
    const auto lookUp = [&](const QString& key, const QString& table, const QString& code, const char* what) {
        if (masters.contains(table) && !masters.value(table).contains(code))
            unknown.add(QStringLiteral("reservation %1: %2 \"%3\" does not exist in %4").arg(key, what, code, table));
    };
    QString lastKey;
    for (bool firstPage = true;; firstPage = false) {
        auto rs = db.selectNative(QStringLiteral("SELECT CODE, KA, BUI FROM KESOLA %1ORDER BY CODE LIMIT %2")
                                      .arg(firstPage ? QString() : QStringLiteral("WHERE CODE > ? "))
                                      .arg(kPageRows),
                                  firstPage ? QVariantList() : QVariantList{lastKey});
        int rows = 0;
        for (; !rs->eof(); rs->moveNext(), ++rows) {
            lastKey = rs->field(QStringLiteral("CODE"));
            const QString keyProblem = reservationKeyProblem(lastKey);
            if (!keyProblem.isEmpty()) badKeys.add(QStringLiteral("reservation \"%1\": %2").arg(lastKey, keyProblem));
            lookUp(lastKey, QStringLiteral("ROOM"), lastKey.left(1), "room");
            lookUp(lastKey, QStringLiteral("KA"), rs->field(QStringLiteral("KA")), "department");
            lookUp(lastKey, QStringLiteral("BU"), rs->field(QStringLiteral("BUI")), "body part");
        }
        rs->close();
        if (rows < kPageRows) break;
    }
    badKeys.appendTo(problems);
    unknown.appendTo(problems);
}

// Every patient ID belongs to a stored booking and is one the scanners take.
void checkPatientIds(QtSqlDatabase& db, QStringList& problems) {
    if (!db.hasIndex(mainKeyIndexName(patientIdTable().name)))
        problems << QStringLiteral("table KANJYA has no MAIN_KEY index");
    ProblemKind orphans(QStringLiteral("patient IDs without a booking"));
    ProblemKind malformed(QStringLiteral("patient IDs a scanner does not take"));
    ProblemKind givenToAnother(QStringLiteral("patient IDs given to another booking under the same key"));
    const bool recorded = hasIdentityRecords(db);
    auto rs = db.selectNative(QStringLiteral("SELECT KANJYA.CODE AS CODE, KANJYAID, KESOLA.CODE AS BOOKED, "
                                             "KESOLA.YNAME AS BOOKEDNAME%1 FROM KANJYA LEFT JOIN KESOLA ON "
                                             "KESOLA.CODE = KANJYA.CODE ORDER BY KANJYA.CODE")
                                  .arg(recorded ? QStringLiteral(", KANJYA.YNAME AS GIVENTO") : QString()),
                              {});
    for (; !rs->eof(); rs->moveNext()) {
        const QString key = rs->field(QStringLiteral("CODE"));
        const QString id = rs->field(QStringLiteral("KANJYAID"));
        const QString givenTo = rs->field(QStringLiteral("GIVENTO"));
        const QString bookedName = rs->field(QStringLiteral("BOOKEDNAME"));
        if (rs->field(QStringLiteral("BOOKED")).isEmpty()) {
            orphans.add(QStringLiteral("patient ID \"%1\" under %2: no booking has that key").arg(id, key));
        } else if (!givenTo.isEmpty() && givenTo != bookedName) {
            givenToAnother.add(QStringLiteral("patient ID \"%1\" under %2: given to \"%3\", the booking is \"%4\"; "
                                              "it is not served or shown")
                                   .arg(id, key, givenTo, bookedName));
        }
        if (!isValidPatientId(id))
            malformed.add(QStringLiteral("patient ID \"%1\" under %2: not up to %3 letters, digits and hyphens")
                              .arg(id, key)
                              .arg(kPatientIdMaxLength));
    }
    rs->close();
    orphans.appendTo(problems);
    givenToAnother.appendTo(problems);
    malformed.appendTo(problems);
}

bool allDigits(const QString& text) {
    for (QChar c : text) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

struct Options {
    QString database;
    bool quiet = false;
};

bool parseOptions(const QStringList& args, Options& options, QTextStream& err) {
    for (const QString& a : args.mid(1)) {
        if (a == QStringLiteral("--quiet")) {
            options.quiet = true;
        } else if (a.startsWith(QStringLiteral("--")) || !options.database.isEmpty()) {
            err << "kesola-admin: check takes DATABASE and --quiet only\n";
            return false;
        } else {
            options.database = a;
        }
    }
    if (options.database.isEmpty()) err << "kesola-admin: check needs DATABASE\n";
    return !options.database.isEmpty();
}

QString lockState(QtSqlDatabase& db) {
    auto rs = db.select(QStringLiteral("SELECT LOCK FROM LOCKTBL WHERE ID = '1'"));
    const bool held = !rs->isEmpty() && rs->field(QStringLiteral("LOCK")) == QStringLiteral("1");
    rs->close();
    return held ? QStringLiteral("lock: held (by a workstation with a window open, or left by one that stopped)")
                : QStringLiteral("lock: free");
}

}  // namespace

QString reservationKeyProblem(const QString& code) {
    if (code.size() != 13 || !allDigits(code)) return QStringLiteral("not 13 digits");
    if (!QDate(code.mid(1, 4).toInt(), code.mid(5, 2).toInt(), code.mid(7, 2).toInt()).isValid())
        return QStringLiteral("no such date");
    const int hour = code.mid(9, 2).toInt();
    const int minute = code.mid(11, 2).toInt();
    if (hour < kFirstHour || hour >= kFirstHour + kCellCount / kCellsPerHour || minute % 10 != 0 || minute > 50)
        return QStringLiteral("starts at %1:%2, outside 7:00-19:50").arg(hour).arg(code.mid(11, 2));
    return {};
}

QStringList databaseProblems(QtSqlDatabase& db) {
    QStringList problems;
    attempt(problems, QStringLiteral("integrity check"), [&] {
        for (const QString& p : db.integrityProblems()) problems << QStringLiteral("integrity: ") + p;
    });
    QSet<QString> present;
    for (const TableSchema& table : allTables()) {
        try {
            countRows(db, table.name);
            present.insert(table.name);
        } catch (const DbError& e) {
            problems << QStringLiteral("table %1 is missing or cannot be read: %2").arg(table.name, e.message());
            continue;
        }
        attempt(problems, QStringLiteral("index of %1").arg(table.name), [&] {
            if (!db.hasIndex(mainKeyIndexName(table.name)))
                problems << QStringLiteral("table %1 has no MAIN_KEY index").arg(table.name);
        });
    }
    for (const QString& single : {QStringLiteral("SYSTEM"), QStringLiteral("LOCKTBL")}) {
        if (!present.contains(single)) continue;
        attempt(problems, single, [&] {
            auto rs = db.select(QStringLiteral("SELECT ID FROM %1 WHERE ID = '1'").arg(single));
            if (rs->isEmpty()) problems << QStringLiteral("table %1 has no row with ID \"1\"").arg(single);
            rs->close();
        });
    }
    if (present.contains(QStringLiteral("KESOLA"))) {
        attempt(problems, QStringLiteral("reservations"), [&] { checkReservations(db, present, problems); });
        attempt(problems, QStringLiteral("patient IDs"), [&] {
            if (hasPatientIdTable(db)) checkPatientIds(db, problems);
        });
    }
    attempt(problems, QStringLiteral("patient register"), [&] {
        if (hasPatientRegisterTable(db)) checkPatientRegister(db, problems);
    });
    return problems;
}

int runCheck(const QStringList& args, QTextStream& out, QTextStream& err) {
    Options options;
    if (!parseOptions(args, options, err)) return 2;
    // A database file is checked in a copy of one moment of it: SQLite's integrity check reads every page under
    // one shared lock, which would keep the workstations' writes waiting for seconds on a large file, while the
    // online backup lets them through between its slices.
    QTemporaryDir snapshotFolder;
    std::unique_ptr<QtSqlDatabase> db;
    try {
        if (isPostgresUri(options.database)) {
            db = openDatabase(options.database);
        } else {
            const QString snapshot = snapshotFolder.filePath(QStringLiteral("KESOLA.MDB"));
            if (!snapshotFolder.isValid()) throw DbError(QStringLiteral("no temporary folder for a copy (TMPDIR)"));
            backupDatabaseFile(options.database, snapshot);
            db = SqliteDatabase::open(snapshot);
        }
    } catch (const DbError& e) {
        out << "cannot open " << shown(options.database) << ": " << e.message() << "\n";
        return 1;
    }
    const QStringList problems = databaseProblems(*db);
    for (const QString& p : problems) out << p << "\n";
    if (!options.quiet) {
        if (problems.isEmpty()) out << shown(options.database) << ": no problem found\n";
        try {
            out << lockState(*db) << "\n";
        } catch (const DbError& e) {
            out << "lock: cannot be read: " << e.message() << "\n";
        }
    }
    return problems.isEmpty() ? 0 : 1;
}

}  // namespace kesola
