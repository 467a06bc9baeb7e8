// bench_index: how fast the engine builds, opens, reads, extends and searches a production index
// tag on a large inventory table. run_index_bench.sh drives it and sets the figures beside
// `sort` on the same keys and, when Free Pascal is installed, TDbf on the same table.
//
//   bench_index build FILE [REPEAT]     adds the tag NEWINDEX to a table that has no tag yet
//                                       (exclusive use); best of REPEAT builds
//   bench_index keys FILE OUT [--tag-order]
//                                       the NEWINDEX key of every record into OUT, one a line, in
//                                       record order or in the order of the tag
//   bench_index open FILE [REPEAT]      opens shared, selects NEWINDEX, goes to the first record
//   bench_index read FILE [REPEAT]      every record in tag order and in record order, with every
//                                       field as text and with the cursor alone; best of REPEAT
//   bench_index insert FILE N           N new records into the indexed table (exclusive use),
//                                       then checks the tag against the records
//   bench_index lookup FILE N [--exclusive] [--repeat R] [--mark]
//                                       N findNearest calls on prefixes of existing keys;
//                                       --mark writes "lookups begin"/"lookups end" to stderr
//                                       around the first timed run, for a syscall trace
//   bench_index depth FILE              levels of NEWINDEX's tree, root to leaf
//
// Each result is one tab-separated line: name, records, seconds, then figures of its own.

#include "InventoryRecords.h"

#include "dbase/File.h"
#include "dbase/KeyExpression.h"
#include "dbase/MdxFile.h"
#include "dbase/Table.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The tag every step works on: a category list sorted by purchase date, then cost, the kind of
// order a user asks for in the viewer. Its keys are 40 bytes (20 + 8 + 12).
constexpr const char* kTag = "NewIndex";
constexpr const char* kExpression = "Upper(Left(Category,20))+DTOS(PurchDate)+STR(Cost,12,2)";

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

std::string indexPathOf(const std::string& table) {
    const std::string folder = dbase::folderOf(table);
    const std::string name = dbase::tableNameOf(table) + ".MDX";
    return dbase::findFileIgnoringCase(folder, name).value_or(folder + name);
}

// The table compiles its tags with the accented letters of code page 1252 upper-cased when the
// table is in that code page (or names none); the keys written here must be the same bytes.
dbase::KeyExpression compileFor(const dbase::Table& table) {
    const bool ansi = table.codePage() == 1252 || table.codePage() == 0;
    return dbase::KeyExpression::compile(kExpression, table.fields(), ansi);
}

// ---------------------------------------------------------------------------------------------
// Building the tag

int build(const std::string& path, int repeat) {
    dbase::Table table;
    table.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
    if (!table.indexes().empty())
        fail(path + " has index tags already; the build is timed on a table without any");
    double best = std::numeric_limits<double>::infinity();
    for (int i = 0; i < repeat; ++i) {
        // Between builds the tag goes again, untimed, so that each build starts from no index.
        if (i > 0) table.deleteIndex(kTag);
        const auto start = Clock::now();
        table.addIndex(kTag, kExpression);
        best = std::min(best, secondsSince(start));
    }
    const uint32_t records = table.recordCount();
    const int keyLength = table.indexes().front().keyLength;
    table.close();
    std::printf("build\t%u\t%.6f\t%d\t%llu\n", records, best, keyLength,
                static_cast<unsigned long long>(std::filesystem::file_size(indexPathOf(path))));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The keys for `sort`: the very bytes the tag holds, one key a line. In tag order they are
// what `sort` must give back from the keys in record order, which checks the tag's order.

int writeKeys(const std::string& path, const std::string& out, bool tagOrder) {
    const auto start = Clock::now();
    dbase::Table table;
    table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    if (tagOrder) table.selectIndex(kTag);
    const dbase::KeyExpression expression = compileFor(table);
    std::FILE* file = std::fopen(out.c_str(), "wb");
    if (!file) fail("cannot write " + out);
    std::string key;
    std::string buffer;
    uint32_t records = 0;
    uint64_t bytes = 0;
    bool ok = true;
    for (table.first(); !table.eof() && ok; table.next()) {
        expression.evaluate(table.record(), key);
        if (key.find('\n') != std::string::npos) fail("a key holds a line break");
        buffer.append(key).push_back('\n');
        ++records;
        if (buffer.size() >= (1u << 20)) {
            ok = std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
            bytes += buffer.size();
            buffer.clear();
        }
    }
    ok = ok && std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
    bytes += buffer.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) fail("cannot write " + out);
    table.close();
    std::printf("keys\t%u\t%.6f\t%llu\n", records, secondsSince(start),
                static_cast<unsigned long long>(bytes));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Opening in tag order: what a user waits for before the viewer shows its first row.

int openFirst(const std::string& path, int repeat) {
    std::vector<double> times;
    uint32_t records = 0;
    for (int i = 0; i < repeat; ++i) {
        const auto start = Clock::now();
        dbase::Table table;
        table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
        table.selectIndex(kTag);
        table.first();
        const double seconds = secondsSince(start);
        if (table.eof() || table.recno() == 0) fail("no first record in tag order");
        records = table.recordCount();
        times.push_back(seconds);
    }
    std::sort(times.begin(), times.end());
    std::printf("open_first\t%u\t%.6f\t%.6f\t%.6f\n", records, times[times.size() / 2],
                times.front(), times.back());
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Reading every record

struct Pass {
    uint32_t records = 0;
    uint64_t recnoSum = 0;  // every record once, whatever the order
    uint64_t textBytes = 0; // also keeps the compiler from dropping the work
    double seconds = 0;
};

// A pass in tag order reads as a report or an export does (bulk reading), unless `interactive`:
// then as the viewer does, a record at a time.
Pass readAll(const std::string& path, bool tagOrder, bool withText, bool interactive = false) {
    Pass pass;
    const auto start = Clock::now();
    dbase::Table table;
    table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    if (tagOrder) table.selectIndex(kTag);
    table.setBulkReading(!interactive);
    const int fields = table.fieldCount();
    std::string line;
    for (table.first(); !table.eof(); table.next()) {
        const dbase::Record& record = table.record();
        if (withText) {
            line.clear();
            for (int i = 0; i < fields; ++i)
                record.appendText(i, line);
            pass.textBytes += line.size();
        } else {
            pass.textBytes += static_cast<unsigned char>(record.bytes()[1]);
        }
        pass.recnoSum += table.recno();
        ++pass.records;
    }
    table.close();
    pass.seconds = secondsSince(start);
    return pass;
}

Pass fastest(const std::string& path, bool tagOrder, bool withText, int repeat,
             bool interactive = false) {
    Pass best;
    best.seconds = std::numeric_limits<double>::infinity();
    for (int i = 0; i < repeat; ++i) {
        const Pass p = readAll(path, tagOrder, withText, interactive);
        if (p.seconds < best.seconds) best = p;
    }
    return best;
}

int read(const std::string& path, int repeat) {
    const Pass tagText = fastest(path, true, true, repeat);
    const Pass tagCursor = fastest(path, true, false, repeat);
    const Pass tagInteractive = fastest(path, true, true, repeat, true);
    const Pass recordText = fastest(path, false, true, repeat);
    const Pass recordCursor = fastest(path, false, false, repeat);
    for (const Pass* p : {&tagText, &tagCursor, &tagInteractive, &recordCursor}) {
        if (p->records != recordText.records || p->recnoSum != recordText.recnoSum) {
            std::fprintf(stderr, "bench_index: the passes saw different records (%u and %u)\n",
                         p->records, recordText.records);
            return 1;
        }
    }
    if (tagText.textBytes != recordText.textBytes) {
        std::fputs("bench_index: the text read in tag order differs from record order\n", stderr);
        return 1;
    }
    const uint32_t n = recordText.records;
    std::printf("read_tag_text\t%u\t%.6f\t%llu\n", n, tagText.seconds,
                static_cast<unsigned long long>(tagText.textBytes));
    std::printf("read_tag_cursor\t%u\t%.6f\n", n, tagCursor.seconds);
    std::printf("read_tag_text_interactive\t%u\t%.6f\n", n, tagInteractive.seconds);
    std::printf("read_record_text\t%u\t%.6f\t%llu\n", n, recordText.seconds,
                static_cast<unsigned long long>(recordText.textBytes));
    std::printf("read_record_cursor\t%u\t%.6f\n", n, recordCursor.seconds);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Adding records to an indexed table

int insert(const std::string& path, uint32_t count) {
    dbase::Table table;
    table.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
    table.selectIndex(kTag); // as the viewer has it while the user adds items
    const uint32_t before = table.recordCount();
    // Another seed than the table's: new items, not copies of the first ones.
    bench::Random random(bench::kTableSeed + 1);
    std::string text;
    const auto start = Clock::now();
    for (uint32_t n = 1; n <= count; ++n) {
        table.insert();
        bench::fillInventoryRecord(table, random, before + n, text);
        table.post();
    }
    table.close();
    const double seconds = secondsSince(start);

    // Untimed: every record must have its one entry, in order, with the right key.
    table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    if (table.recordCount() != before + count) fail("the table did not grow by every record");
    const std::string fault = table.verifyIndexes();
    if (!fault.empty()) fail("after the inserts: " + fault);
    table.close();
    std::printf("insert\t%u\t%.6f\t%u\n", before, seconds, count);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Looking up keys

struct LookupOptions {
    bool exclusive = false;
    int repeat = 3;
    bool mark = false;
};

int lookup(const std::string& path, uint32_t count, const LookupOptions& options) {
    dbase::Table table;
    // Exclusive use lets the index keep the nodes it has read; shared use reads them afresh
    // every time, since another user may have changed them.
    if (options.exclusive)
        table.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadOnly);
    else
        table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    const uint32_t records = table.recordCount();
    if (records == 0) fail(path + " has no records");
    const dbase::KeyExpression expression = compileFor(table);
    table.selectIndex(kTag);

    // Prefixes of the keys of randomly chosen records, 1 to 40 bytes long: every lookup has
    // a match, and most go all the way down to a leaf.
    bench::Random random(7);
    std::vector<std::string> prefixes(count);
    std::string key;
    for (std::string& prefix : prefixes) {
        table.gotoBookmark(dbase::Bookmark{1 + static_cast<uint32_t>(random.below(static_cast<int>(records)))});
        expression.evaluate(table.record(), key);
        prefix = key.substr(0, static_cast<size_t>(1 + random.below(static_cast<int>(key.size()))));
    }

    std::vector<uint32_t> found(count);
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < options.repeat; ++run) {
        const bool marked = options.mark && run == 0;
        if (marked) std::fputs("lookups begin\n", stderr);
        const auto start = Clock::now();
        for (uint32_t i = 0; i < count; ++i) {
            table.findNearest(prefixes[i]);
            found[i] = table.recno();
        }
        best = std::min(best, secondsSince(start));
        if (marked) std::fputs("lookups end\n", stderr);
    }

    // Untimed: the first key at or after an existing prefix begins with that prefix.
    for (uint32_t i = 0; i < count; ++i) {
        table.gotoBookmark(dbase::Bookmark{found[i]});
        expression.evaluate(table.record(), key);
        if (key.compare(0, prefixes[i].size(), prefixes[i]) != 0)
            fail("findNearest('" + prefixes[i] + "') went to record " + std::to_string(found[i]) +
                 ", whose key is '" + key + "'");
    }
    table.close();
    std::printf("%s\t%u\t%.6f\t%u\t%.3f\n", options.exclusive ? "lookup_exclusive" : "lookup_shared",
                records, best, count, best / count * 1e6);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The shape of the tree

int depth(const std::string& path) {
    uint32_t records = 0;
    {
        dbase::Table table;
        table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
        records = table.recordCount();
    }
    dbase::MdxFile mdx;
    mdx.open(indexPathOf(path), false, true);
    const int tag = mdx.findTag(kTag);
    if (tag < 0) fail(indexPathOf(path) + " has no tag " + kTag);
    dbase::MdxCursor cursor;
    mdx.first(tag, cursor);
    // The path holds the inner nodes passed on the way down; the leaf is one more level.
    const size_t levels = cursor.path.size() + 1;
    const int perNode = mdx.tags()[static_cast<size_t>(tag)].maxKeys;
    mdx.close();
    std::printf("depth\t%u\t0\t%zu\t%d\n", records, levels, perNode);
    return 0;
}

// ---------------------------------------------------------------------------------------------

const char* const kUsage =
    "Usage: bench_index build FILE [REPEAT]\n"
    "       bench_index keys FILE OUT [--tag-order]\n"
    "       bench_index open FILE [REPEAT]\n"
    "       bench_index read FILE [REPEAT]\n"
    "       bench_index insert FILE N\n"
    "       bench_index lookup FILE N [--exclusive] [--repeat R] [--mark]\n"
    "       bench_index depth FILE\n";

bool parseCount(const char* text, unsigned long long& value) {
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return end && *end == '\0' && end != text && text[0] != '-';
}

// An optional REPEAT argument at argv[at]: 1..1000, `fallback` when absent; 0 when invalid.
int repeatArgument(int argc, char** argv, int at, int fallback) {
    if (argc <= at) return fallback;
    unsigned long long n = 0;
    return argc == at + 1 && parseCount(argv[at], n) && n >= 1 && n <= 1000 ? static_cast<int>(n) : 0;
}

int run(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (argc < 3) return -1;
    const std::string path = argv[2];
    unsigned long long n = 0;
    if (command == "build" || command == "open" || command == "read") {
        const int repeat = repeatArgument(argc, argv, 3, command == "open" ? 21 : 1);
        if (repeat == 0) return -1;
        if (command == "build") return build(path, repeat);
        if (command == "open") return openFirst(path, repeat);
        return read(path, repeat);
    }
    if (command == "keys" && (argc == 4 || (argc == 5 && std::string_view(argv[4]) == "--tag-order")))
        return writeKeys(path, argv[3], argc == 5);
    if (command == "insert" && argc == 4 && parseCount(argv[3], n) && n >= 1 && n <= 10'000'000)
        return insert(path, static_cast<uint32_t>(n));
    if (command == "depth" && argc == 3) return depth(path);
    if (command == "lookup" && argc >= 4 && parseCount(argv[3], n) && n >= 1 && n <= 10'000'000) {
        LookupOptions options;
        for (int i = 4; i < argc; ++i) {
            const std::string_view option = argv[i];
            unsigned long long r = 0;
            if (option == "--exclusive")
                options.exclusive = true;
            else if (option == "--mark")
                options.mark = true;
            else if (option == "--repeat" && i + 1 < argc && parseCount(argv[i + 1], r) && r >= 1 && r <= 100)
                options.repeat = static_cast<int>(r), ++i;
            else
                return -1;
        }
        return lookup(path, static_cast<uint32_t>(n), options);
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
#ifndef NDEBUG
    std::fputs("bench_index: built without optimisation; the figures mean little\n", stderr);
#endif
    try {
        const int status = run(argc, argv);
        if (status >= 0) return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_index: %s\n", e.what());
        return 1;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
