#include "core/TextFormat.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct NumberCase {
    const char* name;
    bool thousands; // FormatThousands, else FormatFixed
    double number;
    int width;
    int decimals;
    std::string expected;
};

// Shown in the test list instead of the row's bytes.
void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << c.name;
}

class NumberFormat : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberFormat, Writes) {
    const NumberCase& c = GetParam();
    const std::string text = c.thousands ? core::FormatThousands(c.number, c.width, c.decimals)
                                         : core::FormatFixed(c.number, c.width, c.decimals);
    EXPECT_EQ(text, c.expected);
}

// Commas go in from the right: p = decimals + 4 (or 3 without decimals), then every 4 more.
const NumberCase kNumberCases[] = {
    // "1234567.89": commas before 567.89 and before 234,567.89
    {"thousands_two_groups_rounded", true, 1234567.891, 1, 2, "1,234,567.89"},
    {"thousands_one_group_padded_decimals", true, 1234.5, 1, 2, "1,234.50"},
    {"thousands_below_one_thousand", true, 123.45, 1, 2, "123.45"},
    // "-123.45" would get ",123.45" after the sign; that comma is taken out again
    {"thousands_negative_no_comma_after_sign", true, -123.45, 1, 2, "-123.45"},
    {"thousands_negative_one_group", true, -1234.5, 1, 2, "-1,234.50"},
    {"thousands_negative_whole_six_digits", true, -123456, 1, 0, "-123,456"},
    {"thousands_whole_two_groups", true, 1234567, 1, 0, "1,234,567"},
    {"thousands_whole_three_digits", true, 999, 1, 0, "999"},
    // 8 characters "1,234.50" padded to 12: 4 blanks
    {"thousands_padded_to_width", true, 1234.5, 12, 2, "    1,234.50"},
    // rounding 999.999 to 1000.00 makes the fourth digit that needs a comma
    {"thousands_rounding_adds_a_group", true, 999.999, 1, 2, "1,000.00"},
    {"fixed_whole", false, 42, 1, 0, "42"},
    {"fixed_padded_to_width", false, 42, 5, 0, "   42"},
    {"fixed_adds_decimals", false, 2.5, 1, 2, "2.50"},
    {"fixed_never_cut_to_width", false, 123456, 3, 0, "123456"},
    {"fixed_negative_padded", false, -2.5, 6, 1, "  -2.5"},
    // -0.001 rounds to 0.00: no sign on a zero
    {"fixed_negative_rounding_to_zero", false, -0.001, 1, 2, "0.00"},
    {"thousands_negative_rounding_to_zero", true, -0.4, 1, 0, "0"},
};

INSTANTIATE_TEST_SUITE_P(Cases, NumberFormat, testing::ValuesIn(kNumberCases),
                         [](const testing::TestParamInfo<NumberCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(TextRoutines, TrimBlanksRemovesSpacesOnly) {
    EXPECT_EQ(core::TrimBlanks("  a b  "), "a b");
    EXPECT_EQ(core::TrimBlanks("     "), "");
    EXPECT_EQ(core::TrimBlanks(""), "");
    EXPECT_EQ(core::TrimBlanks("\t a \t"), "\t a \t");
    EXPECT_EQ(core::TrimBlanks(" \ta\n "), "\ta\n");
}

TEST(TextRoutines, PaddingNeverCuts) {
    EXPECT_EQ(core::PadRight("ab", 5), "ab   ");
    EXPECT_EQ(core::PadLeft("ab", 5), "   ab");
    EXPECT_EQ(core::PadRight("abcdef", 3), "abcdef");
    EXPECT_EQ(core::PadLeft("abcdef", 3), "abcdef");
    EXPECT_EQ(core::PadLeft("", 0), "");
}

TEST(TextRoutines, RepeatChar) {
    EXPECT_EQ(core::RepeatChar('-', 0), "");
    EXPECT_EQ(core::RepeatChar('-', 3), "---");
    EXPECT_EQ(core::RepeatChar('=', 255).size(), 255u);
}

TEST(TextRoutines, UpperAsciiChangesAToZOnly) {
    // 0xE9 is e-acute in the table code page; it stays, as do digits and signs.
    EXPECT_EQ(core::UpperAscii("az AZ 09 {}\xE9"), "AZ AZ 09 {}\xE9");
}

} // namespace
