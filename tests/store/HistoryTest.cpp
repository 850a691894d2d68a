#include <gtest/gtest.h>

#include <QRegularExpression>

#include "store/BookingStore.h"
#include "store/History.h"
#include "store/Pro000.h"
#include "store/WorkstationLock.h"
#include "store/engine/DbError.h"
#include "tests/support/TestDatabase.h"

using namespace kesola;
using namespace kesola::test;

namespace {

const QString kKey = QStringLiteral("1200503070930");

struct Recorded {
    QString action, table, code, before, after, time;
};

std::vector<Recorded> history(const TestDatabase& db) {
    auto rs = db.connect()->select(QStringLiteral("SELECT * FROM RIREKI ORDER BY NO"));
    std::vector<Recorded> rows;
    for (; !rs->eof(); rs->moveNext()) {
        rows.push_back({rs->field(QStringLiteral("SOSA")), rs->field(QStringLiteral("TBL")),
                        rs->field(QStringLiteral("CODE")), rs->field(QStringLiteral("MAE")),
                        rs->field(QStringLiteral("ATO")), rs->field(QStringLiteral("NICHIJI"))});
    }
    return rows;
}

Booking booking(const QString& name, const QString& minutes = QStringLiteral("30")) {
    return Booking{minutes,
                   QStringLiteral("01"),
                   name,
                   QStringLiteral("02"),
                   QStringLiteral("1"),
                   QStringLiteral("45"),
                   QStringLiteral("1"),
                   QStringLiteral("造影")};
}

QString rowOf(const QString& minutes, const QString& name) {
    return QStringLiteral("CODE=%1\tMin=%2\tKA=01\tBYOTO=N\tYNAME=%3\tBUI=02\tSEX=1\tAGE=45\tJYOKYO=1\tETC=造影")
        .arg(kKey, minutes, name);
}

}  // namespace

TEST(History, RowTextsKeepEveryValueAndRefuseForeignForms) {
    const RowFields fields = {
        {"YNAME", "山田\t太郎"}, {"ETC", "a=b\r\nc"}, {"X", "\\t is not a tab"}, {"Q", "\"引用\" 😀"}, {"E", ""}};
    const QString text = rowText(fields);
    EXPECT_EQ(text.count(u'\t'), 4) << "one tab between fields, none inside a value";
    EXPECT_FALSE(text.contains(u'\n'));
    EXPECT_EQ(parseRowText(text), fields);
    EXPECT_EQ(parseRowText(QString()), RowFields{});
    for (const char* foreign : {"no equals sign", "=value without a name", "A=bad \\x escape", "A=ends in \\"}) {
        EXPECT_FALSE(parseRowText(QString::fromUtf8(foreign))) << foreign;
    }
}

TEST(History, BookingChangingAndCancellingEachLeaveOneRowWithBeforeAndAfter) {
    TestDatabase db;
    auto connection = db.connect();
    ASSERT_EQ(storeBooking(*connection, kKey, booking(QStringLiteral("山田")), std::nullopt), StoreOutcome::Stored);
    ASSERT_EQ(storeBooking(*connection, kKey, booking(QStringLiteral("山田\t花子"), QStringLiteral("60")),
                           booking(QStringLiteral("山田"))),
              StoreOutcome::Stored);
    const Booking changed = booking(QStringLiteral("山田\t花子"), QStringLiteral("60"));
    ASSERT_EQ(deleteBooking(*connection, kKey, changed), CancelOutcome::Cancelled);
    EXPECT_EQ(deleteBooking(*connection, kKey, changed), CancelOutcome::NothingToCancel)
        << "nothing to cancel records nothing";

    const auto rows = history(db);
    ASSERT_EQ(rows.size(), 3u);
    const QString first = rowOf(QStringLiteral("30"), QStringLiteral("山田"));
    const QString second = rowOf(QStringLiteral("60"), QStringLiteral("山田\\t花子"));
    EXPECT_EQ((std::vector<QStringList>{{rows[0].action, rows[0].before, rows[0].after},
                                        {rows[1].action, rows[1].before, rows[1].after},
                                        {rows[2].action, rows[2].before, rows[2].after}}),
              (std::vector<QStringList>{{"登録", "", first}, {"変更", first, second}, {"取消", second, ""}}));
    for (const Recorded& r : rows) {
        EXPECT_EQ(r.table, QStringLiteral("KESOLA"));
        EXPECT_EQ(r.code, kKey);
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")).match(r.time).hasMatch())
            << r.time.toStdString();
    }
}

TEST(History, ALockForcedFreeIsRecorded) {
    TestDatabase db;
    TestContext c(&db);
    db.connect()->execute(QStringLiteral("UPDATE LOCKTBL SET LOCK = '1'"));
    releaseLock(c.g);
    const auto rows = history(db);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ((QStringList{rows[0].action, rows[0].table, rows[0].code, rows[0].before, rows[0].after}),
              (QStringList{"ロック解除", "LOCKTBL", "1", "ID=1\tLOCK=1", "ID=1\tLOCK=0"}));
    EXPECT_EQ(LOCK_SET(c.g, 1), QString());
    EXPECT_EQ(LOCK_SET(c.g, 0), QString());
    EXPECT_EQ(history(db).size(), 1u) << "a workstation's own take and release are no change to record";
}

TEST(History, AChangeWhoseHistoryCannotBeWrittenIsNotMade) {
    TestDatabase db;
    auto connection = db.connect();
    ASSERT_EQ(storeBooking(*connection, kKey, booking(QStringLiteral("山田")), std::nullopt), StoreOutcome::Stored);
    failWrites(db, QStringLiteral("RIREKI"), QStringLiteral("INSERT"));
    EXPECT_THROW(storeBooking(*connection, kKey, booking(QStringLiteral("佐藤")), booking(QStringLiteral("山田"))),
                 DbError);
    EXPECT_THROW(deleteBooking(*connection, kKey, booking(QStringLiteral("山田"))), DbError);
    EXPECT_EQ(findBooking(*connection, kKey), booking(QStringLiteral("山田")));
    EXPECT_EQ(db.count(QStringLiteral("RIREKI")), 1);
}

TEST(History, ADatabaseWithoutTheTableWorksAsBeforeAndRecordsNothing) {
    TestDatabase db;
    db.connect()->execute(QStringLiteral("DROP TABLE RIREKI"));
    auto connection = db.connect();
    EXPECT_EQ(storeBooking(*connection, kKey, booking(QStringLiteral("山田")), std::nullopt), StoreOutcome::Stored);
    EXPECT_EQ(deleteBooking(*connection, kKey, booking(QStringLiteral("山田"))), CancelOutcome::Cancelled);
    EXPECT_EQ(db.count(QStringLiteral("KESOLA")), 0);
}
