#include "admin/DemoData.h"

#include <QStringList>

#include "store/Numbers.h"
#include "store/ReservationKey.h"
#include "store/engine/Database.h"

namespace kesola {

namespace {

struct Department {
    const char* code;
    const char* name;
    int bg[3];
    int fg[3];
};

const Department kDepartments[] = {
    {"01", "内科", {255, 192, 192}, {0, 0, 0}},     {"02", "外科", {192, 224, 255}, {0, 0, 128}},
    {"03", "整形外科", {255, 255, 160}, {0, 0, 0}}, {"04", "脳神経外科", {0, 96, 160}, {255, 255, 255}},
    {"05", "小児科", {200, 255, 200}, {0, 96, 0}},  {"06", "耳鼻科", {255, 200, 255}, {96, 0, 96}},
};

const char* const kBodyParts[] = {"頭部", "頸椎", "胸椎", "腰椎", "膝関節", "肩関節", "腹部", "骨盤"};
const char* const kPatients[] = {"山田 太郎", "佐藤 花子", "鈴木 一郎", "高橋 美咲", "田中 健",
                                 "伊藤 由美", "渡辺 誠",   "中村 恵",   "小林 翔",   "加藤 陽子"};

void addMasters(Database& db) {
    db.execute(QStringLiteral("INSERT INTO ROOM (CODE, RNAME) VALUES ('1', ?)"), {QStringLiteral("ＭＲＩ室")});
    db.execute(QStringLiteral("INSERT INTO ROOM (CODE, RNAME) VALUES ('2', ?)"), {QStringLiteral("ＭＲＩ第２室")});
    for (const Department& d : kDepartments) {
        db.execute(
            QStringLiteral("INSERT INTO KA (CODE, KNAME, BR, BG, BB, FR, FG, FB) VALUES (?,?,?,?,?,?,?,?)"),
            {QString::fromLatin1(d.code), QString::fromUtf8(d.name), QString::number(d.bg[0]), QString::number(d.bg[1]),
             QString::number(d.bg[2]), QString::number(d.fg[0]), QString::number(d.fg[1]), QString::number(d.fg[2])});
    }
    int code = 1;
    for (const char* name : kBodyParts) {
        db.execute(QStringLiteral("INSERT INTO BU (CODE, BNAME) VALUES (?, ?)"),
                   {twoDigits(code++), QString::fromUtf8(name)});
    }
}

void addDay(Database& db, QDate day, QDate today, int room, int seed) {
    int cell = 6 + seed % 4;  // first booking between 8:00 and 8:30
    int n = 0;
    while (cell < kCellCount - 3) {
        const int minutes = 10 * (1 + (seed + n) % 6);
        const QString key = reservationKey(QString::number(room), QString::number(day.year()),
                                           QString::number(day.month()), QString::number(day.day()),
                                           QString::number(cellHour(cell)), QString::number(cellMinute(cell)));
        db.execute(
            QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                           "VALUES (?,?,?,?,?,?,?,?,?,?)"),
            {key, QString::number(minutes), QString::fromLatin1(kDepartments[(seed + n) % 6].code), QStringLiteral("N"),
             QString::fromUtf8(kPatients[(seed * 3 + n) % 10]), twoDigits(1 + (seed + 2 * n) % 8),
             QString::number(1 + n % 2), QString::number(20 + (seed * 7 + n * 13) % 70),
             day < today ? QStringLiteral("2") : QStringLiteral("1"),
             n % 3 == 0 ? QStringLiteral("造影あり") : QString()});
        // Every demo booking has its patient's ID, as the scanners need it; the same patient, the same ID.
        const QString name = QString::fromUtf8(kPatients[(seed * 3 + n) % 10]);
        db.execute(QStringLiteral("INSERT INTO KANJYA (CODE, KANJYAID, YNAME) VALUES (?, ?, ?)"),
                   {key, QStringLiteral("P-%1").arg(1001 + (seed * 3 + n) % 10), name});
        cell += minutes / 10 + (seed + n) % 4;
        ++n;
    }
}

}  // namespace

void addDemoData(Database& db, QDate today) {
    WriteTransaction tx(db);
    addMasters(db);
    for (int offset = -3; offset <= 7; ++offset) {
        const QDate day = today.addDays(offset);
        addDay(db, day, today, 1, offset + 10);
        addDay(db, day, today, 2, offset + 13);
    }
    tx.commit();
}

}  // namespace kesola
