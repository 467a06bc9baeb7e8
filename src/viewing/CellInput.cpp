#include "viewing/CellInput.h"

#include "core/Cp1252.h"
#include "core/FieldCatalogue.h"
#include "core/TextFormat.h"

#include <charconv>
#include <cstdint>

namespace viewing {
namespace {

constexpr int kQuantity = 9;
constexpr int kPurchDate = 10;
constexpr int kCost = 11;
constexpr int kRepCost = 13;
constexpr int kWarDate = 15;
constexpr int kValue = 18;

CellInput refused(const char16_t* message) {
    return {.ok = false, .value = {}, .message = QString::fromUtf16(message)};
}

CellInput accepted(std::string value) {
    return {.ok = true, .value = std::move(value), .message = {}};
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// What a date box holds when nothing was typed into its mask, with any of the separators.
bool isBlankDate(std::string_view text) {
    return text.empty() || text == "/  /" || text == "-  -" || text == ".  .";
}

} // namespace

bool IsDecimalNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        size_t fraction = 0;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++fraction;
        }
        if (fraction == 0) return false; // "1."
        digits += fraction;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++exponent;
        }
        if (exponent == 0) return false;
    }
    return i == text.size();
}

bool IsWholeNumber(std::string_view text) {
    if (text.empty()) return false;
    // from_chars takes a "-" but no "+".
    const bool plus = text.front() == '+';
    const std::string_view number = plus ? text.substr(1) : text;
    if (number.empty() || (plus && number.front() == '-')) return false;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    return error == std::errc() && end == number.data() + number.size();
}

CellInput CheckCellInput(int catalogueNumber, const QString& text,
                         const dbase::DateFormat& format) {
    const std::optional<std::string> bytes = core::toTableText(text);
    if (!bytes) return refused(u"The text contains characters that cannot be stored.");
    std::string value = core::TrimBlanks(*bytes);

    switch (catalogueNumber) {
    case kPurchDate:
    case kWarDate:
        if (isBlankDate(value)) return accepted({});
        if (!format.parse(value))
            return refused(catalogueNumber == kWarDate
                               ? u"Invalid warranty date specified.  Please correct."
                               : u"Invalid purchase date specified.  Please correct.");
        return accepted(std::move(value));
    case kCost:
    case kValue:
    case kRepCost:
        if (!IsDecimalNumber(value))
            return refused(catalogueNumber == kCost ? u"Invalid cost specified.  Please correct."
                           : catalogueNumber == kValue
                               ? u"Invalid value specified.  Please correct."
                               : u"Invalid replacement cost specified.  "
                                 u"Please correct.");
        return accepted(std::move(value));
    case kQuantity:
        if (!IsWholeNumber(value)) return refused(u"Invalid quantity specified.  Please correct.");
        return accepted(std::move(value));
    default:
        return accepted(std::move(value));
    }
}

} // namespace viewing
