#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace dbase {
class Table;
}

namespace viewing {

// Row numbers over the current view of a table (its records in index or record order, deleted
// and filtered-out records left out), read lazily: only the rows asked for are decoded, and
// never more than kMaxBlocks blocks of them are held, whatever the size of the table.
//
// The engine moves a cursor one record at a time; it cannot go to "row n". So the cache keeps
// anchors: the record of every kBlockRows-th row it has passed, plus the first and the last
// row. A row is reached by a walk from the nearest anchor, forwards or backwards, and every
// walk leaves anchors behind it, so a region of the table once crossed stays cheap to reach.
// The first and the last row are asked of the engine only when they are the nearest way in:
// with a filter, finding either may mean a search through much of the index.
// fillAnchors() crosses the rest a slice at a time, so that after one quiet pass over the view
// every row lies within one block of an anchor. Two shortcuts need no walk at all:
//  - record order with no hidden record: row n is record n + 1;
//  - record order in general: counting the rows is a pass over the records anyway, and the
//    pass sets every anchor at once.
//
// The cache borrows the table's cursor to walk and puts it back on its record afterwards, so
// that the windows sharing the table find it where they left it. It never moves the cursor
// while the table is being edited (that would post the edit) or while suspended; then only
// the rows already decoded are given.
//
// Failures of the engine arrive as dbase::Error; the cache stays usable after one.
class RowCache {
public:
    static constexpr int kBlockRows = 64; // rows decoded together; also the spacing of anchors
    static constexpr int kMaxBlocks = 32; // decoded blocks kept, most recently used first

    struct Row {
        uint32_t recno = 0;         // 0: the view ended before this row (the table changed)
        std::vector<QString> texts; // every field of the table, in the table's field order
    };

    // What the cache has done since it was made: for tests and benchmarks.
    struct Counters {
        uint64_t steps = 0;       // next() and prior() calls
        uint64_t seeks = 0;       // jumps to a bookmark
        uint64_t rowsDecoded = 0; // rows whose fields were turned into text
    };

    explicit RowCache(dbase::Table& table);
    // `counters`: where the counters start, so that they run on across the caches a model
    // goes through.
    RowCache(dbase::Table& table, const Counters& counters);

    // Counts the view afresh and forgets every decoded row and anchor.
    void reset();
    // A record's fields changed and nothing was added, removed or hidden: the count stands.
    // The rows read are stale; when the record moved in index order the positions learnt go
    // too (in record order every record keeps its row).
    void forgetRows(bool moved);
    int count() const { return count_; }

    // Row r (0 <= r < count()), decoded together with its block when not held. nullptr when
    // it is not held and the table cannot be read now (see above).
    const Row* row(int r);
    const Row* heldRow(int r) const;

    // The row of the table's current record; -1 when the record is not in the view (deleted,
    // filtered out, no current record) or cannot be looked for now.
    int rowOfCurrent();
    // Puts the table's cursor on row r; false when it cannot.
    bool moveTo(int r);

    // Walks at most maxSteps records across the widest stretch still without anchors. Returns
    // whether any such stretch is left.
    bool fillAnchors(int maxSteps);

    // While suspended the table is left alone: someone else is walking its cursor.
    void setSuspended(bool suspended) { suspended_ = suspended; }
    bool isSuspended() const { return suspended_; }
    // Whether the cursor may be borrowed now.
    bool canWalk() const;

    // Whether every row lies within a block of an anchor (or needs none).
    bool allPlaced() const { return identity_ || count_ <= kBlockRows || fillFrom_ >= count_; }

    const Counters& counters() const { return counters_; }
    int heldRowCount() const;
    int anchorCount() const { return static_cast<int>(anchors_.size()); }

private:
    struct Block {
        int number = 0;
        uint64_t lastUse = 0;
        std::vector<Row> rows;
    };

    const Block* findBlock(int number) const;
    const Block& fetchBlock(int number);
    void decode(Row& row);
    template <class Visit> int walk(int fromRow, uint32_t fromRecno, int toRow, Visit&& visit);
    void noteAnchor(int row, uint32_t recno);
    bool ensureFirst();
    bool ensureLast();
    int knownRow(uint32_t recno) const;
    int locateCurrent(uint32_t recno);

    dbase::Table& table_;
    int count_ = 0;
    bool identity_ = false;    // record order, nothing hidden: row n is record n + 1
    bool firstSought_ = false; // asked the engine for the first row
    bool lastSought_ = false;  // and for the last
    bool suspended_ = false;
    std::map<int, uint32_t> anchors_;              // row -> record number
    std::unordered_map<uint32_t, int> anchorRows_; // record number -> row
    int fillFrom_ = 0;                             // rows before this have no wide gap
    std::vector<Block> blocks_;
    uint64_t useClock_ = 0;
    Counters counters_;
    std::string scratch_;
};

} // namespace viewing
