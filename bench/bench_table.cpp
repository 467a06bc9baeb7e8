// bench_table: how fast the table engine writes and reads a large inventory table, and how much
// heap a pass over the whole table holds. run_table_bench.sh drives it and sets the figures
// beside cat, `vantorel-dbf dump` and a converter measured on the same file.
//
//   bench_table create FILE N         an inventory table of N records, through the engine
//   bench_table scan FILE [REPEAT]    every field of every record as text; best of REPEAT
//
// Each result is one tab-separated line: name, records, seconds, then figures of its own.

#include "InventoryRecords.h"

#include "core/FieldCatalogue.h"
#include "dbase/Table.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

// ---------------------------------------------------------------------------------------------
// Heap accounting. Every operator new and delete of the program goes through here, so the
// figures include what the engine and the standard library allocate on its behalf. The usable
// size of each block is counted, which is what the block really costs.

namespace {

std::atomic<size_t> gHeapNow{0};
std::atomic<size_t> gHeapPeak{0};
std::atomic<uint64_t> gAllocations{0};

void noteAllocated(void* p) {
    if (!p) return;
    const size_t size = malloc_usable_size(p);
    const size_t now = gHeapNow.fetch_add(size, std::memory_order_relaxed) + size;
    size_t peak = gHeapPeak.load(std::memory_order_relaxed);
    while (now > peak && !gHeapPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
    gAllocations.fetch_add(1, std::memory_order_relaxed);
}

void* allocate(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    noteAllocated(p);
    return p;
}

void* allocateAligned(size_t size, std::align_val_t alignment) {
    const auto align = static_cast<size_t>(alignment);
    // aligned_alloc wants a multiple of the alignment.
    const size_t rounded = std::max(align, (size + align - 1) / align * align);
    void* p = std::aligned_alloc(align, rounded);
    if (!p) throw std::bad_alloc();
    noteAllocated(p);
    return p;
}

void release(void* p) noexcept {
    if (!p) return;
    gHeapNow.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
    std::free(p);
}

template <class F> void* orNull(F&& allocation) noexcept {
    try {
        return allocation();
    } catch (...) {
        return nullptr;
    }
}

} // namespace

void* operator new(size_t size) {
    return allocate(size);
}
void* operator new[](size_t size) {
    return allocate(size);
}
void* operator new(size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
}
void* operator new[](size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return orNull([&] { return allocate(size); });
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return orNull([&] { return allocate(size); });
}
void* operator new(size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return orNull([&] { return allocateAligned(size, a); });
}
void* operator new[](size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return orNull([&] { return allocateAligned(size, a); });
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, size_t) noexcept {
    release(p);
}
void operator delete[](void* p, size_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int create(const std::string& path, uint32_t count) {
    const auto start = Clock::now();
    dbase::Table::create(path, core::InventoryColumns());
    dbase::Table table;
    table.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
    bench::Random random(bench::kTableSeed);
    std::string text;
    for (uint32_t n = 1; n <= count; ++n) {
        table.insert();
        bench::fillInventoryRecord(table, random, n, text);
        table.post();
    }
    const unsigned recordLength = table.recordLength();
    table.close();
    const double seconds = secondsSince(start);
    std::printf("create\t%u\t%.6f\t%u\n", count, seconds, recordLength);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Reading

struct Pass {
    uint32_t records = 0;
    uint64_t textBytes = 0; // also keeps the compiler from dropping the work
    double seconds = 0;
};

// Every field of every record as text, as a grid or an export needs them. The text goes into
// one reused string, so after the first record nothing is allocated per record.
Pass readAllText(const std::string& path) {
    Pass pass;
    const auto start = Clock::now();
    dbase::Table table;
    table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    const int fields = table.fieldCount();
    std::string line;
    for (table.first(); !table.eof(); table.next()) {
        const dbase::Record& record = table.record();
        line.clear();
        for (int i = 0; i < fields; ++i)
            record.appendText(i, line);
        pass.textBytes += line.size();
        ++pass.records;
    }
    table.close();
    pass.seconds = secondsSince(start);
    return pass;
}

// The cursor alone, no field converted: what is left of readAllText is the cost of the text.
Pass moveCursorOnly(const std::string& path) {
    Pass pass;
    const auto start = Clock::now();
    dbase::Table table;
    table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    for (table.first(); !table.eof(); table.next()) {
        pass.textBytes += static_cast<unsigned char>(table.record().bytes()[1]);
        ++pass.records;
    }
    table.close();
    pass.seconds = secondsSince(start);
    return pass;
}

// The fastest of `repeat` passes, counting one already made.
template <class Run> Pass fastest(Pass first, int repeat, const std::string& path, Run run) {
    for (int i = 1; i < repeat; ++i) {
        const Pass p = run(path);
        if (p.seconds < first.seconds) first = p;
    }
    return first;
}

int scan(const std::string& path, int repeat) {
    // The first text pass also measures the heap: its peak, above what was held before it, is
    // what a pass over the table costs in memory, whatever the table's size.
    const size_t before = gHeapNow.load();
    gHeapPeak.store(before);
    const uint64_t allocationsBefore = gAllocations.load();
    const Pass measured = readAllText(path);
    const size_t peak = gHeapPeak.load() - before;
    const uint64_t allocations = gAllocations.load() - allocationsBefore;

    const Pass text = fastest(measured, repeat, path, readAllText);
    const Pass cursor = fastest(moveCursorOnly(path), repeat, path, moveCursorOnly);
    if (text.records != cursor.records) {
        std::fprintf(stderr, "bench_table: the passes saw %u and %u records\n", text.records,
                     cursor.records);
        return 1;
    }
    std::printf("scan_cursor\t%u\t%.6f\n", cursor.records, cursor.seconds);
    std::printf("scan_text\t%u\t%.6f\t%llu\n", text.records, text.seconds,
                static_cast<unsigned long long>(text.textBytes));
    std::printf("peak_heap\t%u\t0\t%zu\t%llu\n", measured.records, peak,
                static_cast<unsigned long long>(allocations));
    return 0;
}

const char* const kUsage = "Usage: bench_table create FILE RECORDS\n"
                           "       bench_table scan FILE [REPEAT]\n";

bool parseCount(const char* text, unsigned long long& value) {
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return end && *end == '\0' && end != text;
}

} // namespace

int main(int argc, char** argv) {
#ifndef NDEBUG
    std::fputs("bench_table: built without optimisation; the figures mean little\n", stderr);
#endif
    const std::string command = argc > 1 ? argv[1] : "";
    unsigned long long number = 0;
    try {
        if (command == "create" && argc == 4 && parseCount(argv[3], number) && number > 0 &&
            number <= 100'000'000)
            return create(argv[2], static_cast<uint32_t>(number));
        if (command == "scan" && (argc == 3 || argc == 4)) {
            if (argc == 4 && !(parseCount(argv[3], number) && number >= 1 && number <= 100)) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            return scan(argv[2], argc == 4 ? static_cast<int>(number) : 1);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_table: %s\n", e.what());
        return 1;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
