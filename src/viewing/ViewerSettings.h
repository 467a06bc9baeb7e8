#pragma once

#include "core/Settings.h"

#include <QString>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

// The viewer configuration as the grid and its configuration window read it from the settings:
// which fields are shown and in which order, and the rules for typed widths and names.
namespace viewing {

// Width given to a column whose typed width is not a number from 1 to 255.
inline constexpr int kFallbackWidth = 10;
inline constexpr int kLongestWidth = 255;

// All 22 catalogue numbers by display position. Positions are meant to be 1..22, each held by
// one field; a settings file edited by hand may break that, so ties are settled by catalogue
// order and every field still appears exactly once.
std::vector<int> FieldsInOrder(const core::Settings& settings);

// The fields the grid shows, left to right: FieldsInOrder without those not displayed.
std::vector<int> ShownColumns(const core::Settings& settings);

// A typed width: blanks around it removed, read from its leading digits. Anything below 1 or
// above 255 (text without leading digits reads as 0) gives nullopt; the caller uses
// kFallbackWidth.
std::optional<int> WidthFromText(std::string_view text);

// The first name, in field order, that a later field also uses once both are cut to the 20
// characters a display name can hold. Names that differ only in letter case are different.
std::optional<QString> FirstDuplicateName(const std::array<QString, core::kFieldCount>& names);

} // namespace viewing
