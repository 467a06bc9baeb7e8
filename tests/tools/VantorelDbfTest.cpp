#include "core/FieldCatalogue.h"
#include "dbase/Table.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Result = test_support::ProcessResult;

Result run(const std::string& args) {
    return test_support::runCommand(std::string(VANTOREL_DBF) + " " + args);
}

class ToolTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vantorel-dbf-test-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

} // namespace

TEST_F(ToolTest, CreateMakesAnInventoryTableThatChecksAndDumps) {
    const std::string path = file("INV.DBF");
    ASSERT_EQ(run("create " + path).exitCode, 0);
    {
        dbase::Table t;
        t.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        ASSERT_EQ(t.fieldCount(), core::kFieldCount);
        for (int i = 1; i <= 2; ++i) {
            t.insert();
            t.setText(t.fieldIndex("Item"), i == 1 ? "Lamp\twith tab" : "Chair");
            t.setText(t.fieldIndex("Descriptio"), "two\r\nlines");
            t.setInteger(t.fieldIndex("Quantity"), i == 1 ? -3 : 12);
            t.setNumber(t.fieldIndex("Cost"), 1234.5);
            t.setNumber(t.fieldIndex("RepCost"), -0.004);
            t.setDate(t.fieldIndex("PurchDate"), dbase::Date{1996, 3, 7});
            t.post();
        }
        t.first();
        t.next();
        t.remove(); // deleted records are not dumped
    }
    const Result check = run("check " + path);
    EXPECT_EQ(check.exitCode, 0);
    EXPECT_EQ(check.output, "ok\n");

    const Result dump = run("dump " + path);
    ASSERT_EQ(dump.exitCode, 0) << dump.output;
    const std::string header = dump.output.substr(0, dump.output.find('\n'));
    EXPECT_EQ(header.substr(0, 32), "ITEM\tBRAND\tMODEL\tSERIAL\tLOCATION");
    EXPECT_NE(header.find("\tDESCRIPTIO\t"), std::string::npos);
    // One record: tab and line breaks blanked, whole numbers plain, money with two decimals,
    // an ISO date, empty numbers and dates empty.
    const std::string row = dump.output.substr(header.size() + 1);
    EXPECT_EQ(row, "Lamp with tab\t\t\t\t\ttwo  lines\t\t\t-3\t1996-03-07\t1234.50\t\t0.00\t\t\t\t\t\t\t\t\t\n");

    const Result info = run("info " + path);
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(info.output.find("Records:         2"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Deleted:         1"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Code page:       1252"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Descriptio C      110"), std::string::npos) << info.output;
}

TEST_F(ToolTest, ADamagedTableFailsTheCheckWithTheEngineMessage) {
    const std::string path = file("BAD.DBF");
    ASSERT_EQ(run("create " + path).exitCode, 0);
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4);
        f.put(char(7)); // claims 7 records, holds none
    }
    const Result check = run("check " + path);
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_NE(check.output.find("header counts 7"), std::string::npos) << check.output;
    EXPECT_EQ(run("dump " + path).exitCode, 1);

    // A record whose deletion mark is neither blank nor "*": the boundaries are off.
    ASSERT_EQ(run("create " + path).exitCode, 0);
    {
        dbase::Table t;
        t.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        t.insert();
        t.post();
        t.insert();
        t.post();
    }
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        dbase::Table t;
        t.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
        f.seekp(t.headerLength() + t.recordLength());
        f.put('X');
    }
    const Result marks = run("check " + path);
    EXPECT_EQ(marks.exitCode, 1);
    EXPECT_NE(marks.output.find("record 2"), std::string::npos) << marks.output;
}

TEST_F(ToolTest, BadArgumentsExitWithTwo) {
    for (const char* args : {"", "dump", "frobnicate x.dbf", "dump a b"}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.output.find("Usage:"), std::string::npos) << args;
    }
    const Result help = run("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("dump FILE"), std::string::npos);
    EXPECT_EQ(run("dump " + file("MISSING.DBF")).exitCode, 1);
}

TEST_F(ToolTest, IndexCommandsBuildCheckAndRepairTags) {
    const std::string path = file("INV.DBF");
    ASSERT_EQ(run("create " + path).exitCode, 0);
    {
        dbase::Table t;
        t.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        for (const char* item : {"pear", "Apple", "fig", "banana", "Cherry"}) {
            t.insert();
            t.setText(0, item);
            t.post();
        }
        t.first();
        t.remove(); // pear
    }
    const Result bad = run("index " + path + " NEWINDEX 'SOUNDEX(Item)'");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.output.find("SOUNDEX"), std::string::npos) << bad.output;

    ASSERT_EQ(run("index " + path + " NEWINDEX 'Upper(Left(Item,20))'").exitCode, 0);
    const Result info = run("info " + path);
    EXPECT_NE(info.output.find("NEWINDEX   C        20  Upper(Left(Item,20))"), std::string::npos) << info.output;
    auto items = [&](const std::string& args) {
        std::string out;
        const Result dump = run("dump " + path + args);
        for (size_t at = dump.output.find('\n'); at != std::string::npos && at + 1 < dump.output.size();
             at = dump.output.find('\n', at + 1))
            out += dump.output.substr(at + 1, dump.output.find('\t', at) - at - 1) + ",";
        return out;
    };
    EXPECT_EQ(items(" --tag NEWINDEX"), "Apple,banana,Cherry,fig,");
    EXPECT_EQ(items(""), "Apple,fig,banana,Cherry,");
    EXPECT_EQ(run("dump " + path + " --tag MISSING").exitCode, 1);
    EXPECT_EQ(run("check " + path).output, "ok\n");

    // Keys swapped in the leaf: check finds it, reindex mends it.
    {
        std::fstream f(file("INV.MDX"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(544);
        unsigned char page[4];
        f.read(reinterpret_cast<char*>(page), 4);
        const long header = (page[0] | page[1] << 8) * 512L;
        f.seekg(header);
        f.read(reinterpret_cast<char*>(page), 4);
        const long root = (page[0] | page[1] << 8) * 512L;
        f.seekp(root + 12);
        f.write("ZZZ", 3); // the first key now sorts last
    }
    const Result damaged = run("check " + path);
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.output.find("INV.MDX"), std::string::npos) << damaged.output;
    EXPECT_EQ(run("reindex " + path).exitCode, 0);
    EXPECT_EQ(run("check " + path).output, "ok\n");

    const auto sizeBefore = fs::file_size(path);
    EXPECT_EQ(run("pack " + path).exitCode, 0);
    EXPECT_LT(fs::file_size(path), sizeBefore);
    EXPECT_EQ(items(" --tag NEWINDEX"), "Apple,banana,Cherry,fig,");
    EXPECT_EQ(run("check " + path).output, "ok\n");
}
