#include "viewing/ViewerSettings.h"

#include "core/TextFormat.h"

#include <algorithm>
#include <numeric>
#include <string>

namespace viewing {

std::vector<int> FieldsInOrder(const core::Settings& settings) {
    std::vector<int> numbers(core::kFieldCount);
    std::iota(numbers.begin(), numbers.end(), 1);
    std::stable_sort(numbers.begin(), numbers.end(),
                     [&](int a, int b) { return settings.FieldOrder[a] < settings.FieldOrder[b]; });
    return numbers;
}

std::vector<int> ShownColumns(const core::Settings& settings) {
    std::vector<int> shown;
    for (const int number : FieldsInOrder(settings))
        if (settings.DisplayFields[number]) shown.push_back(number);
    return shown;
}

std::optional<int> WidthFromText(std::string_view text) {
    const std::string trimmed = core::TrimBlanks(text);
    int width = 0;
    for (const char c : trimmed) {
        if (c < '0' || c > '9') break;
        width = width * 10 + (c - '0');
        // Past the limit already: more digits cannot bring it back.
        if (width > kLongestWidth) return std::nullopt;
    }
    if (width < 1) return std::nullopt;
    return width;
}

std::optional<QString> FirstDuplicateName(const std::array<QString, core::kFieldCount>& names) {
    const auto stored = [&](size_t i) {
        return names[i].left(static_cast<qsizetype>(core::kDisplayNameLength));
    };
    for (size_t i = 0; i < names.size(); ++i)
        for (size_t j = i + 1; j < names.size(); ++j)
            if (stored(i) == stored(j)) return stored(i);
    return std::nullopt;
}

} // namespace viewing
