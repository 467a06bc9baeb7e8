#include "core/FieldCatalogue.h"
#include "core/SortKey.h"
#include "dbase/KeyExpression.h"
#include "dbase/Table.h"

#include <gtest/gtest.h>

using core::BuildSortString;

TEST(SortKey, ExpressionFromTheFourLevels) {
    const std::pair<core::SortLevels, const char*> cases[] = {
        {{12, 10, 0, 11}, "Upper(Left(Category,20))+DTOS(PurchDate)+STR(Cost,12,2)"}, // a gap
        {{12, 0, 0, 0}, "Upper(Left(Category,20))"},                                  // the default
        {{0, 2, 0, 0}, "Upper(Left(Brand,20))"},               // no primary: Brand alone
        {{9, 13, 15, 1}, "STR(Quantity,8,0)+STR(RepCost,12,2)+DTOS(WarDate)+Upper(Left(Item,20))"},
        {{2, 2, 0, 0}, "Upper(Left(Brand,20))+Upper(Left(Brand,20))"}, // a field twice is fine
        {{0, 0, 0, 0}, ""},                                    // record order
        {{23, -1, 0, 0}, ""},                                  // out of range adds nothing
    };
    for (const auto& [levels, expected] : cases) EXPECT_EQ(BuildSortString(levels), expected);
}

TEST(SortKey, EveryLevelCompilesForAnInventoryTable) {
    std::vector<dbase::FieldDef> fields;
    for (const dbase::ColumnDef& c : core::InventoryColumns()) fields.push_back(dbase::columnFor(c));
    for (int a = 1; a <= core::kFieldCount; ++a) {
        const std::string expression = BuildSortString({a, (a % 22) + 1, 0, 0});
        const auto key = dbase::KeyExpression::compile(expression, fields);
        EXPECT_LE(key.length(), dbase::KeyExpression::kMaxKeyLength) << expression;
    }
    // Four levels of the widest pieces still fit a key: 4 x 20 characters.
    EXPECT_EQ(dbase::KeyExpression::compile(BuildSortString({1, 2, 3, 4}), fields).length(), 80);
}
