#include <gtest/gtest.h>

#include "store/engine/JetSql.h"
#include "store/engine/PostgresDatabase.h"
#include "store/engine/SqliteDatabase.h"

using namespace kesola;

TEST(JetSql, PrefixLikeOnBareColumnBecomesIndexRange) {
    const auto t =
        translateJetSql(QStringLiteral("SELECT * FROM KESOLA WHERE CODE LIKE '120050307*' ORDER BY CODE ASC;"),
                        SqliteDatabase::kJetDialect);
    EXPECT_EQ(t.sql, QStringLiteral("SELECT * FROM KESOLA WHERE (CODE >= ? AND CODE < ?) ORDER BY CODE ASC"));
    ASSERT_EQ(t.params.size(), 2);
    EXPECT_EQ(t.params[0].toString(), QStringLiteral("120050307"));
    EXPECT_EQ(t.params[1].toString(), QStringLiteral("120050308"));
}

TEST(JetSql, BetweenLiteralsAreBound) {
    const auto t =
        translateJetSql(QStringLiteral("SELECT * FROM KA WHERE CODE BETWEEN '00' AND '99' ORDER BY CODE ASC;"),
                        PostgresDatabase::kJetDialect);
    EXPECT_EQ(t.sql, QStringLiteral("SELECT * FROM KA WHERE CODE BETWEEN ? AND ? ORDER BY CODE ASC"));
    EXPECT_EQ(t.params, (QVariantList{QStringLiteral("00"), QStringLiteral("99")}));
}

TEST(JetSql, ExportFilterTranslatesFunctionsAndWildcards) {
    const QString jet = QStringLiteral(
        "SELECT * FROM KESOLA WHERE LEFT$(CODE,1) LIKE '1' AND MID$(CODE,2,4) LIKE '2006' AND MID$(CODE,6,2) LIKE "
        "'04' AND MID$(CODE,8,2) LIKE '*' ORDER BY CODE ASC;");
    const auto t = translateJetSql(jet, SqliteDatabase::kJetDialect);
    EXPECT_EQ(t.sql, QStringLiteral("SELECT * FROM KESOLA WHERE substr(CODE,1,1) = ? AND substr(CODE,2,4) = ? AND "
                                    "substr(CODE,6,2) = ? AND substr(CODE,8,2) IS NOT NULL ORDER BY CODE ASC"));
    EXPECT_EQ(t.params, (QVariantList{QStringLiteral("1"), QStringLiteral("2006"), QStringLiteral("04")}));
}

TEST(JetSql, OtherPatternsUseTheEnginesMatcher) {
    const QString jet = QStringLiteral("SELECT * FROM BU WHERE BNAME LIKE '*50%_x?#'");
    const auto sqlite = translateJetSql(jet, SqliteDatabase::kJetDialect);
    EXPECT_EQ(sqlite.sql, QStringLiteral("SELECT * FROM BU WHERE BNAME GLOB ?"));
    EXPECT_EQ(sqlite.params.value(0).toString(), QStringLiteral("*50%_x?[0-9]"));
    const auto pg = translateJetSql(jet, PostgresDatabase::kJetDialect);
    EXPECT_EQ(pg.sql, QStringLiteral("SELECT * FROM BU WHERE BNAME LIKE ? ESCAPE '\\'"));
    EXPECT_EQ(pg.params.value(0).toString(), QStringLiteral("%50\\%\\_x__"));
}

TEST(JetSql, QuotedLiteralWithDoubledQuoteIsOneParameter) {
    const auto t =
        translateJetSql(QStringLiteral("SELECT * FROM BU WHERE BNAME = 'O''Brien; --'"), SqliteDatabase::kJetDialect);
    EXPECT_EQ(t.sql, QStringLiteral("SELECT * FROM BU WHERE BNAME = ?"));
    EXPECT_EQ(t.params.value(0).toString(), QStringLiteral("O'Brien; --"));
}

TEST(JetSql, PrefixUpperBoundRaisesLastCharacter) {
    EXPECT_EQ(prefixUpperBound(QStringLiteral("12005")), QStringLiteral("12006"));
    EXPECT_EQ(prefixUpperBound(QStringLiteral("19")), QStringLiteral("1:"));
    // The bound is a text the engines can hold: never half a surrogate pair.
    EXPECT_EQ(prefixUpperBound(QStringLiteral("a\uD7FF")), QStringLiteral("a\uE000"));
    EXPECT_EQ(prefixUpperBound(QStringLiteral("a\U0001F600")), QStringLiteral("a\U0001F601"));
    EXPECT_EQ(prefixUpperBound(QStringLiteral("\U0001F3FF")), QStringLiteral("\U0001F400"));
    // The last character has no successor: the pattern goes to the engine's matcher.
    const auto t = translateJetSql(QStringLiteral("SELECT * FROM BU WHERE BNAME LIKE 'a\U0010FFFF*'"),
                                   SqliteDatabase::kJetDialect);
    EXPECT_EQ(t.sql, QStringLiteral("SELECT * FROM BU WHERE BNAME GLOB ?"));
}
