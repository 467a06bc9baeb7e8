#include "InventoryTables.h"

#include "viewing/InventoryModel.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <stdexcept>

using namespace viewing_test;
using dbase::Access;
using dbase::ShareMode;
using dbase::Table;
using viewing::InventoryModel;
using viewing::RowCache;

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Every row of the model against the engine's own walk over the same view.
void expectRowsMatchTheTable(const InventoryModel& model, Table& table) {
    const std::vector<QString> expected = straightWalk(table, kItem);
    ASSERT_EQ(model.rowCount(), static_cast<int>(expected.size()));
    for (int r = 0; r < model.rowCount(); ++r)
        ASSERT_EQ(cell(model, r, kItem), expected[static_cast<size_t>(r)]) << "row " << r;
}

bool hidesTools(const dbase::Record& record) {
    return record.text(kCategory) != "Tools";
}

TEST(InventoryModel, ShowsEveryFieldUnderItsTitleAsTheTableHoldsIt) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("HOME.DBF")).toStdString();
    Table::create(path, core::InventoryColumns());
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    t.insert();
    t.setText(kItem, "Caf\xE9 table"); // Windows-1252 e acute
    t.setText(kQuantity, "3");
    t.setText(kPurchDate, "6/1/2023");
    t.setText(kCost, "12.5");
    t.setText(kCategory, "Kitchen");
    t.setText(kWarranty, "Yes");
    t.post();
    t.insert();
    t.setText(kItem, "Lamp"); // everything else blank, the warranty too
    t.post();
    t.insert();
    t.setText(kItem, "Radio");
    t.setText(kWarranty, "No");
    t.post();

    std::vector<QString> names = defaultNames();
    names[0] = text("Thing");
    InventoryModel model(t, names);
    CheckedModel checked(&model);

    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), core::kFieldCount);
    for (int c = 0; c < core::kFieldCount; ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), names[static_cast<size_t>(c)]);
        EXPECT_EQ(model.catalogueNumber(c), c + 1);
    }
    EXPECT_EQ(cell(model, 0, kItem), text("Café table"));
    EXPECT_EQ(cell(model, 0, kQuantity), text("3"));
    EXPECT_EQ(cell(model, 0, kPurchDate), text("6/1/2023"));
    EXPECT_EQ(cell(model, 0, kCost), text("12.5"));
    EXPECT_EQ(cell(model, 0, kCategory), text("Kitchen"));
    EXPECT_EQ(cell(model, 1, kCost), QString());
    EXPECT_EQ(cell(model, 1, kPurchDate), QString());
    // The warranty reads as its check box will: ticked only for "Yes".
    EXPECT_EQ(cell(model, 0, kWarranty), text("Yes"));
    EXPECT_EQ(cell(model, 1, kWarranty), text("No"));
    EXPECT_EQ(cell(model, 2, kWarranty), text("No"));
    // Numbers line up on the right, text on the left.
    const QVariant money = model.data(model.index(0, kCost), Qt::TextAlignmentRole);
    EXPECT_TRUE(money.toInt() & Qt::AlignRight);
    EXPECT_FALSE(model.data(model.index(0, kItem), Qt::TextAlignmentRole).isValid());
}

TEST(InventoryModel, ColumnsFollowTheConfiguredFieldsAndTitles) {
    QTemporaryDir dir;
    const std::string path = makeStock(dir, 5, false);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    InventoryModel model(t, defaultNames());
    CheckedModel checked(&model);

    model.setColumns({11, 1}); // Cost left of Item, nothing else
    ASSERT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), text("Cost"));
    EXPECT_EQ(cell(model, 3, 0), text("3.25"));
    EXPECT_EQ(cell(model, 3, 1), QString::fromStdString(itemName(3)));
    EXPECT_EQ(model.catalogueNumber(0), 11);
    EXPECT_EQ(model.columnOf(1), 1);
    EXPECT_EQ(model.columnOf(2), -1);

    QSignalSpy titles(&model, &QAbstractItemModel::headerDataChanged);
    std::vector<QString> names = defaultNames();
    names[10] = text("Price Paid");
    model.setDisplayNames(names);
    EXPECT_EQ(titles.count(), 1);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), text("Price Paid"));

    model.setColumns({});
    EXPECT_EQ(model.columnCount(), 0);
    EXPECT_THROW(model.setColumns({0}), std::invalid_argument);
    EXPECT_THROW(model.setColumns({23}), std::invalid_argument);
    EXPECT_THROW(model.setColumns({1, 2, 1}), std::invalid_argument);
    EXPECT_THROW(model.setDisplayNames({text("Item")}), std::invalid_argument);
}

// ---------------------------------------------------------------------------------------------
// Rows over every kind of view

struct ViewCase {
    const char* name;
    bool indexed;
    int deleteEvery; // every n-th record marked deleted; 0 for none
    bool filtered;   // the category "Tools" filtered out
};

void PrintTo(const ViewCase& c, std::ostream* out) {
    *out << c.name;
}

const ViewCase kViewCases[] = {
    {"record_order_nothing_hidden", false, 0, false}, // row n is record n + 1
    {"record_order_with_deleted", false, 7, false},
    {"record_order_filtered", false, 0, true},
    {"index_order", true, 0, false},
    {"index_order_deleted_and_filtered", true, 5, true},
};

// More rows than the model holds decoded at once (32 blocks of 64) in every case.
constexpr int kRecords = 4000;

class ViewTest : public testing::TestWithParam<ViewCase> {
protected:
    void SetUp() override {
        const ViewCase& c = GetParam();
        const std::string path = makeStock(dir_, kRecords, true);
        table_.openFile(path, ShareMode::Shared, Access::ReadWrite);
        if (c.deleteEvery > 0) {
            for (uint32_t r = 1; r <= kRecords; ++r) {
                if (r % static_cast<uint32_t>(c.deleteEvery) != 0) continue;
                table_.gotoBookmark(dbase::Bookmark{r});
                table_.remove();
            }
        }
        if (c.filtered) table_.setFilter(hidesTools);
        if (c.indexed) table_.selectIndex("NEWINDEX");
        expected_ = straightWalk(table_, kItem);
        ASSERT_GT(expected_.size(), size_t{RowCache::kMaxBlocks * RowCache::kBlockRows});
        table_.first();
    }

    int rows() const { return static_cast<int>(expected_.size()); }
    const QString& expected(int row) const { return expected_[static_cast<size_t>(row)]; }
    // Puts the table's cursor on a row by the engine's own steps from the first record.
    void walkCursorTo(int row) {
        table_.first();
        for (int i = 0; i < row; ++i)
            table_.next();
    }

    QTemporaryDir dir_;
    Table table_;
    std::vector<QString> expected_;
};

TEST_P(ViewTest, RandomAccessGivesTheRowsOfAStraightWalk) {
    InventoryModel model(table_, defaultNames());
    CheckedModel checked(&model);
    ASSERT_EQ(model.rowCount(), rows());

    walkCursorTo(10);
    const uint32_t cursor = table_.recno();
    const int n = rows();
    std::vector<int> pattern = {n - 1, 0, n / 2, n / 2 - 1, n - 2, 1};
    for (int r = n - 1; r >= 0; r -= 37)
        pattern.push_back(r);
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i)
        pattern.push_back(static_cast<int>(random() % static_cast<unsigned>(n)));
    for (const int r : pattern)
        ASSERT_EQ(cell(model, r, kItem), expected(r)) << "row " << r;
    // After all that coming and going, once more straight through.
    for (int r = 0; r < n; ++r)
        ASSERT_EQ(cell(model, r, kItem), expected(r)) << "row " << r;

    EXPECT_EQ(table_.recno(), cursor) << "reading rows moved the table's cursor";
    EXPECT_LE(model.rows().heldRowCount(), RowCache::kMaxBlocks * RowCache::kBlockRows);
}

TEST_P(ViewTest, RowOfCurrentAndMoveToAgree) {
    InventoryModel model(table_, defaultNames());
    const int n = rows();
    std::vector<int> sample = {0, 1, 63, 64, 65, n / 2, n - 2, n - 1};
    std::mt19937 random(11);
    for (int i = 0; i < 20; ++i)
        sample.push_back(static_cast<int>(random() % static_cast<unsigned>(n)));
    for (const int r : sample) {
        ASSERT_TRUE(model.moveTo(r)) << "row " << r;
        EXPECT_EQ(core::fromTableText(table_.text(kItem)), expected(r)) << "row " << r;
        EXPECT_EQ(model.rowOfCurrent(), r);
    }
    EXPECT_FALSE(model.moveTo(-1));
    EXPECT_FALSE(model.moveTo(n));

    // A model that has read nothing yet finds the row of wherever the engine put the cursor.
    for (const int r : {0, 1, n / 3, n / 2, n - 65, n - 2, n - 1}) {
        walkCursorTo(r);
        const uint32_t recno = table_.recno();
        InventoryModel fresh(table_, defaultNames());
        EXPECT_EQ(fresh.rowOfCurrent(), r);
        EXPECT_EQ(table_.recno(), recno);
        EXPECT_EQ(cell(fresh, r, kItem), expected(r)); // and the anchors it left are right
    }
}

TEST_P(ViewTest, AfterTheIdleFillEveryJumpIsAShortWalk) {
    InventoryModel model(table_, defaultNames());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rows().allPlaced(); }, 20000));

    const int n = rows();
    const int blocks = (n + RowCache::kBlockRows - 1) / RowCache::kBlockRows;
    std::mt19937 random(3);
    for (int i = 0; i < 40; ++i) {
        const int r = static_cast<int>(random() % static_cast<unsigned>(n));
        const bool held = model.rows().heldRow(r) != nullptr;
        const uint64_t before = model.rows().counters().steps;
        ASSERT_EQ(cell(model, r, kItem), expected(r)) << "row " << r;
        if (!held) { // from an anchor at most one block away, then the block itself
            EXPECT_LE(model.rows().counters().steps - before, uint64_t{2 * RowCache::kBlockRows})
                << "row " << r << " of " << blocks << " blocks";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Views, ViewTest, testing::ValuesIn(kViewCases),
                         [](const testing::TestParamInfo<ViewCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------------------

TEST(InventoryModel, HiddenRecordsHaveNoRow) {
    QTemporaryDir dir;
    const std::string path = makeStock(dir, 400, true);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    t.gotoBookmark(dbase::Bookmark{200});
    t.remove();
    t.setFilter(hidesTools);
    // A record the filter hides.
    uint32_t filteredOut = 1;
    while (true) {
        t.gotoBookmark(dbase::Bookmark{filteredOut});
        if (t.text(kCategory) == "Tools") break;
        ++filteredOut;
    }
    for (const std::string& order : {std::string(), std::string("NEWINDEX")}) {
        t.selectIndex(order);
        InventoryModel model(t, defaultNames());
        t.gotoBookmark(dbase::Bookmark{200});
        EXPECT_EQ(model.rowOfCurrent(), -1) << "deleted, order " << order;
        t.gotoBookmark(dbase::Bookmark{filteredOut});
        EXPECT_EQ(model.rowOfCurrent(), -1) << "filtered out, order " << order;
        EXPECT_EQ(t.recno(), filteredOut);
    }
}

TEST(InventoryModel, WhileTheTableIsBusyOnlyHeldRowsAreShownAndTheCursorIsLeftAlone) {
    QTemporaryDir dir;
    const std::string path = makeStock(dir, 1000, true);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    t.selectIndex("NEWINDEX");
    const std::vector<QString> expected = straightWalk(t, kItem);
    InventoryModel model(t, defaultNames());
    model.setBackgroundFill(false);

    enum class Busy { Editing, Suspended };
    for (const Busy busy : {Busy::Editing, Busy::Suspended}) {
        SCOPED_TRACE(busy == Busy::Editing ? "editing" : "suspended");
        model.reset();
        ASSERT_EQ(cell(model, 0, kItem), expected[0]); // the first block is held now
        ASSERT_TRUE(model.moveTo(5));
        const uint32_t recno = t.recno();
        if (busy == Busy::Editing) {
            t.edit();
            t.setText(kItem, "Being edited");
        } else {
            model.setSuspended(true);
        }

        EXPECT_EQ(cell(model, 1, kItem), expected[1]);
        EXPECT_FALSE(model.data(model.index(900, kItem)).isValid());
        EXPECT_EQ(model.rowOfCurrent(), 5);
        EXPECT_FALSE(model.moveTo(900));
        EXPECT_EQ(t.recno(), recno);

        if (busy == Busy::Editing) {
            EXPECT_EQ(t.state(), Table::State::Edit) << "reading posted the edit";
            t.cancel();
        } else {
            model.setSuspended(false);
        }
        EXPECT_EQ(cell(model, 900, kItem), expected[900]);
    }
}

TEST(InventoryModel, FollowsChangedRecordsAndNewViews) {
    QTemporaryDir dir;
    const std::string path = makeStock(dir, 300, true);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadWrite);
    t.selectIndex("NEWINDEX");
    InventoryModel model(t, defaultNames());
    CheckedModel checked(&model);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    ASSERT_FALSE(cell(model, 299, kItem).isEmpty());

    // Added: it takes its place in the order ("AAA" sorts first).
    t.insert();
    setStockRecord(t, 300);
    t.setText(kItem, "Added");
    t.setText(kCategory, "aaa");
    t.post();
    model.refresh();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model.rowCount(), 301);
    EXPECT_EQ(model.rowOfCurrent(), 0);
    EXPECT_EQ(cell(model, 0, kItem), text("Added"));
    expectRowsMatchTheTable(model, t);

    // Changed, the count the same: the views keep their place and repaint.
    ASSERT_TRUE(model.moveTo(150));
    t.edit();
    t.setText(kItem, "Edited");
    t.setText(kCategory, "zzzz"); // moves to the end of the order
    t.post();
    model.refresh();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_GE(changes.count(), 1);
    EXPECT_EQ(model.rowOfCurrent(), 300);
    EXPECT_EQ(cell(model, 300, kItem), text("Edited"));
    expectRowsMatchTheTable(model, t);

    // Edited again, told as an edit: no count, no reset, and the record found at its new place.
    ASSERT_TRUE(model.moveTo(300));
    t.edit();
    t.setText(kCategory, "a"); // back to the front
    t.post();
    EXPECT_TRUE(t.movedInOrder());
    model.recordEdited(t.movedInOrder());
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model.rowCount(), 301);
    EXPECT_EQ(model.rowOfCurrent(), 0);
    EXPECT_EQ(cell(model, 0, kItem), text("Edited"));
    expectRowsMatchTheTable(model, t);
    // A change outside the key leaves every row in its place.
    ASSERT_TRUE(model.moveTo(0));
    t.edit();
    t.setText(kItem, "Edited twice");
    t.post();
    EXPECT_FALSE(t.movedInOrder());
    model.recordEdited(false);
    EXPECT_EQ(model.rowOfCurrent(), 0);
    EXPECT_EQ(cell(model, 0, kItem), text("Edited twice"));
    expectRowsMatchTheTable(model, t);

    // Deleted.
    ASSERT_TRUE(model.moveTo(10));
    t.remove();
    model.refresh();
    EXPECT_EQ(model.rowCount(), 300);
    expectRowsMatchTheTable(model, t);

    // Another view of the same table: filtered, then in record order.
    t.setFilter(hidesTools);
    model.reset();
    expectRowsMatchTheTable(model, t);
    t.selectIndex("");
    model.reset();
    expectRowsMatchTheTable(model, t);

    // Closed and opened again.
    t.close();
    model.reset();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.rowOfCurrent(), -1);
    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    model.reset();
    expectRowsMatchTheTable(model, t);
}

TEST(InventoryModel, AFailedReadLeavesBlankCellsAndIsReportedOnce) {
    QTemporaryDir dir;
    const std::string path = makeStock(dir, 2000, false);
    Table t;
    t.openFile(path, ShareMode::Shared, Access::ReadOnly);
    InventoryModel model(t, defaultNames());
    QSignalSpy failures(&model, &InventoryModel::readFailed);
    ASSERT_EQ(model.rowCount(), 2000);
    // Someone cuts the file short behind the table's back.
    const auto headerAndTen = uint64_t{t.headerLength()} + 10u * t.recordLength();
    std::filesystem::resize_file(path, headerAndTen);

    EXPECT_FALSE(model.data(model.index(1000, kItem)).isValid());
    EXPECT_FALSE(model.data(model.index(1500, kItem)).isValid());
    EXPECT_EQ(failures.count(), 0) << "reported from inside a paint";
    QCoreApplication::processEvents();
    ASSERT_EQ(failures.count(), 1);
    EXPECT_FALSE(failures.front().front().toString().isEmpty());
}

} // namespace
