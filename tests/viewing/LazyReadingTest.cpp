#include "InventoryTables.h"

#include "viewing/InventoryModel.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <gtest/gtest.h>

using namespace viewing_test;
using viewing::InventoryModel;
using viewing::RowCache;

namespace {

// A grid over a large table in index order reads the rows it paints and a block around them,
// however far it scrolls; the rest of the table is never read.
TEST(LazyReading, AGridReadsOnlyTheRowsItShows) {
    constexpr int kRows = 20000;
    QTemporaryDir dir;
    const std::string path = makeStock(dir, kRows, true);
    dbase::Table t;
    t.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    t.selectIndex("NEWINDEX");
    const std::vector<QString> expected = straightWalk(t, kItem);
    t.first();

    InventoryModel model(t, defaultNames());
    model.setBackgroundFill(false); // nothing but the view's own requests
    const RowCache::Counters& read = model.rows().counters();
    QTableView view;
    view.setModel(&model);
    view.resize(900, 600);
    view.show();
    constexpr auto kBlock = uint64_t{RowCache::kBlockRows};

    view.grab();
    const int top = view.rowAt(0);
    EXPECT_EQ(top, 0);
    EXPECT_GT(read.rowsDecoded, 0u);
    EXPECT_LE(read.rowsDecoded, 2 * kBlock);
    EXPECT_LE(read.steps, 2 * kBlock);

    const uint64_t decoded = read.rowsDecoded;
    view.grab();
    EXPECT_EQ(read.rowsDecoded, decoded) << "a repaint read the rows again";

    // The last page is read backwards from the last record, not by a walk from the top.
    view.scrollToBottom();
    view.grab();
    EXPECT_EQ(view.rowAt(view.viewport()->height() - 1), kRows - 1);
    EXPECT_EQ(cell(model, kRows - 1, kItem), expected[kRows - 1]);
    EXPECT_LE(read.rowsDecoded, 4 * kBlock);
    EXPECT_LE(read.steps, 4 * kBlock);

    // Three quarters down: from the nearer end.
    const uint64_t stepsBefore = read.steps;
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() * 3 / 4);
    view.grab();
    const int shown = view.rowAt(0);
    EXPECT_EQ(cell(model, shown, kItem), expected[static_cast<size_t>(shown)]);
    EXPECT_LE(read.steps - stepsBefore, uint64_t{kRows / 4} + 2 * kBlock);
    EXPECT_LE(read.rowsDecoded, 6 * kBlock);
    EXPECT_LE(model.rows().heldRowCount(), RowCache::kMaxBlocks * RowCache::kBlockRows);
}

} // namespace
