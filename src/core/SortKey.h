#pragma once

#include <array>
#include <string>

namespace core {

// The sort levels: up to four catalogue numbers, 0 for none.
using SortLevels = std::array<int, 4>;

// The key expression of the sort index from the four levels: per level, by the field's kind,
// Upper(Left(name,20)) for text, STR(name,8,0) for whole numbers, STR(name,12,2) for money and
// DTOS(name) for dates, joined with "+". Levels of 0 (or outside 1..22) add nothing, so levels
// may have gaps; all of them none gives the empty expression (record order).
std::string BuildSortString(const SortLevels& levels);

} // namespace core
