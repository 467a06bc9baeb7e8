#pragma once

// The records the benchmarks write: what a household's inventory looks like, from a seeded
// generator, so every run writes the same table.

#include <cstdint>
#include <string>

namespace dbase {
class Table;
}

namespace bench {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() { // splitmix64
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }

private:
    uint64_t state_;
};

// The seed of the tables bench_table creates.
constexpr uint64_t kTableSeed = 20240611;

// Sets every field of the record being inserted into an inventory table (the 22 catalogue
// columns): short lists for the pick-list columns, free text of varied length elsewhere,
// money with cents, a tenth of the purchase dates unknown. `number` feeds the serial number;
// `text` is scratch space, reused so that a long run allocates little.
void fillInventoryRecord(dbase::Table& table, Random& random, uint32_t number, std::string& text);

} // namespace bench
