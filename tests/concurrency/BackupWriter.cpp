// A workstation that keeps registering while a backup runs, in a process of its own.
//
//   backup_writer LOCATION ROOM COUNT   writes COUNT reservations of room ROOM (keys in rising order, one write
//                                       transaction each, a few milliseconds apart)
//
// Prints "ready" once the database is open, waits for a line on stdin, then prints "written:<n> failed:<n>" and
// the first failure's message. Exit codes: 0 done, 1 bad arguments or no database.

#include <QCoreApplication>
#include <QThread>
#include <iostream>
#include <string>

#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "tests/concurrency/WorkerOutput.h"

using namespace kesola;
using kesola::test::say;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) return 1;
    std::unique_ptr<Database> db;
    try {
        db = openDatabase(args[1]);
    } catch (const DbError& e) {
        say(QStringLiteral("no database: ") + e.message());
        return 1;
    }
    say(QStringLiteral("ready"));
    std::string line;
    std::getline(std::cin, line);
    const int count = args[3].toInt();
    int written = 0;
    QString firstFailure;
    for (int i = 0; i < count; ++i) {
        // Room, a date in 2090 on, 9:00: the i-th key of this room in key order.
        const QString key = QStringLiteral("%1%2%3%4%5")
                                .arg(args[2])
                                .arg(2090 + i / 336)
                                .arg(1 + i / 28 % 12, 2, 10, QLatin1Char('0'))
                                .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                .arg(QStringLiteral("0900"));
        try {
            WriteTransaction tx(*db);
            db->execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                                       "VALUES (?, '10', '01', 'N', ?, '01', '1', '40', '1', '')"),
                        {key, QStringLiteral("患者%1").arg(i)});
            tx.commit();
            ++written;
        } catch (const DbError& e) {
            if (firstFailure.isEmpty()) firstFailure = e.message();
        }
        QThread::msleep(3);
    }
    say(QStringLiteral("written:%1 failed:%2").arg(written).arg(count - written));
    if (!firstFailure.isEmpty()) say(QStringLiteral("first failure: ") + firstFailure);
    return 0;
}
