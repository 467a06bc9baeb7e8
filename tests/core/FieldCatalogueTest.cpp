#include "core/FieldCatalogue.h"

#include "dbase/Table.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(FieldCatalogue, LookupsRefuseNumbersOutsideTheCatalogue) {
    EXPECT_EQ(core::CatalogueName(1), "Item");
    EXPECT_EQ(core::CatalogueName(22), "UserDef4");
    EXPECT_THROW(core::CatalogueName(0), std::out_of_range);
    EXPECT_THROW(core::FieldWidth(23), std::out_of_range);
    EXPECT_EQ(core::PickListFile(5), "OWNER.LST");
    EXPECT_EQ(core::PickListField(5), 17);
    EXPECT_THROW(core::PickListFile(6), std::out_of_range);
}

// A new table made from the catalogue must read back with the catalogue's names, type letters
// and text widths, whatever physical widths the engine picks for numbers and dates.
TEST(FieldCatalogue, NewTableMatchesTheCatalogue) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = QFile::encodeName(dir.path() + QLatin1Char('/')).toStdString();
    dbase::Table::create(folder + "MASTER.DBF", core::InventoryColumns());

    dbase::Table table;
    table.open(folder, "MASTER", dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    ASSERT_EQ(table.fieldCount(), core::kFieldCount);
    for (int number = 1; number <= core::kFieldCount; ++number) {
        SCOPED_TRACE(std::string(core::CatalogueName(number)));
        const dbase::FieldDef& field = table.field(number - 1);
        EXPECT_EQ(field.name, core::CatalogueName(number));
        EXPECT_EQ(field.type, core::TypeLetter(number));
        switch (core::KindOfField(number)) {
        case core::FieldKind::Text:
            EXPECT_EQ(field.width, core::FieldWidth(number));
            break;
        case core::FieldKind::WholeNumber:
            EXPECT_GE(field.width, core::FieldWidth(number));
            EXPECT_EQ(field.decimals, 0);
            break;
        case core::FieldKind::Money:
            EXPECT_GE(field.width, core::FieldWidth(number));
            EXPECT_GE(field.decimals, core::FieldDecimals(number));
            break;
        case core::FieldKind::Date:
            break;
        }
    }
}

} // namespace
