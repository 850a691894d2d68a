// A workstation in a process of its own, for the tests that share one database between processes.
//
//   lock_worker try LOCATION                    takes the lock once and gives it back if it got it
//   lock_worker hold LOCATION                   takes the lock, waits for a line on stdin, gives it back
//   lock_worker cycle LOCATION MARKER COUNT     takes and gives back the lock COUNT times; while holding it,
//                                               owns the file MARKER, which only one holder may create
//
// Prints what happened, one line each: "result:<LOCK_SET's answer>", "message:<text>", "taken", "released",
// "cycles:<taken> refused:<refusals>". Exit codes: 0 done, 1 bad arguments or no database, 2 two holders at
// once, 3 a database failure was reported, 4 out of time.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QThread>
#include <cstdio>
#include <iostream>
#include <string>

#include "store/Clock.h"
#include "store/MessageService.h"
#include "store/Pro000.h"
#include "store/Texts.h"
#include "store/WorkstationLock.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "tests/concurrency/WorkerOutput.h"

namespace {

using namespace kesola;
using kesola::test::say;

// Prints every box; counts those that report a database failure.
class PrintedMessages : public MessageService {
  public:
    MsgAnswer show(const QString& text, MsgIcon, MsgButtons, const QString& title) override {
        if (text.startsWith(texts::kDatabaseFailed)) {
            ++failures;
            lastFailure = text;
            if (!quiet) say(QStringLiteral("message:") + text + QStringLiteral(" title:") + title);
        } else if (!quiet) {
            say(QStringLiteral("message:") + text + QStringLiteral(" title:") + title);
        }
        return MsgAnswer::Ok;
    }
    int failures = 0;
    QString lastFailure;
    bool quiet = false;
};

int tryOnce(Pro000& g) {
    const QString result = LOCK_SET(g, 1);
    say(QStringLiteral("result:") + result);
    if (result.isEmpty()) {
        LOCK_SET(g, 0);
        say(QStringLiteral("released"));
    }
    return 0;
}

int holdUntilTold(Pro000& g) {
    const QString result = LOCK_SET(g, 1);
    say(QStringLiteral("result:") + result);
    if (!result.isEmpty()) return 3;
    say(QStringLiteral("taken"));
    std::string line;
    std::getline(std::cin, line);
    LOCK_SET(g, 0);
    say(QStringLiteral("released"));
    return 0;
}

// The marker is created exclusively after the lock is taken and removed before it is given back: if two
// processes ever held the lock together, one of them would find the marker there or gone.
int cycle(Pro000& g, PrintedMessages& messages, const QString& marker, int count) {
    messages.quiet = true;
    const QByteArray me = QByteArray::number(QCoreApplication::applicationPid());
    QElapsedTimer elapsed;
    elapsed.start();
    int taken = 0;
    int refused = 0;
    int busy = 0;
    while (taken < count) {
        if (elapsed.elapsed() > 100000) {
            say(QStringLiteral("out of time after %1 cycles").arg(taken));
            return 4;
        }
        const QString result = LOCK_SET(g, 1);
        const bool metBusyDatabase = messages.failures > 0;
        if (metBusyDatabase) {
            // A user told that the database is busy tries again; any other failure ends the run.
            if (!messages.lastFailure.contains(QStringLiteral("database is locked"))) {
                say(QStringLiteral("failed taking the lock: ") + messages.lastFailure);
                return 3;
            }
            messages.failures = 0;
            ++busy;
        }
        if (result == QStringLiteral("NG")) {
            if (!metBusyDatabase) ++refused;
            QThread::usleep(200 + QRandomGenerator::global()->bounded(1800));
            continue;
        }
        QFile file(marker);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            say(QStringLiteral("two holders: the marker was already there"));
            return 2;
        }
        file.write(me);
        file.close();
        QThread::usleep(100);
        QFile check(marker);
        if (!check.open(QIODevice::ReadOnly) || check.readAll() != me) {
            say(QStringLiteral("two holders: the marker changed"));
            return 2;
        }
        check.close();
        if (!QFile::remove(marker)) {
            say(QStringLiteral("two holders: the marker was removed by another"));
            return 2;
        }
        LOCK_SET(g, 0);
        if (messages.failures > 0) {
            say(QStringLiteral("failed releasing the lock: ") + messages.lastFailure);
            return 3;
        }
        ++taken;
    }
    say(QStringLiteral("cycles:%1 refused:%2 busy:%3").arg(taken).arg(refused).arg(busy));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) return 1;
    PrintedMessages messages;
    SystemClock clock;
    Pro000 g;
    g.messages = &messages;
    g.clock = &clock;
    g.SYS_TITLE = QStringLiteral("ＭＲＩ予約システム");
    g.PATH_DB = args[2];
    try {
        g.DB = openDatabase(g.PATH_DB);
    } catch (const DbError& e) {
        say(QStringLiteral("cannot open: ") + e.message());
        return 1;
    }
    const QString command = args[1];
    if (command == QStringLiteral("try")) return tryOnce(g);
    if (command == QStringLiteral("hold")) return holdUntilTold(g);
    if (command == QStringLiteral("cycle") && args.size() == 5) return cycle(g, messages, args[3], args[4].toInt());
    return 1;
}
