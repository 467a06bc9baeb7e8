#include "dbase/DbfLayout.h"
#include "dbase/IndexKey.h"
#include "dbase/Table.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using dbase::ColumnDef;
using dbase::ColumnKind;
using dbase::Date;
using dbase::Error;
using dbase::ShareMode;
using dbase::Table;
using Access = dbase::Access;

namespace {

using test_support::readAll;
using test_support::TempFolder;
using test_support::writeAll;

const std::vector<ColumnDef> kColumns = {{"Category", ColumnKind::Character, 30},
                                         {"Bought", ColumnKind::Date},
                                         {"Cost", ColumnKind::Float},
                                         {"Qty", ColumnKind::Integer}};
constexpr int kCategory = 0, kBought = 1, kCost = 2, kQty = 3;
const char* const kSortKey = "Upper(Left(Category,20))+DTOS(Bought)+STR(Cost,12,2)";

void addRow(Table& t, const std::string& category, const std::string& bought, const std::string& cost,
            int qty = 0) {
    t.insert();
    t.setText(kCategory, category);
    t.setText(kBought, bought);
    t.setText(kCost, cost);
    t.setInteger(kQty, qty);
    t.post();
}

std::vector<int> order(Table& t) {
    std::vector<int> out;
    for (t.first(); !t.isEmpty() && !t.eof(); t.next()) out.push_back(static_cast<int>(t.number(kQty)));
    return out;
}

std::vector<int> reverseOrder(Table& t) {
    std::vector<int> out;
    for (t.last(); !t.isEmpty() && !t.bof(); t.prior()) out.push_back(static_cast<int>(t.number(kQty)));
    return out;
}

// The sort key example rows; Qty numbers each row by its place in the expected order.
std::string makeSorted(const TempFolder& dir) {
    const std::string path = dir.file("SORTED.DBF");
    Table::create(path, kColumns);
    Table t;
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    addRow(t, "tools", "3/7/1996", "20", 6);
    addRow(t, "Books", "", "5", 1);                        // empty dates first
    addRow(t, "BOOKS", "1/2/1990", "-3.5", 2);             // case-blind
    addRow(t, "books", "1/2/1990", "-12", 3);              // negatives as text: "  -3.50" first
    addRow(t, "Tools", "3/7/1996", "20", 7);               // equal keys keep record order
    addRow(t, "Books and magazines, used", "", "1", 5);    // cut at 20: "BOOKS AND MAGAZINES,"
    addRow(t, "Books and magazines, new", "", "0.5", 4);   // the same 20 characters; cost decides
    t.addIndex("NewIndex", kSortKey);
    return path;
}

} // namespace

TEST(Index, SortKeyOrderAndNavigation) {
    TempFolder dir;
    const std::string path = makeSorted(dir);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    EXPECT_TRUE(t.hasProductionIndexFlag());
    EXPECT_EQ(order(t), (std::vector<int>{6, 1, 2, 3, 7, 5, 4})); // record order, no tag selected
    t.selectIndex("newindex");
    EXPECT_EQ(t.selectedIndex(), "NEWINDEX");
    EXPECT_EQ(order(t), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(reverseOrder(t), (std::vector<int>{7, 6, 5, 4, 3, 2, 1}));

    t.first();
    t.next();
    t.next();
    const auto atThree = t.bookmark();
    t.last();
    t.gotoBookmark(atThree);
    t.next(); // steps on in index order from a bookmark
    EXPECT_EQ(t.number(kQty), 4);

    // The filter and deletion marks apply in index order too.
    t.setFilter([](const dbase::Record& r) { return static_cast<int>(r.number(kQty)) % 2 == 1; });
    t.refresh();
    EXPECT_EQ(order(t), (std::vector<int>{1, 3, 5, 7}));
    t.setFilter(nullptr);
    t.first();
    t.next();
    t.remove(); // record 2 in order
    EXPECT_EQ(t.number(kQty), 3);
    EXPECT_EQ(order(t), (std::vector<int>{1, 3, 4, 5, 6, 7}));

    const auto def = t.selectedDefinition();
    ASSERT_TRUE(def.has_value());
    EXPECT_EQ(def->expression, kSortKey);
    EXPECT_EQ(def->keyLength, 40);
    EXPECT_TRUE(def->caseInsensitive);
    EXPECT_TRUE(def->fields.empty());
    t.selectIndex("");
    EXPECT_FALSE(t.selectedDefinition().has_value());
    EXPECT_THROW(t.selectIndex("Nothing"), Error);
}

TEST(Index, KeysFollowInsertsEditsAndDeletesThroughSplits) {
    TempFolder dir;
    const std::string path = dir.file("RANDOM.DBF");
    Table::create(path, kColumns);
    Table t;
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    t.addIndex("NEWINDEX", kSortKey); // built on an empty table, then grown by inserts
    t.addIndex("BYQTY", "Qty");       // a numeric tag beside it
    t.selectIndex("NEWINDEX");
    std::mt19937 rng(7);
    const char* categories[] = {"alpha", "Beta", "gamma", "DELTA", "epsilon", "Zeta"};
    auto randomRow = [&](int qty) {
        t.setText(kCategory, categories[rng() % 6] + std::to_string(rng() % 5));
        t.setText(kBought, rng() % 4 == 0 ? "" : std::to_string(1 + rng() % 12) + "/1/" + std::to_string(1990 + rng() % 30));
        t.setNumber(kCost, (static_cast<int>(rng() % 20000) - 10000) / 100.0);
        t.setInteger(kQty, qty);
    };
    int nextQty = 0;
    for (int step = 0; step < 3000; ++step) {
        const unsigned action = rng() % 10;
        if (action < 6 || t.isEmpty()) {
            t.insert();
            randomRow(nextQty++);
            t.post();
        } else if (action < 9) {
            t.edit(); // whatever record the cursor is on, moving it in the order
            randomRow(static_cast<int>(t.number(kQty)));
            t.post();
        } else {
            t.remove();
        }
        if (step % 7 == 0) t.first();
        if (step % 3 == 0) t.next();
    }
    EXPECT_EQ(t.verifyIndexes(), "");
    auto checkOrder = [&](Table& table) {
        std::string previous;
        std::set<int> seen;
        std::string key;
        const auto expression = dbase::KeyExpression::compile(kSortKey, table.fields());
        for (table.first(); !table.eof(); table.next()) {
            expression.evaluate(table.record(), key);
            EXPECT_LE(previous, key);
            previous = key;
            EXPECT_TRUE(seen.insert(static_cast<int>(table.number(kQty))).second);
        }
        EXPECT_EQ(seen.size(), table.countVisible());
    };
    checkOrder(t);
    t.close();
    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    EXPECT_EQ(t.verifyIndexes(), "");
    t.selectIndex("NEWINDEX");
    checkOrder(t);
    t.selectIndex("BYQTY");
    int previous = -1;
    for (t.first(); !t.eof(); t.next()) {
        EXPECT_LT(previous, t.number(kQty));
        previous = static_cast<int>(t.number(kQty));
    }
}

TEST(Index, TagsAreAddedReplacedAndDeletedWithExclusiveUse) {
    TempFolder dir;
    const std::string path = makeSorted(dir);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    EXPECT_THROW(t.addIndex("BYQTY", "Qty"), Error);
    EXPECT_THROW(t.deleteIndex("NEWINDEX"), Error);
    EXPECT_THROW(t.reindex(), Error);
    t.close();

    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    const std::string before = readAll(dir.file("SORTED.MDX"));
    for (const char* bad : {"SOUNDEX(Category)", "Upper(Colour)", "Category+Category+Category+Category"})
        EXPECT_THROW(t.addIndex("BAD", bad), Error) << bad;
    EXPECT_THROW(t.addIndex("TOO_LONG_NAME", "Qty"), Error);
    EXPECT_EQ(readAll(dir.file("SORTED.MDX")), before); // nothing written

    t.addIndex("BYQTY", "Qty");
    t.addIndex("NewIndex", "Category"); // replaces the tag of that name
    ASSERT_EQ(t.indexes().size(), 2u);
    EXPECT_EQ(t.indexes()[1].expression, "Category");
    EXPECT_EQ(t.indexes()[1].fields, std::vector<int>{kCategory});
    t.selectIndex("NEWINDEX");
    EXPECT_EQ(order(t), (std::vector<int>{2, 1, 4, 5, 7, 3, 6})); // exact bytes: upper case first
    t.deleteIndex("BYQTY");
    EXPECT_EQ(t.indexes().size(), 1u);
    t.deleteIndex("NEWINDEX"); // the last tag takes the file with it
    EXPECT_FALSE(fs::exists(dir.file("SORTED.MDX")));
    EXPECT_FALSE(t.hasProductionIndexFlag());
    EXPECT_EQ(t.selectedIndex(), "");
    EXPECT_THROW(t.deleteIndex("NEWINDEX"), Error);
    t.close();
    EXPECT_EQ(uint8_t(readAll(path)[dbase::layout::kMdxFlag]), 0);
}

TEST(Index, KeyLookups) {
    TempFolder dir;
    const std::string path = makeSorted(dir);
    Table t;
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    t.addIndex("BYCAT", "Category");
    t.addIndex("BYCOST", "Cost");
    t.selectIndex("BYCAT");
    EXPECT_TRUE(t.findKey("Tools"));
    EXPECT_EQ(t.number(kQty), 7);
    EXPECT_FALSE(t.findKey("Tool")); // exact: the whole key
    EXPECT_EQ(t.number(kQty), 7);     // and the cursor stays
    EXPECT_TRUE(t.findNearest("Books a"));
    EXPECT_EQ(t.number(kQty), 4); // "Books and magazines, new"
    EXPECT_TRUE(t.findNearest("C"));
    EXPECT_EQ(t.text(kCategory), "Tools");
    EXPECT_FALSE(t.findNearest("zzz")); // past the end: the last record
    EXPECT_EQ(t.text(kCategory), "tools");

    t.selectIndex("BYCOST");
    EXPECT_TRUE(t.findKey("-3.5"));
    EXPECT_EQ(t.number(kQty), 2);
    EXPECT_TRUE(t.findNearest("0.7"));
    EXPECT_EQ(t.number(kQty), 5);
    EXPECT_THROW(t.findKey("cheap"), Error);
    t.selectIndex("");
    EXPECT_THROW(t.findKey("x"), Error);
}

TEST(Index, PackRebuildsTheTags) {
    TempFolder dir;
    const std::string path = makeSorted(dir);
    Table t;
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    t.selectIndex("NEWINDEX");
    t.first();
    t.remove();
    t.remove();
    t.pack();
    EXPECT_EQ(t.recordCount(), 5u);
    EXPECT_EQ(t.selectedIndex(), "NEWINDEX");
    EXPECT_EQ(order(t), (std::vector<int>{3, 4, 5, 6, 7}));
    EXPECT_EQ(t.verifyIndexes(), "");
}

namespace {

// Byte surgery on an index file.
uint32_t get32(const std::string& b, size_t at) {
    return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
void put32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
}

// Opens, reads every record in the tag's order and verifies; returns the first error.
std::string useIndex(const std::string& path) {
    try {
        Table t;
        t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
        t.selectIndex("NEWINDEX");
        for (t.first(); !t.eof(); t.next()) {
        }
        for (t.last(); !t.bof(); t.prior()) {
        }
        const std::string fault = t.verifyIndexes();
        return fault;
    } catch (const Error& e) {
        return e.what();
    }
}

} // namespace

TEST(Index, DamagedIndexFilesAreErrorsAndReindexRecovers) {
    TempFolder dir;
    const std::string path = dir.file("BIG.DBF");
    Table::create(path, kColumns);
    {
        Table t;
        t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
        for (int i = 0; i < 400; ++i) addRow(t, "Category " + std::to_string(i % 37), "", std::to_string(i), i);
        t.addIndex("NEWINDEX", kSortKey);
    }
    const std::string mdxPath = dir.file("BIG.MDX");
    const std::string good = readAll(mdxPath);
    const uint32_t tagHeader = get32(good, 544) * 512;
    const uint32_t root = get32(good, tagHeader) * 512;
    ASSERT_GT(get32(good, root), 0u);                 // a two-level tree: the root is inner
    const uint32_t firstLeaf = get32(good, root + 8) * 512;

    struct Damage {
        const char* name;
        std::function<void(std::string&)> apply;
        bool reindexRecovers; // a whole-file fault is mended only by deleting the file
    };
    const Damage cases[] = {
        {"truncated", [](std::string& b) { b.resize(1000); }, false},
        {"tag_count_past_slots", [](std::string& b) { b[28] = 60; }, false},
        {"page_count_past_end", [&](std::string& b) { put32(b, 32, 100000); }, false},
        {"tag_header_past_end", [](std::string& b) { put32(b, 544, 90000); }, false},
        {"root_past_end", [&](std::string& b) { put32(b, tagHeader, 90000); }, true},
        {"child_past_end", [&](std::string& b) { put32(b, root + 8, 70000); }, true},
        {"loop_to_root", [&](std::string& b) { put32(b, root + 8, get32(b, tagHeader)); }, true},
        {"keys_out_of_order", [&](std::string& b) { std::swap_ranges(b.begin() + firstLeaf + 12, b.begin() + firstLeaf + 52, b.begin() + firstLeaf + 56); }, true},
        {"leaf_count_too_big", [&](std::string& b) { put32(b, firstLeaf, 500); }, true},
        {"record_past_end", [&](std::string& b) { put32(b, firstLeaf + 8, 9999); }, true},
    };
    for (const Damage& c : cases) {
        std::string bytes = good;
        c.apply(bytes);
        writeAll(mdxPath, bytes);
        const std::string error = useIndex(path);
        EXPECT_NE(error.find("BIG.MDX"), std::string::npos) << c.name << ": " << error;
        if (c.reindexRecovers) {
            Table t;
            t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
            t.reindex();
            t.close();
            EXPECT_EQ(useIndex(path), "") << c.name;
        } else {
            // The records stay readable; changing them waits for a new index, which adding the
            // tag again writes over the unreadable one.
            Table t;
            t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
            EXPECT_EQ(t.countVisible(), 400u) << c.name;
            EXPECT_THROW(t.insert(), Error) << c.name;
            EXPECT_THROW(t.reindex(), Error) << c.name;
            t.addIndex("NEWINDEX", kSortKey);
            EXPECT_EQ(t.indexProblem(), "");
        }
        EXPECT_EQ(readAll(mdxPath).size(), good.size()) << c.name;
    }
}

TEST(Index, TwoProcessesInsertIntoAnIndexedTable) {
    TempFolder dir;
    const std::string path = makeSorted(dir);
    constexpr int kPerProcess = 400; // enough to split leaves and the root
    auto work = [&](int base) {
        Table t;
        t.openFile(path, ShareMode::Shared, Access::ReadWrite);
        t.selectIndex("NEWINDEX");
        for (int i = 0; i < kPerProcess; ++i)
            addRow(t, "Shared " + std::to_string(i % 50), "", std::to_string(i), base + i);
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            work(10000);
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    work(20000);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    EXPECT_EQ(t.recordCount(), 7u + 2 * kPerProcess);
    EXPECT_EQ(t.verifyIndexes(), "");
}

TEST(Index, AFileCutWhileOpenIsAnErrorNotACrash) {
    TempFolder dir;
    const std::string path = dir.file("CUT.DBF");
    Table::create(path, kColumns);
    Table t;
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    // More records than one read-ahead block holds, so that most are read from the mapping.
    for (int i = 0; i < 20000; ++i) addRow(t, "Category " + std::to_string(i % 7), "", std::to_string(i), i);
    t.addIndex("NEWINDEX", kSortKey);
    t.close();
    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    t.selectIndex("NEWINDEX");
    t.setBulkReading(true);
    t.first(); // the file is mapped now
    // Another program, ignoring every lock, cuts the file to a tenth.
    fs::resize_file(path, t.headerLength() + 2000ull * t.recordLength());
    try {
        for (t.first(); !t.eof(); t.next()) {
        }
        FAIL() << "read past the cut";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("CUT.DBF"), std::string::npos) << e.what();
    }
}
