#include "core/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

namespace core {

std::string FormatFixed(double number, int width, int decimals) {
    decimals = std::max(decimals, 0);
    // to_chars never looks at the C locale, which Qt sets from the environment at start-up;
    // printf would write "2,50" for a German user.
    std::string text(32, '\0');
    for (;;) {
        auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), number,
                                          std::chars_format::fixed, decimals);
        if (error == std::errc()) {
            text.resize(static_cast<size_t>(end - text.data()));
            break;
        }
        text.resize(text.size() * 2);
    }
    // A negative number that rounds to zero is written without its sign: "-0.00" would read
    // as a debt in a total.
    if (text.front() == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
        text.erase(0, 1);
    }
    return PadLeft(text, width);
}

std::string FormatThousands(double number, int width, int decimals) {
    decimals = std::max(decimals, 0);
    std::string text = FormatFixed(number, 1, decimals);
    // p counts from the right end: the decimals, the point and the three digits left of it.
    size_t p = decimals == 0 ? 3 : static_cast<size_t>(decimals) + 4;
    while (p < text.size()) {
        text.insert(text.size() - p, 1, ',');
        p += 4;
    }
    if (text.size() > 1 && text[0] == '-' && text[1] == ',') text.erase(1, 1);
    return PadLeft(text, width);
}

std::string TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string PadRight(std::string_view text, int width) {
    std::string result(text);
    if (width > 0 && result.size() < static_cast<size_t>(width)) {
        result.append(static_cast<size_t>(width) - result.size(), ' ');
    }
    return result;
}

std::string PadLeft(std::string_view text, int width) {
    if (width <= 0 || text.size() >= static_cast<size_t>(width)) return std::string(text);
    std::string result(static_cast<size_t>(width) - text.size(), ' ');
    result.append(text);
    return result;
}

std::string RepeatChar(char character, int count) {
    return std::string(static_cast<size_t>(std::max(count, 0)), character);
}

std::string UpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

} // namespace core
