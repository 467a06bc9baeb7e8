#pragma once

#include <string>
#include <string_view>

// The program's own text and number routines. They work on the 8-bit text of the data model and
// never follow the user's regional settings: the decimal point is always "." and the thousands
// separator always ",". Use them instead of QString::trimmed(), toUpper() or a locale.
namespace core {

// The number with exactly `decimals` digits after "." (no point for 0), rounded, with a leading
// "-" when negative, padded with leading blanks to `width` characters and never cut.
std::string FormatFixed(double number, int width, int decimals);

// As FormatFixed, with "," between each group of three digits left of the point.
std::string FormatThousands(double number, int width, int decimals);

// The text without leading and trailing blanks; only the character 32 counts as a blank.
std::string TrimBlanks(std::string_view text);

// The text filled with blanks on the right (PadRight) or left (PadLeft) up to `width`
// characters; a longer text is returned unchanged.
std::string PadRight(std::string_view text, int width);
std::string PadLeft(std::string_view text, int width);

// `count` copies of the character; empty for 0 or less.
std::string RepeatChar(char character, int count);

// The text with the letters a to z upper-cased and every other byte left as it is.
std::string UpperAscii(std::string_view text);

} // namespace core
