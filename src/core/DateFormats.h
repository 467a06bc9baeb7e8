#pragma once

#include "dbase/Date.h"

#include <optional>

namespace core {

// The engine's short date format for the date format setting 1..12: mm/dd/yy, mm-dd-yy,
// mm.dd.yy, dd/mm/yy, dd-mm-yy, dd.mm.yy, then the same six with four-digit years. Two-digit
// years are read within fifty years of today. Any other number gives nullopt: the format in
// force stays.
std::optional<dbase::DateFormat> DateFormatFor(int number);

} // namespace core
