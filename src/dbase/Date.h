#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dbase {

// A calendar date as a dBASE date column holds it. The default-constructed date is the
// empty date (a column of blanks); "as a date, empty gives 0" means exactly this value.
struct Date {
    int year = 0; // 1..9999, 0 for the empty date
    int month = 0;
    int day = 0;

    bool isEmpty() const { return year == 0; }
    bool isValid() const; // a real calendar day, or the empty date
    friend bool operator==(const Date&, const Date&) = default;

    // The eight characters stored on disk: YYYYMMDD, or eight blanks for the empty date.
    std::string toStorage() const;
    // Reads YYYYMMDD; blanks give the empty date; anything else nullopt.
    static std::optional<Date> fromStorage(std::string_view eightChars);
};

// How dates are shown and read as text: the program-wide separator and short date pattern
// ("m/d/y", "d/m/yyyy", ...). Month and day are written without a leading zero.
struct DateFormat {
    enum class Order { MonthDayYear, DayMonthYear, YearMonthDay };
    char separator = '/';
    Order order = Order::MonthDayYear;
    bool fourDigitYear = true;
    // A two-digit year yy is read as the year in [pivotYear, pivotYear + 99] that ends in yy.
    int pivotYear = 1950;

    // Appends the date in this format to out; the empty date appends nothing.
    void append(const Date& date, std::string& out) const;
    std::string format(const Date& date) const;
    // Parses a date typed in this format (blanks around the text are allowed). Returns nullopt
    // for text that is not a real calendar date in this format.
    std::optional<Date> parse(std::string_view text) const;
};

// The pivot that keeps two-digit years within fifty years of the current year.
int currentCenturyPivot();

} // namespace dbase
