// A workstation that is killed part-way through one write, for the test that proves a kill loses nothing.
//
//   kill_worker LOCATION [spill]
//
// With "spill" (database files only) the pager writes every changed page into the file as soon as it can, before
// the commit, so that a kill after the first write leaves a file that only its journal can put right.
//
// Opens the database, then reads one line of tab-separated fields from stdin, which names the write and where to
// stop inside it:
//
//   PAUSE_AT  PAUSE_MS  book    KEY MIN KA YNAME BUI SEX AGE JYOKYO ETC     (storeBooking, as "登録" writes)
//   PAUSE_AT  PAUSE_MS  cancel  KEY                                         (deleteBooking, as "削除" writes)
//   PAUSE_AT  PAUSE_MS  master  TABLE NAME_FIELD CODE NAME [FIELD=VALUE...] (storeMasterName, as "変更" writes)
//
// Inside the write transaction it prints "at:<first word of the statement>" just before each statement runs.
// Before the PAUSE_AT-th of them (1 for the first after BEGIN; 0 for the COMMIT) it prints "pause" and sleeps
// PAUSE_MS; when the transaction has fewer statements, it prints "pause" after the commit instead. After the write
// it prints "committed" and waits for stdin to close (its parent kills it before that). Exit codes: 1 bad arguments
// or no database, 3 the write failed or did not write.

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <iostream>
#include <string>

#include "store/BookingStore.h"
#include "store/History.h"
#include "store/MasterList.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "store/engine/TestHooks.h"
#include "tests/concurrency/WorkerOutput.h"

namespace {

using namespace kesola;
using kesola::test::say;

struct Stop {
    int at = 0;
    int pauseMs = 0;
    int statementsInside = -1;  // -1 until BEGIN has run
    bool paused = false;
} stop;

void beforeStatement(const QString& sql) {
    const QString verb = sql.section(u' ', 0, 0).toUpper();
    if (stop.statementsInside < 0) {
        if (verb == QStringLiteral("BEGIN")) stop.statementsInside = 0;
        return;
    }
    const bool commit = verb == QStringLiteral("COMMIT");
    if (++stop.statementsInside == stop.at || (commit && stop.at == 0)) {
        say(QStringLiteral("pause"));
        stop.paused = true;
        QThread::msleep(stop.pauseMs);
    }
    say(QStringLiteral("at:") + verb);
    if (commit) stop.statementsInside = -1;
}

bool write(Database& db, const QStringList& f) {
    const QString& what = f[2];
    if (what == QStringLiteral("book") && f.size() == 12) {
        const Booking b{f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11]};
        // The worker is the only writer: what is stored now is what a window would have shown.
        return storeBooking(db, f[3], b, findBooking(db, f[3])) == StoreOutcome::Stored;
    }
    if (what == QStringLiteral("cancel") && f.size() == 4) {
        return deleteBooking(db, f[3], findBooking(db, f[3])) == CancelOutcome::Cancelled;
    }
    if (what == QStringLiteral("master") && f.size() >= 7) {
        RowFields more;
        for (const QString& pair : f.mid(7)) more.append({pair.section(u'=', 0, 0), pair.section(u'=', 1)});
        return storeMasterName(db, f[3], f[4], f[5], f[6], more);
    }
    say(QStringLiteral("unknown write: ") + f.join(u'|'));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) return 1;
    std::unique_ptr<Database> db;
    try {
        db = openDatabase(args[1]);
        if (args.size() == 3 && args[2] == QStringLiteral("spill")) {
            db->execute(QStringLiteral("PRAGMA cache_size=1"));
            db->execute(QStringLiteral("PRAGMA cache_spill=1"));
        }
    } catch (const DbError& e) {
        say(QStringLiteral("cannot open: ") + e.message());
        return 1;
    }
    std::string line;
    if (!std::getline(std::cin, line)) return 1;
    const QStringList fields = QString::fromStdString(line).split(u'\t');
    if (fields.size() < 3) return 1;
    stop.at = fields[0].toInt();
    stop.pauseMs = fields[1].toInt();
    test_hooks::beforeStatement = &beforeStatement;
    try {
        if (!write(*db, fields)) return 3;
    } catch (const DbError& e) {
        say(QStringLiteral("failed: ") + e.message());
        return 3;
    }
    say(QStringLiteral("committed"));
    if (!stop.paused) say(QStringLiteral("pause"));
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
