#include "core/DateFormats.h"

namespace core {

std::optional<dbase::DateFormat> DateFormatFor(int number) {
    if (number < 1 || number > 12) return std::nullopt;
    static constexpr char kSeparators[3] = {'/', '-', '.'};
    const int i = number - 1;
    dbase::DateFormat format;
    format.separator = kSeparators[i % 3];
    format.order = (i % 6) < 3 ? dbase::DateFormat::Order::MonthDayYear
                               : dbase::DateFormat::Order::DayMonthYear;
    format.fourDigitYear = i >= 6;
    format.pivotYear = dbase::currentCenturyPivot();
    return format;
}

} // namespace core
