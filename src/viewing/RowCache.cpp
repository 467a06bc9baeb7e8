#include "viewing/RowCache.h"

#include "core/Cp1252.h"
#include "dbase/Table.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <iterator>

namespace viewing {
namespace {

// Puts the table's cursor back on the record it stood on when the cache borrowed it.
class CursorKeeper {
public:
    explicit CursorKeeper(dbase::Table& table) : table_(table), recno_(table.recno()) {}
    ~CursorKeeper() {
        if (table_.recno() == recno_) return;
        try {
            if (recno_ != 0)
                table_.gotoBookmark(dbase::Bookmark{recno_});
            else
                table_.first(); // there was no current record: the first one is as good
        } catch (const dbase::Error&) {
            // The record cannot be read back; the cursor stays where the walk left it, and
            // the caller's own reading reports the damage.
        }
    }
    CursorKeeper(const CursorKeeper&) = delete;
    CursorKeeper& operator=(const CursorKeeper&) = delete;

private:
    dbase::Table& table_;
    uint32_t recno_;
};

int clampRows(uint32_t n) {
    return n > uint32_t{INT_MAX} ? INT_MAX : static_cast<int>(n);
}

} // namespace

RowCache::RowCache(dbase::Table& table) : table_(table) {}

RowCache::RowCache(dbase::Table& table, const Counters& counters)
    : table_(table), counters_(counters) {}

bool RowCache::canWalk() const {
    return !suspended_ && table_.isOpen() && table_.state() == dbase::Table::State::Browse;
}

void RowCache::forgetRows(bool moved) {
    blocks_.clear();
    if (!moved || identity_ || table_.selectedIndex().empty()) return;
    anchors_.clear();
    anchorRows_.clear();
    firstSought_ = lastSought_ = false;
    fillFrom_ = 0;
}

void RowCache::reset() {
    count_ = 0;
    identity_ = false;
    firstSought_ = lastSought_ = false;
    anchors_.clear();
    anchorRows_.clear();
    fillFrom_ = 0;
    blocks_.clear();
    if (!table_.isOpen()) return;

    const bool indexed = !table_.selectedIndex().empty();
    if (indexed || !canWalk()) {
        // In index order a walk jumps about the file; the engine's count reads it in one
        // sequential pass instead, and the anchors come later.
        count_ = clampRows(table_.countVisible());
        identity_ = !indexed && static_cast<uint32_t>(count_) == table_.recordCount();
        return;
    }

    // Record order: counting reads every record anyway, so the same pass sets every anchor.
    CursorKeeper keep(table_);
    int n = 0;
    uint32_t last = 0;
    table_.first();
    ++counters_.seeks;
    if (!table_.isEmpty()) {
        for (;;) {
            last = table_.recno();
            if (n % kBlockRows == 0) anchors_.emplace(n, last);
            if (n == INT_MAX) break;
            ++n;
            table_.next();
            ++counters_.steps;
            if (table_.eof()) break;
        }
    }
    count_ = n;
    identity_ = static_cast<uint32_t>(n) == table_.recordCount();
    if (identity_) {
        anchors_.clear();
        return;
    }
    if (n > 0) anchors_.emplace(n - 1, last);
    for (const auto& [row, recno] : anchors_)
        anchorRows_.emplace(recno, row);
    firstSought_ = lastSought_ = true;
    fillFrom_ = count_;
}

// ---------------------------------------------------------------------------------------------
// Rows

const RowCache::Block* RowCache::findBlock(int number) const {
    for (const Block& block : blocks_)
        if (block.number == number) return &block;
    return nullptr;
}

const RowCache::Row* RowCache::heldRow(int r) const {
    if (r < 0 || r >= count_) return nullptr;
    const Block* block = findBlock(r / kBlockRows);
    return block ? &block->rows[static_cast<size_t>(r % kBlockRows)] : nullptr;
}

const RowCache::Row* RowCache::row(int r) {
    if (r < 0 || r >= count_) return nullptr;
    const int number = r / kBlockRows;
    const auto index = static_cast<size_t>(r % kBlockRows);
    for (Block& block : blocks_) {
        if (block.number != number) continue;
        block.lastUse = ++useClock_;
        return &block.rows[index];
    }
    if (!canWalk()) return nullptr;
    return &fetchBlock(number).rows[index];
}

int RowCache::heldRowCount() const {
    size_t n = 0;
    for (const Block& block : blocks_)
        n += block.rows.size();
    return static_cast<int>(n);
}

void RowCache::decode(Row& row) {
    const dbase::Record& record = table_.record();
    row.recno = table_.recno();
    row.texts.resize(static_cast<size_t>(record.fieldCount()));
    for (int i = 0; i < record.fieldCount(); ++i) {
        scratch_.clear();
        record.appendText(i, scratch_);
        row.texts[static_cast<size_t>(i)] =
            scratch_.empty() ? QString() : core::fromTableText(scratch_);
    }
    ++counters_.rowsDecoded;
}

const RowCache::Block& RowCache::fetchBlock(int number) {
    const int first = number * kBlockRows;
    const int end = std::min(first + kBlockRows, count_);
    Block block;
    block.number = number;
    block.rows.resize(static_cast<size_t>(end - first));
    const auto collect = [&](int r) {
        if (r >= first && r < end) decode(block.rows[static_cast<size_t>(r - first)]);
    };
    {
        CursorKeeper keep(table_);
        if (identity_) {
            walk(first, static_cast<uint32_t>(first) + 1, end - 1, collect);
        } else {
            // Forwards from the nearest anchor at or before the block (and one row past it, to
            // leave the next block its anchor), or backwards from the nearest one at or after
            // its last row: whichever passes fewer records. Where no anchor is known yet on a
            // side, the end of the view on that side stands in for it.
            const auto floor = [&] {
                const auto it = anchors_.upper_bound(first);
                return it == anchors_.begin() ? anchors_.end() : std::prev(it);
            };
            const auto ceiling = [&] { return anchors_.lower_bound(end - 1); };
            auto before = floor();
            auto after = ceiling();
            const long forwardCost = long{end} - 1 - (before != anchors_.end() ? before->first : 0);
            const long backwardCost =
                (after != anchors_.end() ? after->first : count_ - 1) - long{first};
            const bool forward = forwardCost <= backwardCost;
            if (forward && before == anchors_.end() && ensureFirst()) before = floor();
            if (!forward && after == anchors_.end() && ensureLast()) after = ceiling();
            if (forward && before != anchors_.end())
                walk(before->first, before->second, std::min(end, count_ - 1), collect);
            else if (!forward && after != anchors_.end())
                walk(after->first, after->second, first, collect);
            // Otherwise the view is empty now: the rows stay unread until the next count.
        }
    }
    if (blocks_.size() >= static_cast<size_t>(kMaxBlocks)) {
        const auto oldest =
            std::min_element(blocks_.begin(), blocks_.end(),
                             [](const Block& a, const Block& b) { return a.lastUse < b.lastUse; });
        blocks_.erase(oldest);
    }
    block.lastUse = ++useClock_;
    blocks_.push_back(std::move(block));
    return blocks_.back();
}

// ---------------------------------------------------------------------------------------------
// Walking

// Goes to fromRow (whose record is fromRecno) and steps one row at a time towards toRow,
// calling visit(row) with the cursor on each row, the first and the last included. Returns the
// last row reached: short of toRow when the view ends first, which means the table changed
// since it was counted.
template <class Visit>
int RowCache::walk(int fromRow, uint32_t fromRecno, int toRow, Visit&& visit) {
    table_.gotoBookmark(dbase::Bookmark{fromRecno});
    ++counters_.seeks;
    int row = fromRow;
    visit(row);
    const bool forward = toRow > fromRow;
    while (row != toRow) {
        if (forward)
            table_.next();
        else
            table_.prior();
        ++counters_.steps;
        if (forward ? table_.eof() : table_.bof()) break;
        row += forward ? 1 : -1;
        noteAnchor(row, table_.recno());
        visit(row);
    }
    return row;
}

void RowCache::noteAnchor(int row, uint32_t recno) {
    if (identity_ || row < 0 || row >= count_) return;
    if (row % kBlockRows != 0 && row != count_ - 1) return;
    if (anchors_.try_emplace(row, recno).second) anchorRows_.emplace(recno, row);
}

// The first and the last row come straight from the engine, in any order. Each returns whether
// its row has an anchor now.
bool RowCache::ensureFirst() {
    if (!firstSought_ && count_ > 0) {
        firstSought_ = true;
        CursorKeeper keep(table_);
        table_.first();
        ++counters_.seeks;
        if (!table_.isEmpty()) noteAnchor(0, table_.recno());
    }
    return anchors_.contains(0);
}

bool RowCache::ensureLast() {
    if (!lastSought_ && count_ > 0) {
        lastSought_ = true;
        CursorKeeper keep(table_);
        table_.last();
        ++counters_.seeks;
        if (!table_.isEmpty()) noteAnchor(count_ - 1, table_.recno());
    }
    return anchors_.contains(count_ - 1);
}

int RowCache::knownRow(uint32_t recno) const {
    for (const Block& block : blocks_) {
        for (size_t i = 0; i < block.rows.size(); ++i)
            if (block.rows[i].recno == recno)
                return block.number * kBlockRows + static_cast<int>(i);
    }
    const auto it = anchorRows_.find(recno);
    return it != anchorRows_.end() ? it->second : -1;
}

bool RowCache::fillAnchors(int maxSteps) {
    if (identity_ || count_ <= kBlockRows) return false;
    if (!canWalk()) return true;           // not now; the stretches are still there
    if (!ensureFirst() || !ensureLast()) { // the view is not what was counted
        fillFrom_ = count_;
        return false;
    }
    CursorKeeper keep(table_);
    int budget = maxSteps;
    while (budget > 0) {
        const auto next = anchors_.upper_bound(fillFrom_);
        if (next == anchors_.begin() || next == anchors_.end()) {
            fillFrom_ = count_;
            return false;
        }
        const auto from = std::prev(next);
        if (next->first - from->first <= kBlockRows) {
            fillFrom_ = next->first;
            continue;
        }
        const int target = std::min(next->first, from->first + budget);
        const int reached = walk(from->first, from->second, target, [](int) {});
        if (reached < target) { // the view ended early: nothing more to learn until a reset
            fillFrom_ = count_;
            return false;
        }
        budget -= reached - from->first;
        fillFrom_ = reached;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The current record

int RowCache::rowOfCurrent() {
    if (!table_.isOpen() || count_ == 0) return -1;
    const uint32_t recno = table_.recno();
    if (recno == 0) return -1;
    if (const int r = knownRow(recno); r >= 0) return r;
    if (!canWalk()) return -1;
    if (identity_) return recno <= static_cast<uint32_t>(count_) ? static_cast<int>(recno) - 1 : -1;
    CursorKeeper keep(table_);
    return locateCurrent(recno);
}

// Finds the row of record x by walking away from it in both directions, in stretches that
// double, until either walk meets a record whose row is known or an end of the view: the cost
// is a few times the distance to the nearest anchor, whichever side it lies on.
int RowCache::locateCurrent(uint32_t x) {
    std::vector<uint32_t> before; // before[i]: the record i + 1 rows before x
    std::vector<uint32_t> after;  // after[i]: the record i + 1 rows after x
    long found = -1;

    // Whether x is in the view at all: the record after its predecessor must be x itself.
    table_.gotoBookmark(dbase::Bookmark{x});
    ++counters_.seeks;
    table_.prior();
    ++counters_.steps;
    if (table_.bof()) {
        table_.first();
        ++counters_.seeks;
        if (table_.recno() != x) return -1;
        found = 0;
    } else {
        before.push_back(table_.recno());
        table_.next();
        ++counters_.steps;
        if (table_.eof() || table_.recno() != x) return -1;
        if (const int r = knownRow(before.front()); r >= 0) found = long{r} + 1;
    }

    for (size_t stretch = kBlockRows; found < 0; stretch *= 2) {
        table_.gotoBookmark(dbase::Bookmark{before.back()});
        ++counters_.seeks;
        for (size_t i = 0; i < stretch; ++i) {
            table_.prior();
            ++counters_.steps;
            if (table_.bof()) { // before.back() is the first row
                found = static_cast<long>(before.size());
                break;
            }
            before.push_back(table_.recno());
            if (const int r = knownRow(before.back()); r >= 0) {
                found = long{r} + static_cast<long>(before.size());
                break;
            }
        }
        if (found >= 0) break;
        table_.gotoBookmark(dbase::Bookmark{after.empty() ? x : after.back()});
        ++counters_.seeks;
        for (size_t i = 0; i < stretch; ++i) {
            table_.next();
            ++counters_.steps;
            if (table_.eof()) { // the last record read is the last row
                found = long{count_} - 1 - static_cast<long>(after.size());
                break;
            }
            after.push_back(table_.recno());
            if (const int r = knownRow(after.back()); r >= 0) {
                found = long{r} - static_cast<long>(after.size());
                break;
            }
        }
    }
    if (found < 0 || found >= count_) return -1; // the table changed since it was counted

    // Everything passed on the way is placed now: leave anchors behind.
    const int row = static_cast<int>(found);
    noteAnchor(row, x);
    for (size_t i = 0; i < before.size(); ++i)
        noteAnchor(row - 1 - static_cast<int>(i), before[i]);
    for (size_t i = 0; i < after.size(); ++i)
        noteAnchor(row + 1 + static_cast<int>(i), after[i]);
    return row;
}

bool RowCache::moveTo(int r) {
    if (!canWalk()) return false;
    const Row* target = row(r);
    if (!target || target->recno == 0) return false;
    table_.gotoBookmark(dbase::Bookmark{target->recno});
    ++counters_.seeks;
    return true;
}

} // namespace viewing
