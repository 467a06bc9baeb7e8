#include "dbase/IndexKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace ik = dbase::index_key;

namespace {
std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}
} // namespace

TEST(IndexKey, NumericKeysAreDecimalBcd) {
    // 0x34 + exponent; sign bit and 4 * digits + 1; the digits two to a byte.
    const std::pair<const char*, const char*> cases[] = {
        {"0", "34 01 00 00 00 00 00 00 00 00 00 00"},
        {"        ", "34 01 00 00 00 00 00 00 00 00 00 00"}, // blank is zero
        {"-0.00", "34 01 00 00 00 00 00 00 00 00 00 00"},
        {"1", "35 05 10 00 00 00 00 00 00 00 00 00"},
        {"-1", "35 85 10 00 00 00 00 00 00 00 00 00"},
        {"10", "36 05 10 00 00 00 00 00 00 00 00 00"},   // trailing zero dropped, E = 2
        {"  12.5000", "36 0d 12 50 00 00 00 00 00 00 00 00"},
        {"0.01", "33 05 10 00 00 00 00 00 00 00 00 00"},  // E = -1
        {"1234.56", "38 19 12 34 56 00 00 00 00 00 00 00"}, // exact, no binary noise
        {"19.99", "36 11 19 99 00 00 00 00 00 00 00 00"},
        {"-98765432.1", "3c a5 98 76 54 32 10 00 00 00 00 00"},
        {"999999999999.99", "40 39 99 99 99 99 99 99 99 00 00 00"},
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(hex(ik::numericFromText(text)), bytes) << text;
    EXPECT_EQ(ik::numericFromValue(19.99), ik::numericFromText("19.99"));
    EXPECT_EQ(ik::numericFromValue(-0.01), ik::numericFromText("-0.01"));
    EXPECT_DOUBLE_EQ(ik::numericValue(ik::numericFromText("-1234.56")), -1234.56);
}

TEST(IndexKey, NumericAndDateKeysSortByValue) {
    const std::vector<double> ascending = {-1e6, -1234.5, -1, -0.5, -0.01, 0, 0.01, 0.07, 0.5, 1, 10, 12.5, 99.99, 1e9};
    std::vector<std::string> keys;
    for (double v : ascending) keys.push_back(ik::numericFromValue(v));
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        EXPECT_LT(ik::compare('N', keys[i], keys[i + 1]), 0) << ascending[i] << " < " << ascending[i + 1];
        EXPECT_GT(ik::compare('N', keys[i + 1], keys[i]), 0);
        EXPECT_EQ(ik::compare('N', keys[i], keys[i]), 0);
    }
    const std::string empty = ik::dateKey({});
    const std::string d1 = ik::dateKey({1899, 12, 31}), d2 = ik::dateKey({2000, 1, 1});
    EXPECT_EQ(hex(d2), "00 00 00 80 2c b4 42 41"); // 2451545.0, the Julian day
    EXPECT_LT(ik::compare('D', empty, d1), 0);          // the empty date first
    EXPECT_LT(ik::compare('D', d1, d2), 0);
    // Character keys compare as unsigned bytes: accented letters after Z.
    EXPECT_LT(ik::compare('C', "ZEBRA", "\xC9TAGE"), 0);
    EXPECT_LT(ik::compare('C', "AB ", "ABC"), 0);
}
