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
    "Usage: vantorel-dbf COMMAND FILE [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  info FILE                   version, code page, record count and length, fields,\n"
    "                              deleted records, index tags\n"
    "  dump FILE [--tag NAME]      the records that are not deleted, as tab-separated values,\n"
    "                              in record order or in the order of an index tag\n"
    "  check FILE                  prints \"ok\" for a sound table and index, otherwise the\n"
    "                              first fault (exit code 1)\n"
    "  create FILE                 an empty inventory table of the 22 inventory columns\n"
    "  index FILE NAME EXPRESSION  adds (or replaces) an index tag on a dBASE key expression\n"
    "  reindex FILE                builds every index tag again from the records\n"
    "  pack FILE                   removes deleted records for good and rebuilds the tags\n"
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

int dump(const std::string& path, const std::string& tag) {
    dbase::Table table;
    openForReading(table, path);
    if (!tag.empty()) table.selectIndex(tag);
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
    if (!table.indexProblem().empty()) {
        std::printf("Index tags:      unusable: %s\n", table.indexProblem().c_str());
        return 0;
    }
    const auto tags = table.indexes();
    std::printf("Index tags:      %zu\n", tags.size());
    if (!tags.empty()) std::printf("  %-10s %-4s %6s  %s\n", "Name", "Type", "Length", "Expression");
    for (const dbase::IndexDefinition& d : tags)
        std::printf("  %-10s %-4c %6d  %s\n", d.name.c_str(), static_cast<char>(d.keyType), d.keyLength,
                    d.expression.c_str());
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
    if (const std::string fault = table.verifyIndexes(); !fault.empty()) throw dbase::Error(fault);
    std::puts("ok");
    return 0;
}

// Commands that change the files take the table for sole use.
void openForChanging(dbase::Table& table, const std::string& path) {
    table.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
}

int index(const std::string& path, const std::string& name, const std::string& expression) {
    dbase::Table table;
    openForChanging(table, path);
    table.addIndex(name, expression);
    table.close();
    return 0;
}

int reindex(const std::string& path) {
    dbase::Table table;
    openForChanging(table, path);
    table.reindex();
    table.close();
    return 0;
}

int pack(const std::string& path) {
    dbase::Table table;
    openForChanging(table, path);
    table.pack();
    table.close();
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
    auto usage = [](const std::string& problem) {
        std::fprintf(stderr, "vantorel-dbf: %s\n%s", problem.c_str(), kUsage);
        return kUsageError;
    };
    if (args.size() < 2) return usage("a command and a file are needed");
    const std::string& command = args[0];
    const std::string& file = args[1];
    const size_t extra = args.size() - 2;
    try {
        if (command == "dump") {
            if (extra == 0) return dump(file, {});
            if (extra == 2 && args[2] == "--tag") return dump(file, args[3]);
            return usage("dump takes a file and, optionally, --tag NAME");
        }
        if (command == "index") {
            if (extra != 2) return usage("index takes a file, a tag name and an expression");
            return index(file, args[2], args[3]);
        }
        if (command == "info" || command == "check" || command == "create" || command == "reindex" ||
            command == "pack") {
            if (extra != 0) return usage(command + " takes a file only");
            if (command == "info") return info(file);
            if (command == "check") return check(file);
            if (command == "create") return create(file);
            if (command == "reindex") return reindex(file);
            return pack(file);
        }
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "vantorel-dbf: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "vantorel-dbf: unknown command '%s'\n%s", command.c_str(), kUsage);
    return kUsageError;
}
