#include "dbase/DbfLayout.h"
#include "dbase/Table.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using dbase::ColumnDef;
using dbase::ColumnKind;
using dbase::Date;
using dbase::Error;
using dbase::FieldDef;
using dbase::ShareMode;
using dbase::Table;
using Access = dbase::Access;

namespace {

using test_support::readAll;
using test_support::TempFolder;
using test_support::writeAll;

// Name C10, Qty integer, Price float, Bought date: one column of each kind.
const std::vector<ColumnDef> kColumns = {{"Name", ColumnKind::Character, 10},
                                         {"Qty", ColumnKind::Integer},
                                         {"Price", ColumnKind::Float},
                                         {"Bought", ColumnKind::Date}};
constexpr int kName = 0, kQty = 1, kPrice = 2, kBought = 3;
constexpr uint64_t kRecordLength = 1 + 10 + 11 + 20 + 8;

void addRow(Table& t, const std::string& name, const std::string& qty = "",
            const std::string& price = "", const std::string& bought = "") {
    t.insert();
    t.setText(kName, name);
    t.setText(kQty, qty);
    t.setText(kPrice, price);
    t.setText(kBought, bought);
    t.post();
}

std::vector<std::string> names(Table& t) {
    std::vector<std::string> out;
    for (t.first(); !t.isEmpty() && !t.eof(); t.next()) out.push_back(t.text(kName));
    return out;
}

// A table with rows "a".."e" (record numbers 1..5).
std::string makeFive(const TempFolder& dir) {
    const std::string path = dir.file("FIVE.DBF");
    Table::create(path, kColumns);
    Table t;
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    for (const char* n : {"a", "b", "c", "d", "e"}) addRow(t, n, "1");
    t.close();
    return path;
}

} // namespace

TEST(Table, CreatedFileHasTheExactDbaseLayout) {
    TempFolder dir;
    const std::string path = dir.file("NEW.DBF");
    Table::create(path, kColumns);
    const std::string bytes = readAll(path);
    // 32 header + 4 descriptors of 32 + terminator, then the end-of-file byte.
    ASSERT_EQ(bytes.size(), 32u + 4 * 32 + 1 + 1);
    EXPECT_EQ(uint8_t(bytes[0]), 0x03);
    EXPECT_EQ(uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8, 161);       // header length
    EXPECT_EQ(uint8_t(bytes[10]) | uint8_t(bytes[11]) << 8, kRecordLength);
    EXPECT_EQ(uint8_t(bytes[28]), 0);    // no production index
    EXPECT_EQ(uint8_t(bytes[29]), 0x57); // Windows ANSI
    EXPECT_EQ(bytes.substr(32 + 32, 3), std::string("Qty", 3));
    EXPECT_EQ(bytes[32 + 32 + 11], 'N');
    EXPECT_EQ(uint8_t(bytes[32 + 64 + 16]), 20); // Price N 20.4
    EXPECT_EQ(uint8_t(bytes[32 + 64 + 17]), 4);
    EXPECT_EQ(uint8_t(bytes[160]), 0x0D);
    EXPECT_EQ(uint8_t(bytes[161]), 0x1A);

    Table t;
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    addRow(t, "x", "1", "2.5", "3/7/1996");
    t.close();
    // One record, still followed by the end-of-file byte, count 1 in the header.
    const std::string after = readAll(path);
    ASSERT_EQ(after.size(), 161u + kRecordLength + 1);
    EXPECT_EQ(uint8_t(after[4]), 1);
    EXPECT_EQ(after.substr(161, kRecordLength), std::string(" x         ") + // mark, C10
                                                    "          1" +     // N 11.0
                                                    "              2.5000" + // N 20.4
                                                    "19960307");
    EXPECT_EQ(uint8_t(after.back()), 0x1A);
}

TEST(Table, ValuesOfEveryKindRoundTrip) {
    TempFolder dir;
    const std::string path = dir.file("VALUES.DBF");
    Table::create(path, kColumns);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    addRow(t, "Lamp  ", "-2147483648", "999999999999.99", "2/29/2000");
    t.insert();
    t.setText(kName, "Chair");
    t.setInteger(kQty, 2147483647);
    t.setNumber(kPrice, -0.01);
    t.setDate(kBought, Date{1996, 3, 7});
    t.post();
    addRow(t, "", "", "", ""); // every field empty
    t.close();

    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    EXPECT_EQ(t.recordCount(), 3u);
    EXPECT_EQ(t.text(kName), "Lamp"); // trailing blanks carry no meaning
    EXPECT_EQ(t.text(kQty), "-2147483648");
    EXPECT_EQ(t.text(kPrice), "999999999999.99");
    EXPECT_EQ(t.number(kPrice), 999999999999.99);
    EXPECT_EQ(t.text(kBought), "2/29/2000");
    EXPECT_EQ(t.date(kBought), (Date{2000, 2, 29}));
    t.next();
    EXPECT_EQ(t.text(kQty), "2147483647");
    EXPECT_EQ(t.text(kPrice), "-0.01");
    t.setDateFormat({'.', dbase::DateFormat::Order::DayMonthYear, true, 1950});
    EXPECT_EQ(t.text(kBought), "7.3.1996");
    t.next();
    EXPECT_EQ(t.text(kName), "");
    EXPECT_EQ(t.text(kQty), "");
    EXPECT_EQ(t.number(kPrice), 0);
    EXPECT_EQ(t.text(kBought), "");
    EXPECT_TRUE(t.date(kBought).isEmpty());
}

TEST(Table, FieldsByNameIgnoreCaseAndAMissingNameIsNamed) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    EXPECT_EQ(t.fieldCount(), 4);
    EXPECT_EQ(t.fieldIndex("PRICE"), kPrice);
    EXPECT_EQ(t.fieldIndex("bought"), kBought);
    EXPECT_EQ(t.field(kQty).type, 'N');
    try {
        t.fieldIndex("Colour");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Colour"), std::string::npos) << e.what();
    }
    EXPECT_THROW(t.field(4), Error);
    EXPECT_THROW(t.text(-1), Error);
}

TEST(Table, AValueThatDoesNotConvertOrFitIsRefusedAndTheFieldKeepsItsValue) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    t.edit();
    t.setText(kPrice, "12.5");
    t.setText(kBought, "1/2/2003");
    struct Bad {
        int field;
        const char* value;
    };
    const Bad cases[] = {
        {kName, "eleven chars"},  // C10
        {kQty, "12.5"},           // whole numbers only
        {kQty, "99999999999999"}, // wider than the column
        {kQty, "ten"},
        {kPrice, "1,5"}, // the decimal point is "." only
        {kPrice, "1e300"},
        {kBought, "2/30/1996"},
        {kBought, "1996-01-02"},
    };
    for (const Bad& c : cases) {
        const std::string before(t.record().raw(c.field));
        try {
            t.setText(c.field, c.value);
            ADD_FAILURE() << "accepted " << c.value;
        } catch (const Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.value), std::string::npos) << message;
            EXPECT_NE(message.find(t.field(c.field).name), std::string::npos) << message;
        }
        EXPECT_EQ(t.record().raw(c.field), before) << c.value;
    }
    EXPECT_THROW(t.setDate(kBought, Date{1999, 2, 29}), Error);
    EXPECT_THROW(t.setNumber(kName, 1), Error);
    t.post();
    EXPECT_EQ(t.text(kPrice), "12.5");
    EXPECT_EQ(t.text(kBought), "1/2/2003");
}

TEST(Table, NavigationFlagsAndBookmarks) {
    TempFolder dir;
    const std::string empty = dir.file("EMPTY.DBF");
    Table::create(empty, kColumns);
    Table t;
    t.openFile(empty, ShareMode::Shared, Access::ReadOnly);
    EXPECT_TRUE(t.bof() && t.eof() && t.isEmpty());
    t.next();
    t.prior();
    t.last();
    EXPECT_TRUE(t.bof() && t.eof());
    EXPECT_THROW(t.edit(), Error); // read-only
    t.close();

    t.openFile(makeFive(dir), ShareMode::Shared, Access::ReadOnly);
    EXPECT_EQ(names(t), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    t.first();
    EXPECT_TRUE(t.bof());
    EXPECT_FALSE(t.eof());
    t.next();
    t.next();
    const dbase::Bookmark atC = t.bookmark();
    t.last();
    EXPECT_EQ(t.text(kName), "e");
    EXPECT_TRUE(t.eof());
    t.next(); // stays on the last record
    EXPECT_EQ(t.text(kName), "e");
    t.prior();
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.text(kName), "d");
    t.gotoBookmark(atC);
    EXPECT_EQ(t.text(kName), "c");
    EXPECT_THROW(t.gotoBookmark(dbase::Bookmark{99}), Error);
    // Walking backwards through a table larger than one read-ahead block.
    std::vector<std::string> back;
    for (t.last(); !t.bof(); t.prior()) back.push_back(t.text(kName));
    EXPECT_EQ(back, (std::vector<std::string>{"e", "d", "c", "b", "a"}));
}

TEST(Table, LongPassesAcrossReadAheadBlocks) {
    TempFolder dir;
    const std::string path = dir.file("MANY.DBF");
    Table::create(path, kColumns);
    Table t;
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    const int n = 20000; // 51-byte records: several 256 KiB blocks
    for (int i = 1; i <= n; ++i) {
        t.insert();
        t.setInteger(kQty, i);
        t.post();
    }
    int expect = 1;
    for (t.first(); !t.eof(); t.next()) ASSERT_EQ(t.number(kQty), expect++);
    EXPECT_EQ(expect, n + 1);
    for (t.last(); !t.bof(); t.prior()) ASSERT_EQ(t.number(kQty), --expect);
    EXPECT_EQ(expect, 1);
}

TEST(Table, DeleteHidesAndPackRemovesForGood) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    t.next(); // b
    t.remove();
    EXPECT_EQ(t.text(kName), "c"); // the cursor moves on
    t.last();
    t.remove();
    EXPECT_EQ(t.text(kName), "d"); // at the end it moves back
    EXPECT_EQ(names(t), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ(t.recordCount(), 5u);
    EXPECT_EQ(t.countDeleted(), 2u);
    EXPECT_THROW(t.pack(), Error); // needs exclusive use
    t.close();

    const auto sizeBefore = fs::file_size(path);
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    t.pack();
    EXPECT_EQ(names(t), (std::vector<std::string>{"a", "c", "d"}));
    t.close();
    EXPECT_EQ(fs::file_size(path), sizeBefore - 2 * kRecordLength);
    EXPECT_FALSE(fs::exists(path + ".pack"));
    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    EXPECT_EQ(t.recordCount(), 3u);
    EXPECT_EQ(t.countDeleted(), 0u);
}

TEST(Table, EditCancelAndInsertCancelLeaveTheFileAlone) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    const std::string before = readAll(path);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    t.edit();
    t.setText(kName, "changed");
    EXPECT_EQ(t.text(kName), "changed");
    t.cancel();
    EXPECT_EQ(t.text(kName), "a");
    t.insert();
    t.setText(kName, "new");
    t.cancel();
    EXPECT_EQ(t.text(kName), "a");
    EXPECT_THROW(t.setText(kName, "x"), Error); // not editing
    t.close();
    EXPECT_EQ(readAll(path), before);
}

TEST(Table, FilterReadsTheCandidateAndScanLeavesTheCursor) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    t.setFilter([](const dbase::Record& r) { return r.text(kName) != "b" && r.text(kName) != "d"; });
    t.refresh();
    EXPECT_EQ(names(t), (std::vector<std::string>{"a", "c", "e"}));
    EXPECT_EQ(t.countVisible(), 3u);
    t.first();
    const dbase::Bookmark found =
        t.scanForward([](const dbase::Record& r) { return r.text(kName) == "e"; });
    EXPECT_EQ(found.recno, 5u);
    EXPECT_EQ(t.text(kName), "a"); // the cursor did not move
    EXPECT_FALSE(t.scanForward([](const dbase::Record& r) { return r.text(kName) == "b"; }));
    // A record edited out of the filter leaves the view on refresh.
    t.next(); // c
    t.edit();
    t.setText(kName, "b");
    t.post();
    t.refresh();
    EXPECT_EQ(t.text(kName), "e");
    // A filter nothing passes: the view is empty after the refresh.
    t.setFilter([](const dbase::Record&) { return false; });
    t.refresh();
    EXPECT_TRUE(t.isEmpty() && t.bof() && t.eof());
    t.setFilter(nullptr);
    t.refresh();
    EXPECT_EQ(names(t), (std::vector<std::string>{"a", "b", "b", "d", "e"}));
}

TEST(Table, SharedAndExclusiveUseExcludeEachOther) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    Table shared1, shared2, exclusive;
    shared1.openFile(path, ShareMode::Shared, Access::ReadWrite);
    shared2.openFile(path, ShareMode::Shared, Access::ReadOnly);
    EXPECT_THROW(exclusive.openFile(path, ShareMode::Exclusive, Access::ReadWrite), dbase::LockError);
    EXPECT_THROW(exclusive.openFile(path, ShareMode::Exclusive, Access::ReadOnly), dbase::LockError);
    EXPECT_THROW(Table::create(path, kColumns), dbase::LockError); // never replaces a table in use
    shared1.close();
    shared2.close();
    exclusive.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    EXPECT_THROW(shared1.openFile(path, ShareMode::Shared, Access::ReadOnly), dbase::LockError);
    EXPECT_FALSE(shared1.isOpen());
    exclusive.close();
    shared1.openFile(path, ShareMode::Shared, Access::ReadOnly);
}

TEST(Table, ARecordBeingEditedIsLockedForOtherUsers) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    Table one, two;
    one.openFile(path, ShareMode::Shared, Access::ReadWrite);
    two.openFile(path, ShareMode::Shared, Access::ReadWrite);
    one.edit();
    EXPECT_THROW(two.edit(), dbase::LockError);
    two.next();
    two.edit(); // another record is free
    two.setText(kName, "B");
    two.post();
    one.setText(kName, "A");
    one.post();
    two.first();
    two.edit(); // free again after the post
    EXPECT_EQ(two.text(kName), "A"); // and editing starts from what is on disk now
    two.cancel();
    one.refresh();
    one.next();
    EXPECT_EQ(one.text(kName), "B");
}

TEST(Table, TwoProcessesInsertAndEditTheSameTable) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    constexpr int kPerProcess = 300;
    auto work = [&](const std::string& tag) {
        Table t;
        t.openFile(path, ShareMode::Shared, Access::ReadWrite);
        for (int i = 0; i < kPerProcess; ++i) {
            t.insert();
            t.setText(kName, tag + std::to_string(i));
            t.setInteger(kQty, i);
            t.post();
            if (i % 10 == 0) { // also edit a shared record now and then
                t.first();
                for (;;) {
                    try {
                        t.edit();
                        break;
                    } catch (const Error&) {
                        ::usleep(100); // the other process holds it: try again
                    }
                }
                t.setInteger(kQty, static_cast<int64_t>(t.number(kQty)) + 1);
                t.post();
            }
        }
        t.close();
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            work("child");
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    work("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    Table t;
    t.openFile(path, ShareMode::Exclusive, Access::ReadOnly);
    EXPECT_EQ(t.recordCount(), 5u + 2 * kPerProcess);
    EXPECT_EQ(t.firstBadRecord(), 0u);
    std::set<std::string> seen;
    for (t.first(); !t.eof(); t.next()) seen.insert(t.text(kName));
    for (int i = 0; i < kPerProcess; ++i) {
        EXPECT_TRUE(seen.count("child" + std::to_string(i))) << i;
        EXPECT_TRUE(seen.count("parent" + std::to_string(i))) << i;
    }
    t.first();
    // Each process added one to the first record's quantity every tenth insert: no lost update.
    EXPECT_EQ(t.number(kQty), 1 + 2 * (kPerProcess / 10));
    // The header count is exact: the file ends right after the last record.
    EXPECT_EQ(fs::file_size(path), t.headerLength() + t.recordCount() * kRecordLength + 1);
}

TEST(Table, OtherUsersRecordsAppearAfterARefresh) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    Table reader, writer;
    reader.openFile(path, ShareMode::Shared, Access::ReadOnly);
    writer.openFile(path, ShareMode::Shared, Access::ReadWrite);
    addRow(writer, "f");
    writer.first();
    writer.edit();
    writer.setText(kName, "A");
    writer.post();
    EXPECT_EQ(reader.recordCount(), 5u);
    reader.refresh();
    EXPECT_EQ(reader.recordCount(), 6u);
    EXPECT_EQ(names(reader), (std::vector<std::string>{"A", "b", "c", "d", "e", "f"}));
}

namespace {

// Byte surgery on a good file, each a way files get damaged or are not tables at all.
struct Damage {
    const char* name;
    std::function<void(std::string&)> apply;
    const char* messagePart;
};

void put16(std::string& b, size_t at, int v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

} // namespace

TEST(Table, DamagedAndForeignFilesAreRefusedWithoutBeingTouched) {
    const Damage cases[] = {
        {"empty_file", [](std::string& b) { b.clear(); }, "too short"},
        {"truncated_header", [](std::string& b) { b.resize(40); }, "too short"},
        {"text_file", [](std::string& b) { b = std::string(300, 'x'); }, "not a dBASE table"},
        {"count_past_end", [](std::string& b) { b[4] = 9; }, "header counts 9"},
        {"truncated_records", [](std::string& b) { b.resize(b.size() - 60); }, "header counts 5"},
        {"record_length_wrong", [](std::string& b) { put16(b, 10, 49); }, "record length"},
        {"header_length_past_end", [](std::string& b) { put16(b, 8, 60000); }, "header length"},
        {"bad_field_type", [](std::string& b) { b[32 + 11] = 'Q'; }, "field 1"},
        {"zero_width_field", [](std::string& b) { b[32 + 32 + 16] = 0; }, "field 2"},
        {"no_terminator", [](std::string& b) { b[160] = 'X'; }, "not terminated"},
        {"no_fields", [](std::string& b) { b[32] = 0x0D; }, "no fields"},
    };
    TempFolder dir;
    const std::string good = readAll(makeFive(dir));
    for (const Damage& c : cases) {
        std::string bytes = good;
        c.apply(bytes);
        const std::string path = dir.file(std::string(c.name) + ".DBF");
        writeAll(path, bytes);
        for (ShareMode share : {ShareMode::Shared, ShareMode::Exclusive}) {
            Table t;
            try {
                t.openFile(path, share, Access::ReadWrite);
                ADD_FAILURE() << c.name << " opened";
            } catch (const Error& e) {
                EXPECT_NE(std::string(e.what()).find(c.messagePart), std::string::npos)
                    << c.name << ": " << e.what();
                EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            }
            EXPECT_FALSE(t.isOpen());
        }
        EXPECT_EQ(readAll(path), bytes) << c.name;
    }
    Table t;
    EXPECT_THROW(t.openFile(dir.file("MISSING.DBF"), ShareMode::Shared, Access::ReadOnly), Error);
    EXPECT_THROW(t.openFile(dir.folder(), ShareMode::Shared, Access::ReadOnly), Error);
}

TEST(Table, RecordsBeyondALowHeaderCountAreRecovered) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    std::string bytes = readAll(path);
    bytes[4] = 3; // a writer crashed after writing records 4 and 5 but before the count
    bytes.pop_back(); // and before the end-of-file byte
    bytes += std::string(20, '\0'); // with a torn, unmarked piece after them
    writeAll(path, bytes);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    EXPECT_EQ(t.recordCount(), 5u);
    EXPECT_EQ(names(t), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    addRow(t, "f"); // the next append cuts the torn piece and fixes the count
    t.close();
    const std::string after = readAll(path);
    EXPECT_EQ(uint8_t(after[4]), 6);
    EXPECT_EQ(after.size(), 161u + 6 * kRecordLength + 1);
}

TEST(Table, ProductionIndexFlagNeedsTheIndexFile) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    std::string bytes = readAll(path);
    bytes[dbase::layout::kMdxFlag] = 1;
    writeAll(path, bytes);
    Table t;
    try {
        t.open(dir.folder(), "FIVE", ShareMode::Shared, Access::ReadOnly);
        FAIL() << "opened without its index";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("FIVE.MDX"), std::string::npos) << e.what();
    }
    bytes[dbase::layout::kMdxFlag] = 0;
    writeAll(path, bytes);
    t.openFile(path, ShareMode::Exclusive, Access::ReadWrite);
    t.addIndex("NEWINDEX", "Name");
    t.close();
    fs::rename(dir.file("FIVE.MDX"), dir.file("five.mdx")); // other tools write it in lower case
    t.open(dir.folder(), "five", ShareMode::Shared, Access::ReadOnly);
    EXPECT_TRUE(t.hasProductionIndexFlag());
    t.selectIndex("NEWINDEX");
    t.last();
    EXPECT_EQ(t.text(kName), "e");
}

TEST(Table, CreateReplacesATableAndDropsItsOldIndex) {
    TempFolder dir;
    const std::string path = makeFive(dir);
    writeAll(dir.file("FIVE.mdx"), "stale");
    Table::create(path, std::vector<FieldDef>{{"Only", 'C', 5, 0, 0}});
    EXPECT_FALSE(fs::exists(dir.file("FIVE.mdx")));
    EXPECT_FALSE(fs::exists(path + ".new"));
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    EXPECT_EQ(t.fieldCount(), 1);
    EXPECT_EQ(t.recordCount(), 0u);
    t.close();

    const std::vector<FieldDef> bad[] = {
        {},
        {{"", 'C', 5, 0, 0}},
        {{"ELEVENCHARS", 'C', 5, 0, 0}},
        {{"A", 'C', 0, 0, 0}},
        {{"A", 'C', 255, 0, 0}},
        {{"A", 'N', 21, 0, 0}},
        {{"A", 'D', 9, 0, 0}},
        {{"A", 'X', 5, 0, 0}},
        {{"A", 'C', 5, 0, 0}, {"a", 'C', 5, 0, 0}},
        {{"A B", 'C', 5, 0, 0}},
    };
    for (const auto& fields : bad) EXPECT_THROW(Table::create(dir.file("BAD.DBF"), fields), Error);
    EXPECT_FALSE(fs::exists(dir.file("BAD.DBF")));
}
