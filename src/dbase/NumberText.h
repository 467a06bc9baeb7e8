#pragma once

#include <optional>
#include <string>
#include <string_view>

// Conversions between numbers and the right-aligned text of dBASE N and F fields. They run
// once per field on every pass over a table, so the common case (plain fixed-point text) is
// handled on the characters themselves, without going through a double.
namespace dbase::number_text {

// Appends the stored number in its shortest general form ("  12.5000" -> "12.5",
// "-0.00" -> "0"); a blank field appends nothing, an unreadable one appends nothing too.
void appendShortest(std::string_view stored, std::string& out);

// Appends the stored number with exactly `decimals` decimals, rounded half away from zero.
void appendFixed(std::string_view stored, int decimals, std::string& out);

// Reads a number typed or stored as text: blanks around it, an optional sign, digits with an
// optional "." and fraction, an optional exponent. Anything else gives nullopt.
std::optional<double> parse(std::string_view text);

// True when the text (blanks around it allowed) is a whole number: sign and digits only.
bool isWholeNumber(std::string_view text);

// The value right-aligned in `width` characters with `decimals` decimals; nullopt when it
// does not fit or is not finite.
std::optional<std::string> formatForField(double value, int width, int decimals);

} // namespace dbase::number_text
