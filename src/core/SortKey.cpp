#include "core/SortKey.h"

#include "core/FieldCatalogue.h"

namespace core {

std::string BuildSortString(const SortLevels& levels) {
    std::string expression;
    for (int level : levels) {
        if (level < 1 || level > kFieldCount) continue;
        const std::string name(CatalogueName(level));
        switch (KindOfField(level)) {
        case FieldKind::Text: expression += "Upper(Left(" + name + ",20))+"; break;
        case FieldKind::WholeNumber: expression += "STR(" + name + ",8,0)+"; break;
        case FieldKind::Money: expression += "STR(" + name + ",12,2)+"; break;
        case FieldKind::Date: expression += "DTOS(" + name + ")+"; break;
        }
    }
    if (!expression.empty()) expression.pop_back(); // the last "+"
    return expression;
}

} // namespace core
