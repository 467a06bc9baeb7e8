#include "core/DateFormats.h"

#include <gtest/gtest.h>

TEST(DateFormats, TheTwelveSettingsShowSevenMarch1996) {
    const dbase::Date date{1996, 3, 7};
    const char* expected[] = {"3/7/96",   "3-7-96",   "3.7.96",   "7/3/96",   "7-3-96",   "7.3.96",
                              "3/7/1996", "3-7-1996", "3.7.1996", "7/3/1996", "7-3-1996", "7.3.1996"};
    for (int number = 1; number <= 12; ++number) {
        const auto format = core::DateFormatFor(number);
        ASSERT_TRUE(format.has_value()) << number;
        EXPECT_EQ(format->format(date), expected[number - 1]) << number;
        EXPECT_EQ(format->parse(expected[number - 1]), date) << number;
    }
    for (int other : {0, 13, -1}) EXPECT_FALSE(core::DateFormatFor(other).has_value());
}
