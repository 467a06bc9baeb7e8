// Our engine against Free Pascal's TDbf, an independent dBASE IV implementation: each reads
// what the other wrote. tdbf_tool (tdbf_tool.pas) writes a fixed inventory table with TDbf and
// dumps any table through TDbf in the text format of "vantorel-dbf dump", so the two readers
// are compared byte for byte, and both against the values the writer was given.

#include "TdbfHarness.h"

#include "dbase/Table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using dbase::Access;
using dbase::ColumnDef;
using dbase::ColumnKind;
using dbase::Date;
using dbase::ShareMode;
using dbase::Table;
using interop::dumpOf;
using interop::kTdbfTool;
using interop::kVantorelDbf;
using interop::Output;
using interop::Row;
using interop::run;

std::string repeated(char c, size_t n) {
    return std::string(n, c);
}

// The records tdbf_tool writes, deleted record 5 left out. Its columns are laid out unlike
// ours: QUANTITY N 11.0, COST N 18.8 (TDbf's own default), REPCOST N 12.2, VALUE N 20.4.
// clang-format off
const std::vector<Row> kTdbfRecords = {
    // 1 ordinary values; REPCOST 1500 stored as "1500.00", COST 1234.5 as "1234.50000000"
    {"Television", "Brightline", "TX-100", "SN-0042", "Living room", "43 inch flat screen",
     "Corner Shop", "Scratch on the back", "1", "1996-03-07", "1234.50", "Electronics", "1500.00",
     "Yes", "1999-03-07", "Three years, parts only", "Nadia", "999.99", "u1", "", "", "u4"},
    // 2 every text as wide as its column, Windows-1252 e-acute and e-grave, a leap day,
    //   negatives, REPCOST 999999999.99 filling all 12 places of N 12.2
    {"1234567890123456789012345678901234567890", "Caf\xE9 Cr\xE8me, 20 chars",
     "ABCDEFGHIJKLMNOPQRST", "00000000000000000009", "Attic, box 3, left of the door",
     repeated('d', 100) + " 12345 end", "A shop whose name fills the whole column",
     repeated('m', 59) + "M", "-5", "2000-02-29", "-0.01", "Furniture", "999999999.99", "No", "",
     "", "  leading blanks stay", "0.00", "", "user field two", "", ""},
    // 3 only the item: every number and date is blank on disk and dumps as empty text
    {"Nothing else known", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
     "", "", "", ""},
    // 4 2^31 - 1; the first and last day a date column holds; COST stored by TDbf as
    //   "999999999.99000001" (the double nearest 999999999.99, eight decimals)
    {"Coin collection", "", "", "", "", "", "", "", "2147483647", "0001-01-01", "999999999.99",
     "", "-0.01", "Yes", "9999-12-31", "", "", "99999999999.99", "", "", "", ""},
    // 6 -2^31 fills all 11 places; a date before 1900; a tab inside a text dumps as a blank
    {"Grandfather clock", "", "", "", "", "", "", "carved initials", "-2147483648", "1899-12-31",
     "0.00", "antiques", "0.00", "", "", "", "", "-1234567.89", "", "", "", ""},
    // 7 zero quantity, cents only
    {"Zero quantity", "", "", "", "", "", "", "", "0", "2024-12-31", "0.07", "Electronics", "",
     "", "", "", "", "", "", "", "", ""},
};
// clang-format on

using TdbfInterop = interop::ScratchFolder;

TEST_F(TdbfInterop, EngineReadsTheTableTdbfWrote) {
    const std::string file = path("inventory.dbf");
    ASSERT_EQ(run(kTdbfTool, {"write", file}).status, 0);
    ASSERT_TRUE(fs::exists(path("inventory.mdx"))) << "TDbf wrote no production index";

    // TDbf reading its own table proves the tool and the expectation; our dump must then
    // agree with TDbf's to the byte.
    const std::string expected = dumpOf(kTdbfRecords);
    const Output tdbf = run(kTdbfTool, {"dump", file});
    ASSERT_EQ(tdbf.status, 0);
    EXPECT_EQ(tdbf.out, expected);
    const Output ours = run(kVantorelDbf, {"dump", file});
    EXPECT_EQ(ours.status, 0);
    EXPECT_EQ(ours.out, tdbf.out);

    // The same through the engine's own reads.
    Table table;
    table.openFile(file, ShareMode::Shared, Access::ReadOnly);
    EXPECT_EQ(table.codePage(), 1252);
    EXPECT_TRUE(table.hasProductionIndexFlag());
    EXPECT_EQ(table.recordCount(), 7u);
    const int brand = table.fieldIndex("BRAND"), quantity = table.fieldIndex("QUANTITY"),
              purchDate = table.fieldIndex("PURCHDATE"), cost = table.fieldIndex("COST"),
              warDate = table.fieldIndex("WARDATE"), value = table.fieldIndex("VALUE");

    std::vector<uint32_t> visited;
    for (table.first(); !table.eof(); table.next())
        visited.push_back(table.recno());
    EXPECT_EQ(visited, (std::vector<uint32_t>{1, 2, 3, 4, 6, 7})) << "record 5 is deleted";

    table.gotoBookmark(dbase::Bookmark{2});
    EXPECT_EQ(table.record().raw(brand), "Caf\xE9 Cr\xE8me, 20 chars");
    EXPECT_EQ(table.number(quantity), -5);
    EXPECT_DOUBLE_EQ(table.number(cost), -0.01);
    EXPECT_EQ(table.date(purchDate), (Date{2000, 2, 29}));
    EXPECT_TRUE(table.date(warDate).isEmpty());

    table.gotoBookmark(dbase::Bookmark{3});
    EXPECT_TRUE(table.record().isBlank(quantity));
    EXPECT_EQ(table.number(quantity), 0);
    EXPECT_EQ(table.date(purchDate), Date{});

    table.gotoBookmark(dbase::Bookmark{4});
    EXPECT_EQ(table.number(quantity), 2147483647);
    EXPECT_DOUBLE_EQ(table.number(cost), 999999999.99);
    EXPECT_DOUBLE_EQ(table.number(value), 99999999999.99);
    EXPECT_EQ(table.date(purchDate), (Date{1, 1, 1}));
    EXPECT_EQ(table.date(warDate), (Date{9999, 12, 31}));

    table.gotoBookmark(dbase::Bookmark{6});
    EXPECT_EQ(table.number(quantity), -2147483648.0);
    EXPECT_EQ(table.date(purchDate), (Date{1899, 12, 31}));
}

TEST_F(TdbfInterop, TdbfReadsTheTableTheEngineWrote) {
    const std::string file = path("MASTER.DBF");
    const auto C = [](const char* name, int width) {
        return ColumnDef{name, ColumnKind::Character, width};
    };
    const auto K = [](const char* name, ColumnKind kind) { return ColumnDef{name, kind, 0}; };
    // clang-format off
    Table::create(file, {C("Item", 40),       C("Brand", 20),
                         C("Model", 20),      C("Serial", 20),
                         C("Location", 30),   C("Descriptio", 110),
                         C("BoughtFrom", 40), C("IDMarks", 60),
                         K("Quantity", ColumnKind::Integer), K("PurchDate", ColumnKind::Date),
                         K("Cost", ColumnKind::Float),      C("Category", 20),
                         K("RepCost", ColumnKind::Float),   C("Warranty", 3),
                         K("WarDate", ColumnKind::Date),    C("WarNotes", 30),
                         C("Owner", 30),      K("Value", ColumnKind::Float),
                         C("UserDef1", 40),   C("UserDef2", 40),
                         C("UserDef3", 40),   C("UserDef4", 40)});
    // clang-format on
    {
        Table table;
        table.openFile(file, ShareMode::Exclusive, Access::ReadWrite);
        const auto f = [&table](const char* name) { return table.fieldIndex(name); };

        table.insert();
        table.setText(f("Item"), "Television");
        table.setText(f("Brand"), "Brightline");
        table.setText(f("Descriptio"), "43 inch flat screen");
        table.setInteger(f("Quantity"), 3);
        table.setDate(f("PurchDate"), Date{1996, 3, 7});
        table.setNumber(f("Cost"), 1234.5);
        table.setText(f("Category"), "Electronics");
        table.setText(f("Warranty"), "Yes");
        table.setDate(f("WarDate"), Date{1999, 3, 7});
        table.setNumber(f("Value"), 999.99);
        table.setText(f("UserDef4"), "u4");
        table.post();

        table.insert();
        table.setText(f("Item"), "1234567890123456789012345678901234567890");
        table.setText(f("Brand"), "Caf\xE9 Cr\xE8me, 20 chars");
        table.setText(f("Descriptio"), repeated('d', 100) + " 12345 end");
        table.setText(f("Owner"), "  leading blanks stay");
        table.setInteger(f("Quantity"), 2147483647);
        table.setDate(f("PurchDate"), Date{2000, 2, 29});
        table.setNumber(f("Cost"), 999999999999.99);
        table.setNumber(f("RepCost"), -0.01);
        table.setNumber(f("Value"), 0);
        table.post();

        table.insert();
        table.setText(f("Item"), "Nothing else known");
        table.post();

        table.insert();
        table.setText(f("Item"), "Deleted record");
        table.setInteger(f("Quantity"), 7);
        table.post();
        table.remove();

        table.insert();
        table.setText(f("Item"), "Coin collection");
        table.setInteger(f("Quantity"), -2147483648LL);
        table.setDate(f("PurchDate"), Date{1, 1, 1});
        table.setDate(f("WarDate"), Date{9999, 12, 31});
        table.setNumber(f("Cost"), -999999999999.99);
        table.setNumber(f("RepCost"), 0.07);
        table.setNumber(f("Value"), -1234567.89);
        table.post();

        table.insert();
        table.setText(f("Item"), "Zero quantity");
        table.setInteger(f("Quantity"), 0);
        table.setDate(f("PurchDate"), Date{1899, 12, 31});
        table.setNumber(f("RepCost"), 2.675);
        table.post();
        table.close();
    }

    // TDbf quietly takes the record count from the file size when the header disagrees, so
    // check that ours is right first: a 737-byte header (32 + 22 * 32 + 1), 6 records of 671
    // bytes (the deletion mark + 583 of text + N 11 + 3 * N 20 + 2 * D 8), then the end-of-file
    // byte.
    {
        std::ifstream in(file, std::ios::binary);
        unsigned char header[8] = {};
        in.read(reinterpret_cast<char*>(header), sizeof header);
        uint32_t count = 0;
        for (int i = 7; i >= 4; --i)
            count = count << 8 | header[i];
        EXPECT_EQ(count, 6u);
        EXPECT_EQ(fs::file_size(file), 737u + 6u * 671u + 1u);
    }

    // TDbf looks for the production index under a lower-case extension; give it one if our
    // engine wrote an index.
    for (const auto& entry : fs::directory_iterator(dir_))
        if (entry.path().extension() == ".MDX" && !fs::exists(path("MASTER.mdx")))
            fs::create_symlink(entry.path().filename(), path("MASTER.mdx"));

    // clang-format off
    const std::string expected = dumpOf({
        {"Television", "Brightline", "", "", "", "43 inch flat screen", "", "", "3", "1996-03-07",
         "1234.50", "Electronics", "", "Yes", "1999-03-07", "", "", "999.99", "", "", "", "u4"},
        // 2^31 - 1; 12 digits before the point, the most a Float column promises
        {"1234567890123456789012345678901234567890", "Caf\xE9 Cr\xE8me, 20 chars", "", "", "",
         repeated('d', 100) + " 12345 end", "", "", "2147483647", "2000-02-29",
         "999999999999.99", "", "-0.01", "", "", "", "  leading blanks stay", "0.00", "", "", "",
         ""},
        {"Nothing else known", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
         "", "", "", ""},
        // -2^31 fills all 11 places of an Integer column
        {"Coin collection", "", "", "", "", "", "", "", "-2147483648", "0001-01-01",
         "-999999999999.99", "", "0.07", "", "9999-12-31", "", "", "-1234567.89", "", "", "",
         ""},
        // REPCOST stored as "2.6750" dumps as 2.68: the stored text is rounded, not the double
        // nearest 2.675 (which lies below it)
        {"Zero quantity", "", "", "", "", "", "", "", "0", "1899-12-31", "", "", "2.68", "", "",
         "", "", "", "", "", "", ""},
    });
    // clang-format on
    const Output tdbf = run(kTdbfTool, {"dump", file});
    ASSERT_EQ(tdbf.status, 0);
    EXPECT_EQ(tdbf.out, expected);
    const Output ours = run(kVantorelDbf, {"dump", file});
    EXPECT_EQ(ours.status, 0);
    EXPECT_EQ(ours.out, expected);
}

} // namespace
