#pragma once

#include "dbase/Date.h"

#include <QString>

#include <string>
#include <string_view>

// The checks a value typed into a cell of the viewer grid passes before it is stored: the same
// rules, in the same words, as the edit window's checks of its boxes.
namespace viewing {

struct CellInput {
    bool ok = false;
    std::string value; // what to give the engine: the table's bytes, blanks around removed
    QString message;   // why it was refused (caption "Error")
};

// Checks a typed text for the field of this catalogue number. Dates are read in the given
// short date format (an empty or blank date clears the field); Cost, Value and Replacement
// Cost must be plain decimal numbers, Quantity a whole number; text must fit the table's code
// page.
CellInput CheckCellInput(int catalogueNumber, const QString& text, const dbase::DateFormat& format);

// A decimal number as the edit window accepts it: an optional sign, digits with an optional
// "." that digits must follow, an optional exponent. "." is the only decimal point; "1." and
// "" are refused, ".5", "-3" and "1E2" accepted.
bool IsDecimalNumber(std::string_view text);
// An optional sign and decimal digits, within the range of a 32-bit signed number.
bool IsWholeNumber(std::string_view text);

} // namespace viewing
