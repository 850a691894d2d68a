#include <gtest/gtest.h>

#include "store/NameMatch.h"
#include "store/ReservationKey.h"
#include "store/ReservationSearch.h"
#include "tests/support/TestDatabase.h"

using namespace kesola;
using namespace kesola::test;

TEST(NameMatch, TypedFormsFindTheStoredName) {
    const struct {
        const char* stored;
        const char* typed;
        bool found;
    } cases[] = {
        {"山田 はなこ", "ハナコ", true},           // hiragana stored, katakana typed
        {"ヤマダ　ハナコ", "やまだはなこ", true},  // ideographic space ignored, hiragana typed
        {"ﾔﾏﾀﾞ ﾊﾅｺ", "ヤマダ", true},              // half-width katakana with its sound mark
        {"ヤマダ", "ﾔﾏﾀﾞ", true},                  // and typed half-width
        {"ＳＭＩＴＨ　Ｊ", "SMITHJ", true},        // full-width letters
        {"Room ５", "room5", true},                // letters of either case
        {"ＴＡＲＯ", "taro", true},                // full-width capitals typed small
        {"Taro", "ＴＡＲｏ", true},                // and the other way
        {"ΑΘΗΝΑ Ⅳ", "αθηνα ⅳ", true},              // Greek letters, Roman numerals
        {"山田太郎", "山田 太郎", true},           // space typed, none stored
        {"やまた", "ヤマダ", false},               // a sound mark is a different letter
        {"ゞ", "ヾ", true},                        // iteration marks
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nameContains(QString::fromUtf8(c.stored), normalisedName(QString::fromUtf8(c.typed))), c.found)
            << c.stored << " / " << c.typed;
    }
    EXPECT_TRUE(normalisedName(QStringLiteral(" 　\t")).isEmpty());
    // What the database is asked to look for before names are normalised: every stored form of the letter.
    EXPECT_EQ(storedFormsOf(u'ダ'), QStringList({"ダ", "た", "だ", "ﾀ"}));
    EXPECT_EQ(storedFormsOf(u'5'), QStringList({"5", "５"}));
    EXPECT_EQ(storedFormsOf(u'y'), QStringList({"y", "Ｙ", "ｙ", "Y"}));
    EXPECT_TRUE(storedFormsOf(u'%').isEmpty());
}

TEST(FreeSlots, StartsOfOneDay) {
    auto day = [](std::initializer_list<std::pair<int, int>> taken) {
        std::vector<bool> cells(kCellCount, false);
        for (auto [from, to] : taken)
            for (int c = from; c <= to; ++c) cells[c] = true;
        return cells;
    };
    // The last 30-minute start is 19:30 (cell 75): it ends at 20:00.
    EXPECT_EQ(freeStartsOfDay(day({{0, 73}}), 3), (std::vector<int>{74, 75}));
    // Back-to-back bookings leave no gap; a gap of exactly the duration is one start.
    EXPECT_EQ(freeStartsOfDay(day({{0, 9}, {10, 19}, {22, 77}}), 2), (std::vector<int>{20}));
    EXPECT_TRUE(freeStartsOfDay(day({{0, 9}, {10, 19}, {21, 77}}), 2).empty());
    EXPECT_EQ(freeStartsOfDay(day({}), 12).back(), 66);
}

TEST(ReservationSearch, FindsPatientsInThePeriodOnEveryRoom) {
    TestDatabase db;
    db.addReservation(QStringLiteral("1200503071000"), QStringLiteral("30"), QStringLiteral("01"),
                      QStringLiteral("やまだ はなこ"), QStringLiteral("02"), QStringLiteral("1"));
    db.addReservation(QStringLiteral("9200503070900"), QStringLiteral("20"), QStringLiteral("03"),
                      QStringLiteral("ﾔﾏﾀﾞ ﾊﾅｺ"), QStringLiteral("04"), QStringLiteral("2"), QStringLiteral("2"));
    db.addReservation(QStringLiteral("1200503080900"), QStringLiteral("20"), QStringLiteral("01"),
                      QStringLiteral("山田花子"), QStringLiteral("02"), QStringLiteral("1"));
    db.addReservation(QStringLiteral("2200504070900"), QStringLiteral("20"), QStringLiteral("01"),
                      QStringLiteral("ヤマダハナコ"), QStringLiteral("02"), QStringLiteral("1"));
    auto conn = db.connect();
    const auto found =
        findPatientBookings(*conn, QStringLiteral("ヤマダ　ハナコ"), QDate(2005, 3, 7), QDate(2005, 4, 6));
    ASSERT_EQ(found.size(), 2u) << "the booking of 7 April lies after the period";
    EXPECT_EQ(found[0].code, QStringLiteral("9200503070900")) << "9:00 before 10:00, whatever the room";
    EXPECT_EQ(found[0].booking.SEX, QStringLiteral("2"));
    EXPECT_EQ(found[1].code, QStringLiteral("1200503071000"));
    EXPECT_EQ(found[1].date, QDate(2005, 3, 7));
    EXPECT_EQ(found[1].startCell, 18);
    EXPECT_EQ(found[1].booking.Min, QStringLiteral("30"));
}

TEST(ReservationSearch, FindsBookingsByPatientIdInThePeriodToo) {
    TestDatabase db;
    for (const char* key : {"1200503071000", "2200503080900", "1200504070900"})
        db.addReservation(QString::fromLatin1(key), QStringLiteral("20"), QStringLiteral("01"),
                          QStringLiteral("山田花子"), QStringLiteral("02"), QStringLiteral("1"));
    db.addReservation(QStringLiteral("3200503091000"), QStringLiteral("20"), QStringLiteral("01"),
                      QStringLiteral("ID-7 さん"), QStringLiteral("02"), QStringLiteral("1"));
    auto conn = db.connect();
    conn->execute(
        QStringLiteral("INSERT INTO KANJYA (CODE, KANJYAID) VALUES ('1200503071000', 'ID-7'), "
                       "('2200503080900', 'ID-7'), ('1200504070900', 'ID-7'), ('3200503091000', 'ID-8')"));
    QStringList codes;
    for (const FoundBooking& f :
         findPatientBookings(*conn, QStringLiteral(" ID-7 "), QDate(2005, 3, 7), QDate(2005, 4, 6)))
        codes << f.code;
    EXPECT_EQ(codes, (QStringList{"1200503071000", "2200503080900", "3200503091000"}))
        << "by ID, by name once, and the booking of 7 April lies after the period";
    EXPECT_TRUE(findPatientBookings(*conn, QStringLiteral("id-7x"), QDate(2005, 3, 7), QDate(2005, 4, 6)).empty());
}

// The search window keeps the input method on: an ID typed there arrives in full width, in either case, with the
// long-vowel mark for "-".
TEST(ReservationSearch, FindsAPatientIdHoweverItIsTyped) {
    TestDatabase db;
    const struct {
        const char* key;
        const char* storedId;
    } stored[] = {{"1200503071000", "P-0001"}, {"2200503071000", "ab-12"}, {"3200503071000", "ABCDEFGHIJK"}};
    for (const auto& row : stored) {
        db.addReservation(QString::fromLatin1(row.key), QStringLiteral("20"), QStringLiteral("01"),
                          QStringLiteral("山田花子"), QStringLiteral("02"), QStringLiteral("1"));
    }
    auto conn = db.connect();
    for (const auto& row : stored) {
        conn->execute(QStringLiteral("INSERT INTO KANJYA (CODE, KANJYAID) VALUES (?, ?)"),
                      {QString::fromLatin1(row.key), QString::fromLatin1(row.storedId)});
    }
    const struct {
        const char* typed;
        const char* found;  // the key found, "" for none
    } cases[] = {
        {"ｐ－０００１", "1200503071000"},
        {"Ｐ－０００１", "1200503071000"},
        {"p-0001", "1200503071000"},
        {"ｐー０００１", "1200503071000"},
        {"　P-0001 ", "1200503071000"},
        {"AB-12", "2200503071000"},
        {"ａＢ－１２", "2200503071000"},
        {"abcdefghijk", "3200503071000"},  // more letters than are looked up one way of writing at a time
        {"ＡｂＣｄＥｆＧｈＩｊｋ", "3200503071000"},
        {"P-00001", ""},
        {"P0001", ""},
    };
    for (const auto& c : cases) {
        QStringList codes;
        for (const FoundBooking& f :
             findPatientBookings(*conn, QString::fromUtf8(c.typed), QDate(2005, 3, 7), QDate(2005, 3, 7)))
            codes << f.code;
        const QStringList expected = *c.found ? QStringList{QString::fromLatin1(c.found)} : QStringList{};
        EXPECT_EQ(codes, expected) << c.typed;
    }
}

TEST(ReservationSearch, FindsBookingsByTheRegistersKanaName) {
    TestDatabase db;
    for (const char* key : {"1200503071000", "1200503081000", "1200504070900", "1200503091000"})
        db.addReservation(QString::fromLatin1(key), QStringLiteral("20"), QStringLiteral("01"),
                          QStringLiteral("山田花子"), QStringLiteral("02"), QStringLiteral("1"));
    auto conn = db.connect();
    conn->execute(
        QStringLiteral("INSERT INTO KANJYA (CODE, KANJYAID) VALUES ('1200503071000', 'P-1'), "
                       "('1200504070900', 'P-1'), ('1200503091000', 'P-2')"));
    conn->execute(QStringLiteral("INSERT INTO KANJYAMST (KANJYAID, SHIMEI, KANA, SEINENGAPPI, SEX) VALUES "
                                 "('P-1', ?, ?, '19600308', '2'), ('P-2', ?, ?, '19700101', '2')"),
                  {QStringLiteral("山田　花子"), QStringLiteral("ヤマダ　ハナコ"), QStringLiteral("山田　花子"),
                   QStringLiteral("ヤマタ　ハナコ")});
    const struct {
        const char* typed;
        QStringList codes;
    } cases[] = {
        {"やまだ はなこ", {"1200503071000"}},  // the register's kana, typed in hiragana with a space
        {"ﾊﾅｺ", {"1200503071000", "1200503091000"}},
        {"ヤマダタロウ", {}},
    };
    for (const auto& c : cases) {
        QStringList codes;
        for (const FoundBooking& f :
             findPatientBookings(*conn, QString::fromUtf8(c.typed), QDate(2005, 3, 7), QDate(2005, 4, 6)))
            codes << f.code;
        EXPECT_EQ(codes, c.codes) << c.typed;
    }
}

TEST(ReservationSearch, FreeSlotsSkipBookingsAndGoOnToLaterDays) {
    TestDatabase db;
    // The first date: 7:00 to 19:00 taken by a booking that covers its first start, and one back to back with it.
    db.addReservation(QStringLiteral("2200503070700"), QStringLiteral("120"), QStringLiteral("01"), QStringLiteral("A"),
                      QStringLiteral("01"), QStringLiteral("1"));
    for (int hour = 9; hour < 19; hour += 2) {
        db.addReservation(QStringLiteral("220050307%1").arg(hour, 2, 10, QChar(u'0')) + QStringLiteral("00"),
                          QStringLiteral("120"), QStringLiteral("01"), QStringLiteral("B"), QStringLiteral("01"),
                          QStringLiteral("1"));
    }
    // Another room's booking does not count.
    db.addReservation(QStringLiteral("1200503081900"), QStringLiteral("60"), QStringLiteral("01"), QStringLiteral("C"),
                      QStringLiteral("01"), QStringLiteral("1"));
    auto conn = db.connect();
    const auto freeSlots = findFreeSlots(*conn, QStringLiteral("2"), 60, QDate(2005, 3, 7));
    ASSERT_GE(freeSlots.size(), 10u);
    EXPECT_EQ(freeSlots[0], (FreeSlot{QDate(2005, 3, 7), 72})) << "19:00, ending at 20:00";
    EXPECT_EQ(freeSlots[1], (FreeSlot{QDate(2005, 3, 8), 0}));
    EXPECT_EQ(freeSlots.back(), (FreeSlot{QDate(2005, 3, 8), 72}));
}

TEST(FreeSlots, FirstCellNotBeforeATime) {
    EXPECT_EQ(firstCellNotBefore(QTime(6, 30)), 0);
    EXPECT_EQ(firstCellNotBefore(QTime(15, 10, 1)), 50) << "15:20";
    EXPECT_EQ(firstCellNotBefore(QTime(19, 55)), kCellCount);
}
