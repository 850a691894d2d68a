#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

#include "store/Schema.h"
#include "store/SqliteDatabase.h"

namespace kesola::test {

TestDatabase::TestDatabase(const QString& title) : path_(dir_.filePath(QStringLiteral("KESOLA.MDB"))) {
    auto db = SqliteDatabase::create(path_);
    createSchema(*db, title);
}

std::unique_ptr<Database> TestDatabase::connect() const { return SqliteDatabase::open(path_); }

void TestDatabase::addRoom(const QString& code, const QString& name) const {
    connect()->execute(QStringLiteral("INSERT INTO ROOM (CODE, RNAME) VALUES (?, ?)"), {code, name});
}

void TestDatabase::addDepartment(const QString& code, const QString& name, int br, int bg, int bb, int fr, int fg,
                                 int fb) const {
    connect()->execute(QStringLiteral("INSERT INTO KA (CODE, KNAME, BR, BG, BB, FR, FG, FB) VALUES (?,?,?,?,?,?,?,?)"),
                       {code, name, QString::number(br), QString::number(bg), QString::number(bb), QString::number(fr),
                        QString::number(fg), QString::number(fb)});
}

void TestDatabase::addBodyPart(const QString& code, const QString& name) const {
    connect()->execute(QStringLiteral("INSERT INTO BU (CODE, BNAME) VALUES (?, ?)"), {code, name});
}

void TestDatabase::addReservation(const QString& code, const QString& minutes, const QString& department,
                                  const QString& name, const QString& bodyPart, const QString& status,
                                  const QString& sex, const QString& age, const QString& remarks) const {
    connect()->execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                                      "VALUES (?,?,?,'N',?,?,?,?,?,?)"),
                       {code, minutes, department, name, bodyPart, sex, age, status, remarks});
}

QString TestDatabase::lockValue() const {
    auto rs = connect()->select(QStringLiteral("SELECT * FROM LOCKTBL WHERE ID = '1'"));
    return rs->field(QStringLiteral("LOCK"));
}

int TestDatabase::count(const QString& table) const {
    auto rs = connect()->select(QStringLiteral("SELECT count(*) AS N FROM ") + table);
    return rs->field(QStringLiteral("N")).toInt();
}

TestContext::TestContext(const TestDatabase* db, QDate today) : clock(today) {
    g.messages = &messages;
    g.clock = &clock;
    if (db) {
        g.PATH_DB = db->path();
        g.PATH_APP = db->folder() + QLatin1Char('/');
        g.DB = db->connect();
        g.SYS_TITLE = QStringLiteral("ＭＲＩ予約システム");
    }
}

}  // namespace kesola::test
