#include <gtest/gtest.h>

#include "store/DateCheck.h"

using namespace kesola;

namespace {
const QString NG = QStringLiteral("NG");
QString dc(const char* y, const char* m, const char* d) {
    return DATE_CHECK(QString::fromLatin1(y), QString::fromLatin1(m), QString::fromLatin1(d));
}
}  // namespace

TEST(DateCheck, ThirtyDayMonths) {
    EXPECT_EQ(dc("2005", "4", "30"), QString());
    for (const char* m : {"4", "6", "9", "11"}) EXPECT_EQ(dc("2005", m, "31"), NG) << m;
    EXPECT_EQ(dc("2005", "11", "4"), QString());
    EXPECT_EQ(dc("2005", "6", "9"), QString());
    EXPECT_EQ(dc("2005", "04", "31"), NG);
}

TEST(DateCheck, FebruaryFollowsTheLeapRule) {
    EXPECT_EQ(dc("2008", "2", "29"), QString());
    EXPECT_EQ(dc("2009", "2", "29"), NG);
    EXPECT_EQ(dc("2008", "2", "30"), NG);
    EXPECT_EQ(dc("2009", "2", "28"), QString());
}

TEST(DateCheck, LongMonthsNeverFail) {
    for (const char* m : {"1", "3", "5", "7", "8", "10", "12"}) EXPECT_EQ(dc("2005", m, "31"), QString()) << m;
}

TEST(DateCheck, EmptySelectorsMeanAnyValue) {
    EXPECT_EQ(dc("", "2", "29"), QString());
    EXPECT_EQ(dc("", "2", "30"), NG);
    EXPECT_EQ(dc("", "4", "31"), NG);
    EXPECT_EQ(dc("", "", "31"), QString());
    EXPECT_EQ(dc("2009", "2", ""), QString());
    EXPECT_EQ(dc("", "", ""), QString());
}
