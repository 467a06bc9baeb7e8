#pragma once

#include "Date.h"

#include <string>
#include <string_view>

// The bytes of index keys as the production index stores them, and their order.
namespace dbase::index_key {

// A numeric key (12-byte BCD) from the text of a number ("  -1234.5600"); blank text is 0.
// The digits are taken from the text itself, so a stored 19.99 gives exactly 1999.
std::string numericFromText(std::string_view text);
// A numeric key from a computed value (16 significant digits).
std::string numericFromValue(double value);
// A date key: the Julian day number as a little-endian double; 0 for the empty date.
std::string dateKey(const Date& date);

// The value a numeric key stands for.
double numericValue(std::string_view key);

// Orders two keys of a tag: character keys byte by byte (unsigned), numeric keys and date keys
// by value. Negative when a sorts first.
int compare(char keyType, std::string_view a, std::string_view b);

} // namespace dbase::index_key
