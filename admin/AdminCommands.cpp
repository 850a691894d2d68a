#include "admin/AdminCommands.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "admin/AdminStores.h"
#include "admin/BackupCommand.h"
#include "admin/CheckCommand.h"
#include "admin/CopyCommand.h"
#include "admin/DemoData.h"
#include "admin/HistoryCommand.h"
#include "admin/PatientsCommand.h"
#include "admin/WithoutIdCommand.h"
#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"
#include "store/engine/SqliteDatabase.h"

namespace kesola {

QString adminUsage() {
    return QStringLiteral(
               "Usage: kesola-admin init DATABASE [--title TEXT] [--demo]\n"
               "       kesola-admin copy SOURCE DEST\n"
               "       kesola-admin upgrade DATABASE\n"
               "       kesola-admin history DATABASE [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--room N] [--code PREFIX]\n"
               "                            [--csv FILE]\n"
               "       kesola-admin backup DATABASE DEST\n"
               "       kesola-admin check DATABASE [--quiet]\n"
               "       kesola-admin without-id DATABASE [--from YYYY-MM-DD] [--days N]\n"
               "       kesola-admin patients import DATABASE FILE [--dry-run]\n"
               "       kesola-admin patients export DATABASE FILE\n"
               "\n"
               "A DATABASE is either the path of a database file or a PostgreSQL connection URI\n"
               "(postgresql://[user@]host[:port]/database[?sslmode=...]), as the settings file KESOLA.INI holds it.\n"
               "Passwords never go into the URI: libpq reads them from ~/.pgpass or PGPASSWORD.\n"
               "\n"
               "init  creates the tables ROOM, KA, BU, BYOTO, KESOLA, LOCKTBL and SYSTEM with their MAIN_KEY\n"
               "      indexes, the SYSTEM row holding the title, the free LOCKTBL row, the history table RIREKI and\n"
               "      the patient ID table KANJYA and the patient register KANJYAMST:\n"
               "      in a new file (an existing file is never overwritten), or in an existing, empty server\n"
               "      database (made beforehand with\n"
               "      createdb --encoding=UTF8; a database that already holds the tables is refused).\n"
               "copy  copies every row of the seven tables, the patient IDs (KANJYA) and the patient register\n"
               "      (KANJYAMST) from SOURCE to DEST (file to\n"
               "      server, server to file, ...)\n"
               "      in one transaction and checks the counts. DEST is a new file, or a database whose tables are\n"
               "      missing or empty; one that holds any row is refused. Stop the workstations first.\n"
               "      The history table RIREKI, the patient ID table KANJYA and the register are created in DEST when "
               "they are\n"
               "      missing there.\n"
               "upgrade  adds the history table RIREKI, the patient ID table KANJYA, the record of the booking\n"
               "      each patient ID was given to (KANJYA's YNAME), the studies KENSA, the performed steps JISSHI\n"
               "      and the patient register KANJYAMST to a database made without them, and records for every\n"
               "      patient ID saved without that record the name of the booking now under its key. No other row\n"
               "      changes.\n"
               "      From then on every booking, change and cancellation, every master change and every lock\n"
               "      forced free with L is recorded with the time, the workstation, the user and the row before\n"
               "      and after.\n"
               "history  lists the recorded changes, oldest first: time, workstation, user, action, table, key\n"
               "      and the fields that changed as FIELD: before → after (the whole row for a new or removed\n"
               "      one). --from and --to limit the days, --room N the reservations of room N and their\n"
               "      patient IDs, --code PREFIX the keys. In MAE and ATO, and on the listing, a backslash, tab,\n"
               "      CR or LF inside a value is written as \\\\, \\t, \\r or \\n. --csv FILE also writes the rows\n"
               "      as a Shift-JIS CSV file (values with a comma, quote or line end are quoted, quotes doubled),\n"
               "      values unescaped.\n"
               "backup  copies a running database into the new file DEST (an existing file is refused) while the\n"
               "      workstations go on booking: a database file with SQLite's online backup, a server database\n"
               "      from one snapshot (put it back on a server with copy). The copy is checked (integrity, every\n"
               "      table, the rows of each) before the command says it is done; a copy that fails is removed.\n"
               "check  checks a database: integrity, the tables and their MAIN_KEY indexes, the SYSTEM and LOCKTBL\n"
               "      rows, reservation keys (13 digits, a real date, a start from 7:00 to 19:50) and the room,\n"
               "      department and body part each reservation names. One line per problem, exit status 1 when\n"
               "      there is any, 0 when there is none; it also says whether the workstation lock is held.\n"
               "      It lists patient IDs whose booking is not the one they were given to (an older workstation\n"
               "      cancelled and booked the slot anew): they are not served or shown.\n"
               "      --quiet prints the problems only.\n"
               "without-id  lists the bookings still to be done that have no patient ID, from --from (default\n"
               "      today) for --days N days (default 1): the scanners are not offered them (without_id = skip).\n"
               "patients import  takes the hospital information system's patient file into the patient register\n"
               "      KANJYAMST: a CSV file in Shift-JIS (cp932) or UTF-8 whose header line names the columns\n"
               "      ID,氏名,カナ氏名,生年月日,性別; dates as YYYYMMDD, YYYY/MM/DD or YYYY-MM-DD, sex as 1/2, M/F or\n"
               "      男/女. One transaction: a file with any wrong line changes nothing, and every wrong line is\n"
               "      listed with its number. Registered patients are updated, each change recorded in the history.\n"
               "      --dry-run checks the file and says what an import would do, writing nothing.\n"
               "patients export  writes the patient register to FILE in the same format (Shift-JIS).\n"
               "\n"
               "Options of init:\n"
               "  --title TEXT  the system title shown in every window caption (default \"%1\")\n"
               "  --demo        add rooms, departments, body parts and reservations around today, each\n"
               "                with a patient ID\n"
               "  --help        show this text\n")
        .arg(kDefaultTitle);
}

namespace {

struct InitOptions {
    QString path;
    QString title = kDefaultTitle;
    bool demo = false;
};

bool parseInit(const QStringList& args, InitOptions& options, QTextStream& err) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QStringLiteral("--demo")) {
            options.demo = true;
        } else if (a == QStringLiteral("--title")) {
            if (i + 1 >= args.size()) {
                err << "kesola-admin: --title needs a text\n";
                return false;
            }
            options.title = args[++i];
        } else if (a.startsWith(QStringLiteral("--"))) {
            err << "kesola-admin: unknown option " << a << "\n";
            return false;
        } else if (options.path.isEmpty()) {
            options.path = a;
        } else {
            err << "kesola-admin: more than one database given\n";
            return false;
        }
    }
    if (options.path.isEmpty()) {
        err << "kesola-admin: init needs the path of the new database\n";
        return false;
    }
    return true;
}

int initServer(const InitOptions& options, QTextStream& out, QTextStream& err, QDate today) {
    const QString where = shown(options.path);
    TargetStore target;
    bool tablesCreated = false;
    try {
        target = openTarget(options.path);
        requireUnicode(*target.db);
        if (hasAnyTable(*target.db)) {
            err << "kesola-admin: " << where
                << " already holds the reservation tables; it is left untouched (init needs an empty database)\n";
            return 1;
        }
        createSchema(*target.db, options.title);
        tablesCreated = true;
        if (options.demo) addDemoData(*target.db, today);
    } catch (const DbError& e) {
        err << "kesola-admin: cannot create the tables in " << where << ": " << e.message() << "\n";
        discardTarget(target, options.path, tablesCreated);
        return 1;
    }
    out << "created the reservation tables, the history table RIREKI, the patient ID table KANJYA and the patient "
           "register KANJYAMST in "
        << where << (options.demo ? " with demo data" : "") << "\n";
    return 0;
}

int init(const InitOptions& options, QTextStream& out, QTextStream& err, QDate today) {
    if (isPostgresUri(options.path)) return initServer(options, out, err, today);
    if (QFileInfo::exists(options.path)) {
        err << "kesola-admin: " << options.path << " already exists; it is left untouched\n";
        return 1;
    }
    try {
        auto db = SqliteDatabase::create(options.path);
        createSchema(*db, options.title);
        if (options.demo) addDemoData(*db, today);
    } catch (const DbError& e) {
        err << "kesola-admin: cannot create " << options.path << ": " << e.message() << "\n";
        QFile::remove(options.path);
        return 1;
    }
    out << "created " << options.path
        << " with the history table RIREKI, the patient ID table KANJYA and the patient register KANJYAMST"
        << (options.demo ? " with demo data" : "") << "\n";
    return 0;
}

}  // namespace

int runAdmin(const QStringList& args, QTextStream& out, QTextStream& err, QDate today) {
    if (args.isEmpty() || args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        (args.isEmpty() ? err : out) << adminUsage();
        return args.isEmpty() ? 2 : 0;
    }
    if (args[0] == QStringLiteral("init")) {
        InitOptions options;
        if (!parseInit(args, options, err)) return 2;
        return init(options, out, err, today);
    }
    if (args[0] == QStringLiteral("copy")) {
        if (args.size() != 3) {
            err << "kesola-admin: copy needs SOURCE and DEST\n" << adminUsage();
            return 2;
        }
        return runCopy(args[1], args[2], out, err);
    }
    if (args[0] == QStringLiteral("upgrade")) {
        if (args.size() != 2) {
            err << "kesola-admin: upgrade needs DATABASE\n" << adminUsage();
            return 2;
        }
        return runUpgrade(args[1], out, err);
    }
    if (args[0] == QStringLiteral("history")) return runHistory(args, out, err);
    if (args[0] == QStringLiteral("backup")) {
        if (args.size() != 3) {
            err << "kesola-admin: backup needs DATABASE and DEST\n" << adminUsage();
            return 2;
        }
        return runBackup(args[1], args[2], out, err, ::isatty(fileno(stderr)) == 1);
    }
    if (args[0] == QStringLiteral("check")) return runCheck(args, out, err);
    if (args[0] == QStringLiteral("without-id")) return runWithoutId(args, out, err, today);
    if (args[0] == QStringLiteral("patients")) return runPatients(args, out, err, today);
    err << "kesola-admin: unknown command " << args[0] << "\n" << adminUsage();
    return 2;
}

}  // namespace kesola
