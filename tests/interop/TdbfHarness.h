#pragma once

// What the TDbf interop tests share: running tdbf_tool and vantorel-dbf, the dump format both
// print, and a scratch folder per test.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace interop {

namespace fs = std::filesystem;

inline const std::string kTdbfTool = TDBF_TOOL;
inline const std::string kVantorelDbf = VANTOREL_DBF;

struct Output {
    int status = -1; // exit status, -1 when the program did not end normally
    std::string out; // standard output (with `withErrors`, standard error too), byte for byte
};

inline std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a program and collects its standard output. Its errors go to the test's own output, or,
// `withErrors`, into the collected text, for tests about a message.
inline Output run(const std::string& program, const std::vector<std::string>& args,
                  bool withErrors = false) {
    std::string command = shellQuoted(program);
    for (const std::string& a : args)
        command += " " + shellQuoted(a);
    if (withErrors) command += " 2>&1";
    Output result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

using Row = std::vector<std::string>;

// clang-format off
inline const Row kHeader = {"ITEM",     "BRAND",    "MODEL",     "SERIAL",   "LOCATION", "DESCRIPTIO",
                            "BOUGHTFROM", "IDMARKS", "QUANTITY", "PURCHDATE", "COST",    "CATEGORY",
                            "REPCOST",  "WARRANTY", "WARDATE",   "WARNOTES", "OWNER",    "VALUE",
                            "USERDEF1", "USERDEF2", "USERDEF3",  "USERDEF4"};
// clang-format on

// The dump format: one line per record, values separated by tabs, the header line first.
// tdbf_tool also reads it, as the records to write.
inline std::string dumpOf(const std::vector<Row>& records) {
    std::string text;
    auto line = [&text](const Row& row) {
        for (size_t i = 0; i < row.size(); ++i)
            text += (i ? "\t" : "") + row[i];
        text += "\n";
    };
    line(kHeader);
    for (const Row& r : records) {
        EXPECT_EQ(r.size(), kHeader.size()) << "a row of the expected dump is malformed";
        line(r);
    }
    return text;
}

// A folder of its own for each test, removed afterwards; the test is skipped without fpc.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        if (kTdbfTool.empty()) GTEST_SKIP() << "fpc not found: TDbf interop skipped";
        std::random_device random;
        do {
            dir_ = fs::temp_directory_path() / ("vantorel-tdbf-" + std::to_string(random()));
        } while (!fs::create_directory(dir_));
    }

    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void writeFile(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path(name), std::ios::binary);
        out << bytes;
        ASSERT_TRUE(out.good()) << "cannot write " << name;
    }

    fs::path dir_;
};

} // namespace interop
