#include "admin/AdminCommands.h"

#include <QFile>
#include <QFileInfo>

#include "store/DbError.h"
#include "store/DemoData.h"
#include "store/Schema.h"
#include "store/SqliteDatabase.h"

namespace kesola {

QString adminUsage() {
    return QStringLiteral(
               "Usage: kesola-admin init PATH [--title TEXT] [--demo]\n"
               "\n"
               "Creates a new reservation database in the file PATH: the tables ROOM, KA, BU, BYOTO, KESOLA,\n"
               "LOCKTBL and SYSTEM with their MAIN_KEY indexes, the SYSTEM row holding the title and the free\n"
               "LOCKTBL row. An existing file is never overwritten.\n"
               "\n"
               "Options:\n"
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

int init(const InitOptions& options, QTextStream& out, QTextStream& err, QDate today) {
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
    err << "kesola-admin: unknown command " << args[0] << "\n" << adminUsage();
    return 2;
}

}  // namespace kesola
