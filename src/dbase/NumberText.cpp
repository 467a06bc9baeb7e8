#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <string>
#include <cstdint>
#include <algorithm>
#include <cstdio>

namespace dbase::number_text {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    return s;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Plain fixed-point text split into its parts; false for anything else.
struct Fixed {
    bool negative = false;
    std::string_view whole; // without leading zeros
    std::string_view fraction;
};

bool splitFixed(std::string_view s, Fixed& f) {
    if (s.empty()) return false;
    size_t i = 0;
    if (s[0] == '-' || s[0] == '+') {
        f.negative = s[0] == '-';
        i = 1;
    }
    const size_t wholeStart = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    f.whole = s.substr(wholeStart, i - wholeStart);
    f.fraction = {};
    if (i < s.size() && s[i] == '.') {
        const size_t fracStart = ++i;
        while (i < s.size() && isDigit(s[i])) ++i;
        f.fraction = s.substr(fracStart, i - fracStart);
    }
    if (i != s.size() || (f.whole.empty() && f.fraction.empty())) return false;
    while (!f.whole.empty() && f.whole.front() == '0') f.whole.remove_prefix(1);
    return true;
}

void appendGeneral(double v, std::string& out) {
    if (v == 0) v = 0; // no "-0"
    char buf[40];
    const int n = std::snprintf(buf, sizeof buf, "%.15g", v);
    out.append(buf, static_cast<size_t>(n));
}

constexpr int64_t kPow10[] = {1,
                              10,
                              100,
                              1000,
                              10000,
                              100000,
                              1000000,
                              10000000,
                              100000000,
                              1000000000,
                              10000000000,
                              100000000000,
                              1000000000000,
                              10000000000000,
                              100000000000000,
                              1000000000000000,
                              10000000000000000,
                              100000000000000000};

} // namespace

void appendShortest(std::string_view stored, std::string& out) {
    const std::string_view s = trimmed(stored);
    if (s.empty()) return;
    Fixed f;
    if (!splitFixed(s, f)) {
        if (auto v = parse(s)) appendGeneral(*v, out);
        return;
    }
    while (!f.fraction.empty() && f.fraction.back() == '0') f.fraction.remove_suffix(1);
    if (f.whole.size() + f.fraction.size() > 15) {
        if (auto v = parse(s)) appendGeneral(*v, out);
        return;
    }
    if (f.whole.empty() && f.fraction.empty()) {
        out.push_back('0');
        return;
    }
    if (f.negative) out.push_back('-');
    if (f.whole.empty())
        out.push_back('0');
    else
        out.append(f.whole);
    if (!f.fraction.empty()) {
        out.push_back('.');
        out.append(f.fraction);
    }
}

void appendFixed(std::string_view stored, int decimals, std::string& out) {
    const std::string_view s = trimmed(stored);
    if (s.empty()) return;
    Fixed f;
    if (splitFixed(s, f) && decimals >= 0 && decimals <= 8 &&
        f.whole.size() + std::max(f.fraction.size(), static_cast<size_t>(decimals)) <= 17) {
        // Exact decimal arithmetic on the digits: the value times 10^(fraction digits) as an
        // integer, which 17 digits (and one more from rounding up) always fit.
        int64_t scaled = 0;
        for (char c : f.whole) scaled = scaled * 10 + (c - '0');
        for (char c : f.fraction) scaled = scaled * 10 + (c - '0');
        const int have = static_cast<int>(f.fraction.size());
        if (have > decimals) {
            const int64_t div = kPow10[have - decimals];
            scaled = (scaled + div / 2) / div;
        } else {
            scaled *= kPow10[decimals - have];
        }
        char buf[32];
        int n = 0;
        int64_t v = scaled;
        int digits = 0;
        do {
            if (digits == decimals && decimals > 0) buf[n++] = '.';
            buf[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
            ++digits;
        } while (v > 0 || digits <= decimals);
        if (f.negative && scaled != 0) buf[n++] = '-';
        while (n > 0) out.push_back(buf[--n]);
        return;
    }
    const auto v = parse(s);
    if (!v) return;
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, *v == 0 ? 0.0 : *v);
    if (n > 0) out.append(buf, static_cast<size_t>(std::min(n, 63)));
}

std::optional<double> parse(std::string_view text) {
    std::string_view s = trimmed(text);
    if (s.empty()) return std::nullopt;
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        s.remove_prefix(1);
        if (s.empty() || s[0] == '+' || s[0] == '-') return std::nullopt;
    }
    // from_chars would also take "inf" and "nan"; a number here starts with a digit or ".".
    if (!isDigit(s[0]) && !(s[0] == '.' && s.size() > 1 && isDigit(s[1]))) return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return negative ? -v : v;
}

bool isWholeNumber(std::string_view text) {
    std::string_view s = trimmed(text);
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
    if (s.empty()) return false;
    for (char c : s)
        if (!isDigit(c)) return false;
    return true;
}

std::optional<std::string> formatForField(double value, int width, int decimals) {
    if (!std::isfinite(value) || width <= 0 || width > 64 || decimals < 0 || decimals > 18)
        return std::nullopt;
    char digits[400];
    int n;
    if (decimals <= 4) {
        // dBASE rounds a tie away from zero (0.125 is stored as 0.13), where printf would
        // round it to even. The product of a double and 10^decimals (decimals <= 4) needs at
        // most 63 bits of mantissa, so in long double it is exact and so is the tie test.
        long double scaled = std::roundl(static_cast<long double>(value) * kPow10[decimals]);
        if (scaled == 0) scaled = 0; // no "-0"
        n = std::snprintf(digits, sizeof digits, "%.0Lf", scaled);
        if (n <= 0 || n >= static_cast<int>(sizeof digits)) return std::nullopt;
        std::string text(digits, static_cast<size_t>(n));
        if (decimals > 0) {
            const bool negative = text[0] == '-';
            std::string body = negative ? text.substr(1) : text;
            if (body.size() <= static_cast<size_t>(decimals))
                body.insert(0, static_cast<size_t>(decimals) + 1 - body.size(), '0');
            body.insert(body.size() - static_cast<size_t>(decimals), 1, '.');
            text = negative ? "-" + body : body;
        }
        if (text.size() > static_cast<size_t>(width)) return std::nullopt;
        return std::string(static_cast<size_t>(width) - text.size(), ' ') + text;
    }
    n = std::snprintf(digits, sizeof digits, "%*.*f", width, decimals, value);
    if (n <= 0 || n > width) return std::nullopt;
    std::string out(digits, static_cast<size_t>(n));
    // "-0.00000" is written as "0.00000": a negative zero is no value of its own.
    const size_t minus = out.find('-');
    if (minus != std::string::npos && out.find_first_of("123456789") == std::string::npos) {
        out.erase(minus, 1);
        out.insert(out.begin(), ' ');
    }
    return out;
}

} // namespace dbase::number_text
