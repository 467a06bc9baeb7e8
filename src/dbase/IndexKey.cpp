#include "IndexKey.h"

#include "KeyExpression.h"
#include "MdxLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace dbase::index_key {

namespace {

constexpr unsigned char kExponentBias = 0x34;
constexpr unsigned char kNegative = 0x80;
constexpr int kMaxDigits = 16;

// digits: significant digits without leading or trailing zeros; exponent as in 0.d1d2 * 10^E.
std::string encode(bool negative, std::string_view digits, int exponent) {
    std::string key(mdx::kNumericKeyLength, '\0');
    if (digits.empty()) {
        key[0] = static_cast<char>(kExponentBias);
        key[1] = 0x01;
        return key;
    }
    if (digits.size() > kMaxDigits) digits = digits.substr(0, kMaxDigits);
    exponent = std::clamp(exponent, -static_cast<int>(kExponentBias), 0xFF - kExponentBias);
    key[0] = static_cast<char>(kExponentBias + exponent);
    key[1] = static_cast<char>((negative ? kNegative : 0) | (4 * digits.size() + 1));
    for (size_t i = 0; i < digits.size(); ++i) {
        const int d = digits[i] - '0';
        key[2 + i / 2] = static_cast<char>(key[2 + i / 2] | (i % 2 == 0 ? d << 4 : d));
    }
    return key;
}

} // namespace

std::string numericFromText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\0')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    auto allDigits = [](std::string_view s) {
        for (char c : s)
            if (c < '0' || c > '9') return false;
        return true;
    };
    if (!allDigits(whole) || !allDigits(fraction) || (whole.empty() && fraction.empty())) {
        // Not plain decimal text (an exponent, an overflow marker): go by its value.
        double v = 0;
        if (std::sscanf(std::string(text).c_str(), "%lf", &v) != 1) v = 0;
        return numericFromValue(negative ? -v : v);
    }
    while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
    int exponent = static_cast<int>(whole.size());
    std::string digits(whole);
    if (whole.empty()) {
        while (!fraction.empty() && fraction.front() == '0') {
            fraction.remove_prefix(1);
            --exponent;
        }
    }
    digits += fraction;
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    return encode(negative && !digits.empty(), digits, exponent);
}

std::string numericFromValue(double value) {
    if (!std::isfinite(value) || value == 0) return encode(false, {}, 0);
    char buf[64];
    // d.ddddddddddddddde+XX: sixteen significant digits.
    std::snprintf(buf, sizeof buf, "%.15e", std::fabs(value));
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits.push_back(*p);
    const int exponent = *p == 'e' ? std::atoi(p + 1) + 1 : 1;
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    return encode(value < 0, digits, exponent);
}

std::string dateKey(const Date& date) {
    const double day = date.isEmpty() ? 0.0 : julianDay(date.year, date.month, date.day);
    std::string key(mdx::kDateKeyLength, '\0');
    uint64_t bits;
    std::memcpy(&bits, &day, sizeof bits);
    for (int i = 0; i < 8; ++i) key[static_cast<size_t>(i)] = static_cast<char>(bits >> (8 * i));
    return key;
}

namespace {

double dateValue(std::string_view key) {
    if (key.size() < 8) return 0;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(key[static_cast<size_t>(i)]);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return std::isnan(v) ? 0 : v;
}

bool isZero(std::string_view key) {
    for (size_t i = 2; i < 10 && i < key.size(); ++i)
        if (key[i] != 0) return false;
    return true;
}

} // namespace

double numericValue(std::string_view key) {
    if (key.size() < 10 || isZero(key)) return 0;
    const auto* k = reinterpret_cast<const unsigned char*>(key.data());
    double mantissa = 0, scale = 0.1;
    for (int i = 0; i < kMaxDigits; ++i) {
        const int d = i % 2 == 0 ? k[2 + i / 2] >> 4 : k[2 + i / 2] & 0x0F;
        mantissa += d * scale;
        scale /= 10;
    }
    const double v = mantissa * std::pow(10.0, static_cast<int>(k[0]) - kExponentBias);
    return (k[1] & kNegative) ? -v : v;
}

int compare(char keyType, std::string_view a, std::string_view b) {
    if (keyType == 'C') {
        const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
        if (c != 0) return c;
        return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    }
    if (keyType == 'D') {
        const double x = dateValue(a), y = dateValue(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    // Numeric: sign, then zero, then exponent, then the digits.
    const auto* x = reinterpret_cast<const unsigned char*>(a.data());
    const auto* y = reinterpret_cast<const unsigned char*>(b.data());
    const bool xz = isZero(a), yz = isZero(b);
    const bool xn = !xz && (x[1] & kNegative), yn = !yz && (y[1] & kNegative);
    if (xn != yn) return xn ? -1 : 1;
    if (xz || yz) {
        // Equal signs here, so the other one is positive: zero sorts first.
        if (xz && yz) return 0;
        return xz ? -1 : 1;
    }
    int c = x[0] != y[0] ? (x[0] < y[0] ? -1 : 1) : std::memcmp(x + 2, y + 2, 8);
    if (c != 0) c = c < 0 ? -1 : 1;
    return xn ? -c : c;
}

} // namespace dbase::index_key
