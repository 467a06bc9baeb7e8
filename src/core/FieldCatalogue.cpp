#include "core/FieldCatalogue.h"

#include <array>
#include <stdexcept>
#include <string>
#include <utility>

namespace core {
namespace {

using enum FieldKind;

constexpr std::array<CatalogueField, kFieldCount> kCatalogue{{
    {"Item", "Item", 'C', 40, 0, Text, 0},
    {"Brand", "Brand", 'C', 20, 0, Text, 1},
    {"Model", "Model", 'C', 20, 0, Text, 0},
    {"Serial", "Serial Number", 'C', 20, 0, Text, 0},
    {"Location", "Location", 'C', 30, 0, Text, 2},
    {"Descriptio", "Description", 'C', 110, 0, Text, 0},
    {"BoughtFrom", "Purchased From", 'C', 40, 0, Text, 3},
    {"IDMarks", "ID Marks", 'C', 60, 0, Text, 0},
    {"Quantity", "Quantity", 'N', 4, 0, WholeNumber, 0},
    {"PurchDate", "Purchase Date", 'D', 8, 0, Date, 0},
    {"Cost", "Cost", 'N', 12, 2, Money, 0},
    {"Category", "Category", 'C', 20, 0, Text, 4},
    {"RepCost", "Replacement Cost", 'N', 12, 2, Money, 0},
    {"Warranty", "Warranty", 'C', 3, 0, Text, 0},
    {"WarDate", "Warranty Date", 'D', 8, 0, Date, 0},
    {"WarNotes", "Warranty Notes", 'C', 30, 0, Text, 0},
    {"Owner", "Owner", 'C', 30, 0, Text, 5},
    {"Value", "Value", 'N', 12, 2, Money, 0},
    {"UserDef1", "User Defined 1", 'C', 40, 0, Text, 0},
    {"UserDef2", "User Defined 2", 'C', 40, 0, Text, 0},
    {"UserDef3", "User Defined 3", 'C', 40, 0, Text, 0},
    {"UserDef4", "User Defined 4", 'C', 40, 0, Text, 0},
}};

struct PickList {
    std::string_view file;
    int field;
};

constexpr std::array<PickList, kPickListCount> kPickLists{{
    {"BRAND.LST", 2},
    {"LOCATION.LST", 5},
    {"BOUGHT.LST", 7},
    {"CATEGORY.LST", 12},
    {"OWNER.LST", 17},
}};

// The two tables must agree with each other and with the limits of a dBASE header.
constexpr bool catalogueIsConsistent() {
    for (const CatalogueField& field : kCatalogue) {
        if (field.name.size() > 10 || field.caption.size() > 20) return false;
        if ((field.kind == Money) != (field.decimals == 2)) return false;
    }
    for (int position = 1; position <= kPickListCount; ++position) {
        const PickList& list = kPickLists[static_cast<size_t>(position - 1)];
        if (kCatalogue[static_cast<size_t>(list.field - 1)].pickList != position) return false;
    }
    int withList = 0;
    for (const CatalogueField& field : kCatalogue)
        withList += field.pickList != 0 ? 1 : 0;
    return withList == kPickListCount;
}
static_assert(catalogueIsConsistent());

size_t checkedIndex(int value, int count, const char* what) {
    if (value < 1 || value > count) {
        throw std::out_of_range(std::string(what) + ' ' + std::to_string(value) +
                                " is outside 1.." + std::to_string(count));
    }
    return static_cast<size_t>(value - 1);
}

} // namespace

const CatalogueField& catalogueField(int number) {
    return kCatalogue[checkedIndex(number, kFieldCount, "catalogue number")];
}

std::string_view CatalogueName(int number) {
    return catalogueField(number).name;
}
std::string_view DefaultCaption(int number) {
    return catalogueField(number).caption;
}
char TypeLetter(int number) {
    return catalogueField(number).type;
}
int FieldWidth(int number) {
    return catalogueField(number).width;
}
int FieldDecimals(int number) {
    return catalogueField(number).decimals;
}
FieldKind KindOfField(int number) {
    return catalogueField(number).kind;
}
bool HasPickList(int number) {
    return catalogueField(number).pickList != 0;
}

std::string_view PickListFile(int position) {
    return kPickLists[checkedIndex(position, kPickListCount, "pick list position")].file;
}

int PickListField(int position) {
    return kPickLists[checkedIndex(position, kPickListCount, "pick list position")].field;
}

std::vector<dbase::ColumnDef> InventoryColumns() {
    std::vector<dbase::ColumnDef> columns;
    columns.reserve(kCatalogue.size());
    for (const CatalogueField& field : kCatalogue) {
        dbase::ColumnDef column;
        column.name = std::string(field.name);
        switch (field.kind) {
        case Text:
            column.kind = dbase::ColumnKind::Character;
            column.width = field.width;
            break;
        case WholeNumber:
            column.kind = dbase::ColumnKind::Integer;
            break;
        case Money:
            column.kind = dbase::ColumnKind::Float;
            break;
        case Date:
            column.kind = dbase::ColumnKind::Date;
            break;
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

} // namespace core
