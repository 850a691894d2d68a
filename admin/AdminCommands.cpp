#include "admin/AdminCommands.h"

#include <QFile>
#include <QFileInfo>

#include "admin/AdminStores.h"
#include "admin/CopyCommand.h"
#include "admin/DemoData.h"
#include "store/Schema.h"
#include "store/engine/DbError.h"
#include "store/engine/PostgresUri.h"
#include "store/engine/SqliteDatabase.h"

namespace kesola {

QString adminUsage() {
    return QStringLiteral(
               "Usage: kesola-admin init DATABASE [--title TEXT] [--demo]\n"
               "       kesola-admin copy SOURCE DEST\n"
               "\n"
               "A DATABASE is either the path of a database file or a PostgreSQL connection URI\n"
               "(postgresql://[user@]host[:port]/database[?sslmode=...]), as the settings file KESOLA.INI holds it.\n"
               "Passwords never go into the URI: libpq reads them from ~/.pgpass or PGPASSWORD.\n"
               "\n"
               "init  creates the tables ROOM, KA, BU, BYOTO, KESOLA, LOCKTBL and SYSTEM with their MAIN_KEY\n"
               "      indexes, the SYSTEM row holding the title and the free LOCKTBL row: in a new file (an existing\n"
               "      file is never overwritten), or in an existing, empty server database (made beforehand with\n"
               "      createdb --encoding=UTF8; a database that already holds the tables is refused).\n"
               "copy  copies every row of the seven tables from SOURCE to DEST (file to server, server to file, ...)\n"
               "      in one transaction and checks the counts. DEST is a new file, or a database whose tables are\n"
               "      missing or empty; one that holds any row is refused. Stop the workstations first.\n"
               "\n"
               "Options of init:\n"
               "  --title TEXT  the system title shown in every window caption (default \"%1\")\n"
               "  --demo        add rooms, departments, body parts and reservations around today\n"
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
    out << "created the reservation tables in " << where << (options.demo ? " with demo data" : "") << "\n";
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
    out << "created " << options.path << (options.demo ? " with demo data" : "") << "\n";
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
    err << "kesola-admin: unknown command " << args[0] << "\n" << adminUsage();
    return 2;
}

}  // namespace kesola
