// The production index (.MDX) against Free Pascal's TDbf: TDbf finds and walks the tags our
// engine writes, we walk the tags TDbf writes, and our tags stay sound when TDbf adds records
// to them. Both sides print a tag's records in the dump format, and the dumps are compared byte
// for byte; where both read the same tree, an order of TDbf's own making, or our check, is the
// independent judge of whether the order is right.
//
// The tables hold 1,000 varied inventory records: letter case mixed, empty texts, numbers and
// dates, many equal keys, negative numbers. Every table declares language driver 0x57 (text in
// byte order) unless a test says otherwise; tdbf_tool hands TDbf the text as raw bytes.

#include "TdbfHarness.h"

#include "core/FieldCatalogue.h"
#include "dbase/Table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using dbase::Access;
using dbase::Date;
using dbase::ShareMode;
using dbase::Table;
using interop::dumpOf;
using interop::kTdbfTool;
using interop::kVantorelDbf;
using interop::Output;
using interop::Row;
using interop::run;

// Positions in a row (the column order of the inventory table and of the dump).
enum Column {
    kItem = 0,
    kBrand = 1,
    kModel = 2,
    kQuantity = 8,
    kPurchDate = 9,
    kCost = 10,
    kCategory = 11,
    kRepCost = 12,
    kWarranty = 13,
    kOwner = 16,
    kValue = 17,
};

// std::mt19937's sequence is fixed by the standard, its distributions are not: plain modulo
// keeps the records the same on every machine.
class Dice {
public:
    explicit Dice(uint32_t seed) : engine_(seed) {}
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(engine_() % n); }
    bool percent(uint32_t p) { return below(100) < p; }
    long long between(long long low, long long high) {
        return low + static_cast<long long>(engine_() % static_cast<uint64_t>(high - low + 1));
    }
    const char* pick(const std::vector<const char*>& choices) {
        return choices[below(static_cast<uint32_t>(choices.size()))];
    }

private:
    std::mt19937 engine_;
};

// Cents as the dump shows money: two decimals, a sign only below zero.
std::string money(long long cents) {
    const long long whole = (cents < 0 ? -cents : cents) / 100,
                    rest = (cents < 0 ? -cents : cents) % 100;
    return (cents < 0 ? "-" : "") + std::to_string(whole) + (rest < 10 ? ".0" : ".") +
           std::to_string(rest);
}

std::string isoDate(long long year, long long month, long long day) {
    char text[11];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", year, month, day);
    return text;
}

// Inventory records in the dump's own form (whole numbers plain, money with two decimals,
// dates YYYY-MM-DD, an empty field empty), so that the dump of a table holding them is
// dumpOf(records).
//
// Kept out on purpose, where TDbf computes a key unlike dBASE (each is pinned by
// CheckFindsTheKeysTdbfComputesOtherwise below): letters whose case TDbf does not change in
// Windows-1252 (0x9A, 0x9C, 0x9E, 0xFF), money with a third decimal, numbers too wide for
// STR(). Dates start at 1900, so that TDbf's "18991230" for an empty date in DTOS() sorts where
// our eight blanks do, before every real date.
std::vector<Row> inventoryRecords(size_t count, uint32_t seed, bool emptyDates = true) {
    Dice dice(seed);
    // Letter-case variants of one word give equal keys under UPPER; 20 bytes fill LEFT(x,20).
    // clang-format off
    const std::vector<const char*> categories = {
        "Electronics", "electronics", "ELECTRONICS", "Furniture", "Kitchen", "kitchen",
        "Tools & Garden", "antiques", "Antiques", "Books", "", "Caf\xE9 & Bar", "CAF\xC9 & BAR",
        "Cafe", "Twenty characters!!!", "zz last", "0 first", "  Indented", "Art"};
    const std::vector<const char*> brands = {
        "Brightline", "brightline", "BRIGHTLINE", "Acme", "acme", "ACME Tools", "Zeta", "zeta", "",
        "Caf\xE9 Cr\xE8me", "CAF\xC9 CR\xC8ME", "Cafeteria", "12 Volt", "_under",
        "Brand name twenty ch", "  spaced"};
    const std::vector<const char*> adjectives = {"", "old ", "Old ", "OLD ", "new ", "Red ", "red "};
    const std::vector<const char*> nouns = {"Lamp", "lamp", "Chair", "Table", "Television",
                                            "television", "Drill", "Clock", "\xC9tag\xE8re"};
    // Equal in their first 20 bytes, so that only record order tells them apart in LEFT(x,20).
    const std::vector<const char*> longItems = {"Collection of stamps, album one",
                                                "Collection of stamps, album two",
                                                "Collection of stamps"};
    const std::vector<long long> quantities = {0, 1, 1, 2, 3, 10, -1, -5, 100, 99999999, -9999999};
    const std::vector<long long> cents = {0, 1, -1, 999, 1999, 123456, -250, 9999999999LL,
                                          -999999999};
    const std::vector<std::string> commonDates = {"2001-01-01", "1999-12-31", "2000-02-29",
                                                  "1900-01-01", "2024-06-30"};
    // clang-format on

    std::vector<Row> records;
    for (size_t n = 0; n < count; ++n) {
        Row r(interop::kHeader.size());
        if (dice.percent(8))
            r[kItem] = dice.pick(longItems);
        else if (!dice.percent(3))
            r[kItem] = std::string(dice.pick(adjectives)) + dice.pick(nouns) +
                       (dice.percent(50) ? " " + std::to_string(dice.below(40)) : "");
        r[kBrand] = dice.pick(brands);
        r[kCategory] = dice.pick(categories);
        if (dice.percent(30)) r[kModel] = "M-" + std::to_string(dice.below(1000));
        if (!dice.percent(15))
            r[kQuantity] = std::to_string(dice.percent(50)
                                              ? quantities[dice.below(uint32_t(quantities.size()))]
                                              : dice.between(-50, 5000));
        if (!emptyDates || !dice.percent(12))
            r[kPurchDate] = dice.percent(30) ? commonDates[dice.below(uint32_t(commonDates.size()))]
                                             : isoDate(dice.between(1900, 2030),
                                                       dice.between(1, 12), dice.between(1, 28));
        if (!dice.percent(10))
            r[kCost] = money(dice.percent(40) ? cents[dice.below(uint32_t(cents.size()))]
                                              : dice.between(-100000, 10000000));
        if (dice.percent(20)) r[kRepCost] = money(dice.between(0, 500000));
        if (dice.percent(20)) r[kWarranty] = dice.percent(50) ? "Yes" : "No";
        if (dice.percent(25)) r[kOwner] = dice.percent(50) ? "Nadia" : "Tomas";
        if (dice.percent(10)) r[kValue] = money(dice.between(-1000, 100000000));
        records.push_back(std::move(r));
    }
    return records;
}

Date parseIsoDate(const std::string& text) {
    return Date{std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)),
                std::stoi(text.substr(8, 2))};
}

// Adds the records through the engine, each field by its type; empty fields stay blank.
void appendThroughEngine(Table& table, const std::vector<Row>& records) {
    std::vector<int> fields;
    for (const std::string& name : interop::kHeader)
        fields.push_back(table.fieldIndex(name));
    for (const Row& r : records) {
        table.insert();
        for (size_t c = 0; c < r.size(); ++c) {
            if (r[c].empty()) continue;
            const int f = fields[c];
            const dbase::FieldDef& def = table.field(f);
            if (def.type == 'D')
                table.setDate(f, parseIsoDate(r[c]));
            else if (def.type == 'N' && def.decimals == 0)
                table.setInteger(f, std::stoll(r[c]));
            else if (def.type == 'N')
                table.setNumber(f, std::stod(r[c]));
            else
                table.setText(f, r[c]);
        }
        table.post();
    }
}

struct TagCase {
    const char* name;       // the test's name for the case
    const char* tag;        // the tag's name in the index
    const char* expression; // the key expression, as our engine stores it
};

// The sort keys the program builds, and each key part alone.
const TagCase kTagCases[] = {
    {"CategoryDateCost", "CATDATE", "Upper(Left(Category,20))+DTOS(PurchDate)+STR(Cost,12,2)"},
    {"Brand", "BRAND", "Upper(Left(Brand,20))"},
    {"Quantity", "QUANTITY", "STR(Quantity,8,0)"},
    {"PurchaseDate", "PURCHDATE", "DTOS(PurchDate)"},
    {"CategoryItem", "CATITEM", "Upper(Left(Category,20))+Upper(Left(Item,20))"},
};

// GoogleTest names a failing case by this, not by the struct's bytes.
void PrintTo(const TagCase& c, std::ostream* os) {
    *os << c.expression;
}

std::string tagArgument(const char* tag, const char* expression) {
    return std::string(tag) + "=" + expression;
}

class TdbfIndex : public interop::ScratchFolder {
protected:
    // Our engine's inventory table of these records, with these tags, and the lower-case name
    // TDbf looks for its index under.
    void writeOurTable(const std::string& name, const std::vector<Row>& records,
                       const std::vector<std::pair<std::string, std::string>>& tags) {
        const std::string file = path(name + ".dbf");
        Table::create(file, core::InventoryColumns());
        Table table;
        table.openFile(file, ShareMode::Exclusive, Access::ReadWrite);
        appendThroughEngine(table, records);
        for (const auto& [tag, expression] : tags)
            table.addIndex(tag, expression);
        table.close();
        ASSERT_TRUE(fs::exists(path(name + ".MDX"))) << "the engine wrote no production index";
        fs::create_symlink(name + ".MDX", path(name + ".mdx"));
    }

    // TDbf's table of these records, written with driver `driver`, its tags kept by TDbf record
    // by record.
    void writeTdbfTable(const std::string& name, int driver, const std::vector<Row>& records,
                        const std::vector<std::string>& tagArguments) {
        writeFile(name + ".txt", dumpOf(records));
        std::vector<std::string> args = {"load", path(name + ".dbf"), std::to_string(driver),
                                         path(name + ".txt")};
        args.insert(args.end(), tagArguments.begin(), tagArguments.end());
        ASSERT_EQ(run(kTdbfTool, args).status, 0);
    }

    // Both dumps of a tag, which must succeed; the caller compares them.
    std::pair<std::string, std::string> dumpsOfTag(const std::string& name,
                                                   const std::string& tag) {
        const Output tdbf = run(kTdbfTool, {"dump", path(name + ".dbf"), tag});
        const Output ours = run(kVantorelDbf, {"dump", path(name + ".dbf"), "--tag", tag});
        EXPECT_EQ(tdbf.status, 0) << "TDbf cannot read tag " << tag;
        EXPECT_EQ(ours.status, 0) << "the engine cannot read tag " << tag;
        return {tdbf.out, ours.out};
    }

    static const std::vector<Row>& records() {
        static const std::vector<Row> rows = inventoryRecords(1000, 20240611);
        return rows;
    }
};

// Before any order is compared: both readers see the generated records, as generated, in a
// table of either writer. Otherwise a dump mismatch below could be about values, not order.
TEST_F(TdbfIndex, BothWritersStoreTheRecordsAsGenerated) {
    const std::string expected = dumpOf(records());
    writeOurTable("ours", records(), {{"BRAND", "Upper(Left(Brand,20))"}});
    writeTdbfTable("theirs", 0x57, records(), {"BRAND=Upper(Left(Brand,20))"});
    for (const char* name : {"ours", "theirs"}) {
        SCOPED_TRACE(name);
        const Output tdbf = run(kTdbfTool, {"dump", path(std::string(name) + ".dbf")});
        const Output engine = run(kVantorelDbf, {"dump", path(std::string(name) + ".dbf")});
        ASSERT_EQ(tdbf.status, 0);
        ASSERT_EQ(engine.status, 0);
        EXPECT_EQ(tdbf.out, expected);
        EXPECT_EQ(engine.out, expected);
    }
}

class TdbfReadsOurTag : public TdbfIndex, public ::testing::WithParamInterface<TagCase> {};

// TDbf opens the index our engine wrote, finds tag NEWINDEX, and walks it in our order. That
// order is also TDbf's own: a table TDbf builds from the same records with the same tag reads
// alike, so a wrong key or a wrong comparison on our side shows even though both readers walk
// one tree.
TEST_P(TdbfReadsOurTag, InTheOrderTdbfItselfWouldGive) {
    const TagCase& c = GetParam();
    writeOurTable("ours", records(), {{"NEWINDEX", c.expression}});

    // TDbf lists the tag; letter case in a name or an expression means nothing to dBASE.
    const Output tags = run(kTdbfTool, {"tags", path("ours.dbf")});
    ASSERT_EQ(tags.status, 0);
    const auto upper = [](std::string s) {
        for (char& ch : s)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        return s;
    };
    EXPECT_EQ(upper(tags.out), "NEWINDEX\t" + upper(c.expression) + "\n");

    const auto [tdbf, ours] = dumpsOfTag("ours", "NEWINDEX");
    EXPECT_EQ(tdbf, ours);
    EXPECT_NE(ours, dumpOf(records())) << "the tag's order should not be record order";
    const Output check = run(kVantorelDbf, {"check", path("ours.dbf")}, true);
    EXPECT_EQ(check.out, "ok\n");

    writeTdbfTable("theirs", 0x57, records(), {tagArgument("NEWINDEX", c.expression)});
    const Output own = run(kTdbfTool, {"dump", path("theirs.dbf"), "NEWINDEX"});
    ASSERT_EQ(own.status, 0);
    EXPECT_EQ(ours, own.out) << "TDbf orders the same records differently";
}

INSTANTIATE_TEST_SUITE_P(Expressions, TdbfReadsOurTag, ::testing::ValuesIn(kTagCases),
                         [](const ::testing::TestParamInfo<TagCase>& info) {
                             return info.param.name;
                         });

// We walk the tags TDbf wrote, built by TDbf one record at a time (its own splits, its stale
// keys in the last entry of inner nodes), in the order TDbf walks them. With driver 0x58, TDbf's
// default, TDbf sorts by its own collation (lower case before upper case); we read that order as
// stored, though we would not keep such an index up to date.
TEST_F(TdbfIndex, EngineReadsTdbfTagsInTdbfOrder) {
    // TDbf's STR(n,8,0) on a whole-number column makes 9-byte keys ("       5.", see below);
    // STR(n,8) is the same key as ours.
    const std::vector<std::pair<std::string, std::string>> tags = {
        {"CATDATE", kTagCases[0].expression}, {"BRAND", kTagCases[1].expression},
        {"QUANTITY", "STR(Quantity,8)"},      {"PURCHDATE", kTagCases[3].expression},
        {"CATITEM", kTagCases[4].expression}, {"ITEM", "Left(Item,20)"}};
    std::vector<std::string> arguments;
    for (const auto& [tag, expression] : tags)
        arguments.push_back(tagArgument(tag.c_str(), expression.c_str()));

    std::string itemOrder[2];
    const int drivers[] = {0x57, 0x58};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE("language driver " + std::to_string(drivers[i]));
        const std::string name = "tdbf" + std::to_string(drivers[i]);
        writeTdbfTable(name, drivers[i], records(), arguments);
        for (const auto& [tag, expression] : tags) {
            SCOPED_TRACE(tag);
            const auto [tdbf, ours] = dumpsOfTag(name, tag);
            EXPECT_EQ(ours, tdbf);
            EXPECT_NE(ours, dumpOf(records())) << "the tag's order should not be record order";
            if (tag == "ITEM") itemOrder[i] = ours;
        }
    }
    EXPECT_NE(itemOrder[0], itemOrder[1]) << "driver 0x58 should order mixed-case items otherwise";

    // TDbf's STR() of a whole-number column with a third argument appends a point: its key
    // for STR(Quantity,8,0) is 9 bytes, "       5.". We refuse such a tag by name rather than
    // read keys that our expression does not give.
    writeTdbfTable("point", 0x57, records(), {"QUANTITY=STR(Quantity,8,0)"});
    const Output refused =
        run(kVantorelDbf, {"dump", path("point.dbf"), "--tag", "QUANTITY"}, true);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("Tag QUANTITY of "), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("does not match its expression"), std::string::npos) << refused.out;
}

// TDbf adds records to a table and index we wrote: it inserts into every tag of our trees,
// splitting our nodes. Afterwards our engine walks every tag as TDbf does, our check finds every
// key where it belongs and equal to the key the record gives, and our engine can go on adding
// to the trees TDbf changed.
TEST_F(TdbfIndex, OurIndexStaysSoundAfterTdbfAppends) {
    std::vector<std::pair<std::string, std::string>> tags;
    for (const TagCase& c : kTagCases)
        tags.emplace_back(c.tag, c.expression);
    writeOurTable("ours", records(), tags);

    // Records with a date: for an empty one TDbf's DTOS() gives "18991230", not our blanks.
    const std::vector<Row> byTdbf = inventoryRecords(120, 7, false);
    writeFile("more.txt", dumpOf(byTdbf));
    ASSERT_EQ(run(kTdbfTool, {"append", path("ours.dbf"), path("more.txt")}).status, 0);

    std::vector<Row> all = records();
    all.insert(all.end(), byTdbf.begin(), byTdbf.end());
    auto compareEveryTag = [&] {
        const Output check = run(kVantorelDbf, {"check", path("ours.dbf")}, true);
        EXPECT_EQ(check.out, "ok\n");
        EXPECT_EQ(run(kVantorelDbf, {"dump", path("ours.dbf")}).out, dumpOf(all));
        for (const TagCase& c : kTagCases) {
            SCOPED_TRACE(c.tag);
            const auto [tdbf, ours] = dumpsOfTag("ours", c.tag);
            EXPECT_EQ(ours, tdbf);
        }
    };
    {
        SCOPED_TRACE("after TDbf appended");
        compareEveryTag();
    }

    const std::vector<Row> byUs = inventoryRecords(120, 11);
    {
        Table table;
        table.openFile(path("ours.dbf"), ShareMode::Exclusive, Access::ReadWrite);
        appendThroughEngine(table, byUs);
        table.close();
    }
    all.insert(all.end(), byUs.begin(), byUs.end());
    SCOPED_TRACE("after the engine appended to TDbf's changes");
    compareEveryTag();
}

// Where TDbf computes a key that dBASE, and our engine, would not, the record TDbf adds carries
// a key its fields do not give; our check must name that record rather than pass the index.
// Each case is one record appended by TDbf to an empty table of ours with one tag.
TEST_F(TdbfIndex, CheckFindsTheKeysTdbfComputesOtherwise) {
    struct Case {
        const char* name;
        const char* expression;
        int column;
        const char* value;
    };
    const Case cases[] = {
        // "18991230" (day 0 of Pascal's TDateTime) against eight blanks
        {"EmptyDate", "DTOS(PurchDate)", kPurchDate, ""},
        // stored "2.6750": TDbf formats the double nearest it, "2.67"; decimal rounding, "2.68"
        {"HalfCent", "STR(Cost,12,2)", kCost, "2.675"},
        // 0x9A is s-caron in Windows-1252, upper case 0x8A; TDbf leaves the byte alone
        {"SCaron", "Upper(Left(Brand,20))", kBrand, "x\x9A"},
        // 0xFF is y-diaeresis, upper case 0x9F; TDbf makes it "Y"
        {"YDiaeresis", "Upper(Left(Brand,20))", kBrand, "x\xFF"},
        // too wide for 8 places: TDbf keeps the last eight digits "23456789", dBASE "********"
        {"TooWide", "STR(Quantity,8,0)", kQuantity, "123456789"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        writeOurTable(name, {}, {{"TAG", c.expression}});
        Row r(interop::kHeader.size());
        r[kItem] = "Added by TDbf";
        r[kPurchDate] = "2001-01-01";
        r[static_cast<size_t>(c.column)] = c.value;
        writeFile(name + ".txt", dumpOf({r}));
        ASSERT_EQ(run(kTdbfTool, {"append", path(name + ".dbf"), path(name + ".txt")}).status, 0);

        const Output check = run(kVantorelDbf, {"check", path(name + ".dbf")}, true);
        EXPECT_EQ(check.status, 1);
        EXPECT_EQ(check.out, "vantorel-dbf: Tag TAG of " + path(name + ".MDX") +
                                 ": the key of record 1 is not the one its fields give\n");
    }
}

} // namespace
