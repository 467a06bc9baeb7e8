#include "dbase/Date.h"

#include <gtest/gtest.h>

using dbase::Date;
using dbase::DateFormat;
using Order = DateFormat::Order;

TEST(Date, StorageRoundTripAndRejects) {
    EXPECT_EQ(Date({1996, 3, 7}).toStorage(), "19960307");
    EXPECT_EQ(Date{}.toStorage(), "        ");
    EXPECT_EQ(Date::fromStorage("19960307"), (Date{1996, 3, 7}));
    EXPECT_EQ(Date::fromStorage("        "), Date{});
    EXPECT_EQ(Date::fromStorage("00000000"), Date{}); // written by some tools for "no date"
    EXPECT_EQ(Date::fromStorage("20000229"), (Date{2000, 2, 29}));
    for (const char* bad : {"19000229", "19961301", "19960132", "1996 3 7", "abcdefgh", "1996030"})
        EXPECT_FALSE(Date::fromStorage(bad).has_value()) << bad;
}

struct FormatCase {
    const char* name;
    DateFormat format;
    Date date;
    const char* text;
};

class DateFormatCases : public testing::TestWithParam<FormatCase> {};

TEST_P(DateFormatCases, FormatsAndParsesBack) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(c.format.format(c.date), c.text);
    EXPECT_EQ(c.format.parse(c.text), c.date);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DateFormatCases,
    testing::Values(
        FormatCase{"mdy_slash_short", {'/', Order::MonthDayYear, false, 1950}, {1996, 3, 7}, "3/7/96"},
        FormatCase{"dmy_dash_short", {'-', Order::DayMonthYear, false, 1950}, {1996, 3, 7}, "7-3-96"},
        FormatCase{"mdy_dot_long", {'.', Order::MonthDayYear, true, 1950}, {1996, 3, 7}, "3.7.1996"},
        FormatCase{"dmy_long_two_digit_day", {'/', Order::DayMonthYear, true, 1950}, {2024, 12, 31}, "31/12/2024"},
        FormatCase{"short_year_after_pivot_century", {'/', Order::MonthDayYear, false, 1976}, {2025, 1, 2}, "1/2/25"},
        FormatCase{"ymd", {'-', Order::YearMonthDay, true, 1950}, {1999, 1, 2}, "1999-1-2"}),
    [](const testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

TEST(DateFormat, ParsingIsStrictAboutTheCalendarAndTheSeparator) {
    const DateFormat mdy{'/', Order::MonthDayYear, true, 1950};
    EXPECT_EQ(mdy.parse(" 03/07/1996 "), (Date{1996, 3, 7})); // blanks and leading zeros allowed
    EXPECT_EQ(mdy.parse("2/29/2000"), (Date{2000, 2, 29}));
    EXPECT_EQ(mdy.parse("1/2/34"), (Date{2034, 1, 2})); // a short year is read in a long format too
    for (const char* bad : {"2/29/1900", "2/30/1996", "13/1/1996", "0/1/1996", "1/0/1996", "1-2-1996",
                            "1/2", "1/2/3/4", "a/b/cccc", "", "1/2/996", "1/2/1996x", "/  /"})
        EXPECT_FALSE(mdy.parse(bad).has_value()) << '"' << bad << '"';
    EXPECT_EQ(mdy.format(Date{}), "");
}

TEST(DateFormat, TwoDigitYearsFallInTheHundredYearsFromThePivot) {
    DateFormat f{'/', Order::MonthDayYear, false, 1950};
    EXPECT_EQ(f.parse("1/1/50")->year, 1950);
    EXPECT_EQ(f.parse("1/1/49")->year, 2049);
    EXPECT_EQ(f.parse("1/1/00")->year, 2000);
    f.pivotYear = 1976;
    EXPECT_EQ(f.parse("1/1/75")->year, 2075);
    EXPECT_EQ(f.parse("1/1/76")->year, 1976);
}
