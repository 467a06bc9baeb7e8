#include "dbase/NumberText.h"

#include <gtest/gtest.h>

namespace nt = dbase::number_text;

namespace {
std::string shortest(std::string_view stored) {
    std::string out;
    nt::appendShortest(stored, out);
    return out;
}
std::string fixed(std::string_view stored, int decimals) {
    std::string out;
    nt::appendFixed(stored, decimals, out);
    return out;
}
} // namespace

TEST(NumberText, ShortestGeneralForm) {
    const std::pair<const char*, const char*> cases[] = {
        {"        12.5000", "12.5"},       // trailing zeros go
        {"         0.0000", "0"},          // zero is "0"
        {"        -0.0000", "0"},          // and never "-0"
        {"         0.2500", "0.25"},       // a leading "0" before the point
        {"          -.50", "-0.5"},        // written without the zero by other tools
        {"       00042", "42"},            // leading zeros
        {" 2147483647", "2147483647"},     // largest 32-bit whole number
        {"-2147483648", "-2147483648"},    //
        {"   999999999999.99", "999999999999.99"}, // 14 digits stay exact
        {"           ", ""},               // blank field: empty text
        {"  ***", ""},                     // overflow marker: unreadable, empty
        {"  1.5e3", "1500"},               // exponent form goes through the double
        {"12345678901234567", "1.23456789012346e+16"}, // over 15 digits: 15 significant
    };
    for (const auto& [stored, expected] : cases) EXPECT_EQ(shortest(stored), expected) << stored;
}

TEST(NumberText, FixedDecimalsRoundHalfAwayFromZero) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {"   12.5000", 2, "12.50"},
        {"    2.6750", 2, "2.68"},  // exact decimal rounding, unlike the double 2.67499...
        {"   -2.6750", 2, "-2.68"}, //
        {"   -0.0040", 2, "0.00"},  // rounds to zero: no sign
        {"        42", 2, "42.00"},
        {"     .5", 0, "1"},
        {"          ", 2, ""},
        {"   999999999999.9950", 2, "1000000000000.00"}, // carry through every digit
    };
    for (const auto& [stored, decimals, expected] : cases)
        EXPECT_EQ(fixed(stored, decimals), expected) << stored;
}

TEST(NumberText, ParseAcceptsPlainNumbersOnly) {
    EXPECT_EQ(nt::parse(" 12.5 "), 12.5);
    EXPECT_EQ(nt::parse("-.5"), -0.5);
    EXPECT_EQ(nt::parse("+7"), 7);
    EXPECT_EQ(nt::parse("1e3"), 1000);
    for (const char* bad : {"", "   ", "abc", "1,5", "1.2.3", "--1", "+-1", "inf", "nan", "1 2", "1e999", "."})
        EXPECT_FALSE(nt::parse(bad).has_value()) << '"' << bad << '"';
    EXPECT_TRUE(nt::isWholeNumber(" -12 "));
    EXPECT_FALSE(nt::isWholeNumber("12.0"));
    EXPECT_FALSE(nt::isWholeNumber("-"));
}

TEST(NumberText, FormatForFieldRightAlignsOrRefuses) {
    EXPECT_EQ(nt::formatForField(12.5, 8, 2), "   12.50");
    EXPECT_EQ(nt::formatForField(-2147483648.0, 11, 0), "-2147483648");
    EXPECT_EQ(nt::formatForField(999999999999.99, 20, 4), "   999999999999.9900");
    EXPECT_EQ(nt::formatForField(-0.001, 6, 2), "  0.00"); // no negative zero on disk
    EXPECT_EQ(nt::formatForField(-0.00001, 10, 6), " -0.000010"); // more decimals: printf
    // A tie rounds away from zero as dBASE does; a value just under a tie does not.
    EXPECT_EQ(nt::formatForField(0.125, 12, 2), "        0.13");
    EXPECT_EQ(nt::formatForField(-12345678.125, 12, 2), "-12345678.13");
    EXPECT_EQ(nt::formatForField(0.03125, 20, 4), "              0.0313");
    EXPECT_EQ(nt::formatForField(2.675, 5, 2), " 2.67"); // the double is 2.67499999...
    EXPECT_EQ(nt::formatForField(0.4, 3, 0), "  0");
    EXPECT_FALSE(nt::formatForField(100000, 5, 0).has_value());
    EXPECT_FALSE(nt::formatForField(12.5, 4, 2).has_value()); // "12.50" is five characters
    EXPECT_FALSE(nt::formatForField(1.0 / 0.0, 20, 4).has_value());
}
