#pragma once

#include "dbase/Table.h"

#include <string_view>
#include <vector>

// The fixed description of the 22 columns of an inventory table. Every per-field array of the
// program is indexed by the catalogue number 1..22 used here.
namespace core {

constexpr int kFieldCount = 22;
constexpr int kPickListCount = 5;

enum class FieldKind { Text = 1, WholeNumber = 2, Money = 3, Date = 4 };

struct CatalogueField {
    std::string_view name;    // the column name, at most 10 characters
    std::string_view caption; // the default display name, at most 20 characters
    char type;                // dBASE type letter: 'C', 'N' or 'D'
    int width;                // display and export width; for text also the input limit
    int decimals;             // 2 for money, 0 otherwise
    FieldKind kind;
    int pickList; // position 1..5 of the field's pick list, 0 when it has none
};

// All lookups take a catalogue number 1..22 (or a list position 1..5) and throw
// std::out_of_range for any other value.
const CatalogueField& catalogueField(int number);
std::string_view CatalogueName(int number);
std::string_view DefaultCaption(int number);
char TypeLetter(int number);
int FieldWidth(int number);
int FieldDecimals(int number);
FieldKind KindOfField(int number);
bool HasPickList(int number);

// The pick-list file of list position 1..5 (BRAND.LST ... OWNER.LST) and the catalogue number
// of the field it belongs to.
std::string_view PickListFile(int position);
int PickListField(int position);

// The columns of a new inventory table, in catalogue order.
std::vector<dbase::ColumnDef> InventoryColumns();

} // namespace core
