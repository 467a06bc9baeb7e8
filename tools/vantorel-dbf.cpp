// vantorel-dbf: look into or repair an inventory table without the program's window.

#include "core/FieldCatalogue.h"
#include "dbase/Date.h"
#include "dbase/NumberText.h"
#include "dbase/Table.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kUsageError = 2;

const char* const kUsage =
    "Usage: vantorel-dbf COMMAND FILE\n"
    "\n"
    "Commands:\n"
    "  info FILE     version, code page, record count and length, fields, deleted records\n"
    "  dump FILE     the records that are not deleted, as tab-separated values\n"
    "  check FILE    prints \"ok\" for a sound table, otherwise the fault (exit code 1)\n"
    "  create FILE   an empty inventory table of the 22 inventory columns\n"
    "\n"
    "Exit codes: 0 success, 1 the table could not be read or written, 2 bad arguments.\n";

class Output {
public:
    explicit Output(std::FILE* to) : to_(to) { buffer_.reserve(kFlushAt + 4096); }
    ~Output() { flush(); }
    std::string& buffer() { return buffer_; }
    void maybeFlush() {
        if (buffer_.size() >= kFlushAt) flush();
    }
    void flush() {
        if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), to_) != buffer_.size())
            throw dbase::Error("Cannot write the output");
        buffer_.clear();
    }

private:
    static constexpr size_t kFlushAt = 1 << 20;
    std::FILE* to_;
    std::string buffer_;
};

// Tabs and line breaks would break the columns of the dump.
void appendCleaned(std::string& out, size_t from) {
    for (size_t i = from; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c < 32 && (c == '\t' || c == '\n' || c == '\r')) out[i] = ' ';
    }
}

void appendDumpValue(const dbase::Record& record, int index, std::string& out) {
    const dbase::FieldDef& f = record.field(index);
    switch (f.type) {
    case 'N':
    case 'F':
        if (f.decimals == 0 && f.type == 'N')
            dbase::number_text::appendShortest(record.raw(index), out);
        else
            dbase::number_text::appendFixed(record.raw(index), 2, out);
        break;
    case 'D':
        if (auto d = dbase::Date::fromStorage(record.raw(index)); d && !d->isEmpty()) {
            const std::string s = d->toStorage();
            out.append(s, 0, 4).append(1, '-').append(s, 4, 2).append(1, '-').append(s, 6, 2);
        }
        break;
    default: {
        const size_t from = out.size();
        record.appendText(index, out);
        appendCleaned(out, from);
    }
    }
}

void openForReading(dbase::Table& table, const std::string& path) {
    table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
}

int dump(const std::string& path) {
    dbase::Table table;
    openForReading(table, path);
    Output out(stdout);
    std::string& buf = out.buffer();
    for (int i = 0; i < table.fieldCount(); ++i) {
        if (i > 0) buf.push_back('\t');
        for (char c : table.field(i).name) buf.push_back(c >= 'a' && c <= 'z' ? char(c - 32) : c);
    }
    buf.push_back('\n');
    for (table.first(); !table.eof() && !table.isEmpty(); table.next()) {
        const dbase::Record& record = table.record();
        for (int i = 0; i < table.fieldCount(); ++i) {
            if (i > 0) buf.push_back('\t');
            appendDumpValue(record, i, buf);
        }
        buf.push_back('\n');
        out.maybeFlush();
    }
    out.flush();
    return 0;
}

int info(const std::string& path) {
    dbase::Table table;
    openForReading(table, path);
    std::printf("File:            %s\n", path.c_str());
    std::printf("Version:         0x%02X\n", table.version());
    std::printf("Code page:       %d (language driver 0x%02X)\n", table.codePage(),
                table.languageDriver());
    std::printf("Production index: %s\n", table.hasProductionIndexFlag() ? "yes" : "no");
    std::printf("Records:         %u\n", table.recordCount());
    std::printf("Deleted:         %u\n", table.countDeleted());
    std::printf("Record length:   %u\n", table.recordLength());
    std::printf("Fields:          %d\n", table.fieldCount());
    std::printf("  %-3s %-10s %-4s %5s %8s\n", "No", "Name", "Type", "Width", "Decimals");
    for (int i = 0; i < table.fieldCount(); ++i) {
        const dbase::FieldDef& f = table.field(i);
        std::printf("  %-3d %-10s %-4c %5d %8d\n", i + 1, f.name.c_str(), f.type, f.width, f.decimals);
    }
    return 0;
}

int check(const std::string& path) {
    dbase::Table table;
    openForReading(table, path);
    // Read every record once: a deletion mark other than blank or "*" means the record
    // boundaries are off, which the header checks alone cannot see.
    if (const auto bad = table.firstBadRecord())
        throw dbase::Error(path + " is damaged: record " + std::to_string(bad) +
                           " does not start with a deletion mark");
    std::puts("ok");
    return 0;
}

int create(const std::string& path) {
    dbase::Table::create(path, core::InventoryColumns());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "vantorel-dbf: %s\n%s",
                     args.empty() ? "a command and a file are needed" : "wrong number of arguments",
                     kUsage);
        return kUsageError;
    }
    const std::string& command = args[0];
    const std::string& file = args[1];
    try {
        if (command == "dump") return dump(file);
        if (command == "info") return info(file);
        if (command == "check") return check(file);
        if (command == "create") return create(file);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "vantorel-dbf: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "vantorel-dbf: unknown command '%s'\n%s", command.c_str(), kUsage);
    return kUsageError;
}
