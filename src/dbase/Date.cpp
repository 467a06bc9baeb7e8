#include "Date.h"

#include <chrono>

namespace dbase {

namespace {

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

void appendNumber(std::string& out, int value, int minDigits) {
    char buf[8];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 8);
    while (n < minDigits) buf[n++] = '0';
    while (n > 0) out.push_back(buf[--n]);
}

bool isBlank(char c) { return c == ' '; }

// Reads 1..maxDigits decimal digits; returns the digit count read (0 on none).
int readDigits(std::string_view s, size_t& pos, int maxDigits, int& value) {
    value = 0;
    int n = 0;
    while (pos < s.size() && n < maxDigits && s[pos] >= '0' && s[pos] <= '9') {
        value = value * 10 + (s[pos] - '0');
        ++pos;
        ++n;
    }
    return n;
}

} // namespace

bool Date::isValid() const {
    if (isEmpty()) return month == 0 && day == 0;
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

std::string Date::toStorage() const {
    if (isEmpty()) return std::string(8, ' ');
    std::string out;
    out.reserve(8);
    appendNumber(out, year, 4);
    appendNumber(out, month, 2);
    appendNumber(out, day, 2);
    return out;
}

std::optional<Date> Date::fromStorage(std::string_view s) {
    if (s.size() != 8) return std::nullopt;
    bool allBlank = true;
    for (char c : s) allBlank = allBlank && (c == ' ' || c == '\0');
    if (allBlank) return Date{};
    int v[8];
    for (int i = 0; i < 8; ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
        v[i] = s[i] - '0';
    }
    Date d{v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]};
    // Some writers store 00000000 for an empty date.
    if (d.year == 0 && d.month == 0 && d.day == 0) return Date{};
    if (!d.isValid()) return std::nullopt;
    return d;
}

void DateFormat::append(const Date& date, std::string& out) const {
    if (date.isEmpty()) return;
    const int year = fourDigitYear ? date.year : date.year % 100;
    const int yearDigits = fourDigitYear ? 4 : 2;
    switch (order) {
    case Order::MonthDayYear:
        appendNumber(out, date.month, 1);
        out.push_back(separator);
        appendNumber(out, date.day, 1);
        out.push_back(separator);
        appendNumber(out, year, yearDigits);
        break;
    case Order::DayMonthYear:
        appendNumber(out, date.day, 1);
        out.push_back(separator);
        appendNumber(out, date.month, 1);
        out.push_back(separator);
        appendNumber(out, year, yearDigits);
        break;
    case Order::YearMonthDay:
        appendNumber(out, year, yearDigits);
        out.push_back(separator);
        appendNumber(out, date.month, 1);
        out.push_back(separator);
        appendNumber(out, date.day, 1);
        break;
    }
}

std::string DateFormat::format(const Date& date) const {
    std::string out;
    append(date, out);
    return out;
}

std::optional<Date> DateFormat::parse(std::string_view text) const {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    size_t pos = 0;
    int parts[3];
    int digits[3];
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != separator) return std::nullopt;
            ++pos;
        }
        digits[i] = readDigits(text, pos, 4, parts[i]);
        if (digits[i] == 0) return std::nullopt;
    }
    if (pos != text.size()) return std::nullopt;

    int yearIndex = order == Order::YearMonthDay ? 0 : 2;
    int monthIndex = order == Order::DayMonthYear ? 1 : (order == Order::YearMonthDay ? 1 : 0);
    int dayIndex = order == Order::DayMonthYear ? 0 : (order == Order::YearMonthDay ? 2 : 1);
    if (digits[monthIndex] > 2 || digits[dayIndex] > 2) return std::nullopt;

    int year = parts[yearIndex];
    if (digits[yearIndex] <= 2) {
        // Two-digit year: the one in [pivot, pivot + 99] that ends in these digits.
        year = pivotYear - pivotYear % 100 + year;
        if (year < pivotYear) year += 100;
    } else if (digits[yearIndex] == 3) {
        return std::nullopt;
    }
    Date d{year, parts[monthIndex], parts[dayIndex]};
    if (d.year == 0 || !d.isValid()) return std::nullopt;
    return d;
}

int currentCenturyPivot() {
    using namespace std::chrono;
    const year_month_day today{floor<days>(system_clock::now())};
    return static_cast<int>(today.year()) - 50;
}

} // namespace dbase
