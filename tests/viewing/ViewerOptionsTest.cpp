#include "InventoryTables.h"

#include "core/Settings.h"
#include "viewing/GridDelegate.h"
#include "viewing/InventoryModel.h"
#include "viewing/ViewerOptions.h"

#include <QHeaderView>
#include <QImage>
#include <QTableView>

#include <gtest/gtest.h>

using namespace viewing_test;
using viewing::ApplyViewerOptions;
using viewing::ColumnPixels;
using viewing::InventoryModel;
using viewing::RowCache;

namespace {

constexpr int kCostNumber = 11;
constexpr int kItemNumber = 1;

// A grid over a small stock table, shown on the offscreen screen.
class ViewerOptionsTest : public testing::Test {
protected:
    explicit ViewerOptionsTest(int records = 5) {
        table_.openFile(makeStock(dir_, records, false), dbase::ShareMode::Shared,
                        dbase::Access::ReadWrite);
        table_.first();
        model_ = std::make_unique<InventoryModel>(table_, defaultNames());
        model_->setBackgroundFill(false);
        grid_.setModel(model_.get());
        grid_.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        grid_.resize(900, 400);
    }

    void apply() { ApplyViewerOptions(grid_, *model_, settings_); }

    std::vector<QString> titles() const {
        std::vector<QString> result;
        for (int c = 0; c < model_->columnCount(); ++c)
            result.push_back(model_->headerData(c, Qt::Horizontal).toString());
        return result;
    }

    QTemporaryDir dir_;
    dbase::Table table_;
    std::unique_ptr<InventoryModel> model_;
    QTableView grid_;
    core::Settings settings_;
};

TEST_F(ViewerOptionsTest, ColumnsFollowFlagsPositionsNamesAndWidths) {
    // Cost and Item only, Cost at position 1 and renamed; widths in characters of the grid font.
    for (bool& shown : settings_.DisplayFields)
        shown = false;
    settings_.DisplayFields[kItemNumber] = settings_.DisplayFields[kCostNumber] = true;
    settings_.FieldOrder[kCostNumber] = 1;
    settings_.FieldOrder[kItemNumber] = 11;
    settings_.FieldDisplayNames[kCostNumber] = "Paid";
    settings_.FieldWidths[kCostNumber] = 8;
    settings_.FieldWidths[kItemNumber] = 30;
    settings_.GridFont = {.name = "Courier", .size = 14};
    apply();

    EXPECT_EQ(model_->columns(), (std::vector<int>{kCostNumber, kItemNumber}));
    EXPECT_EQ(titles(), (std::vector<QString>{QStringLiteral("Paid"), QStringLiteral("Item")}));
    const QFont font = viewing::FontFromSetting(settings_.GridFont);
    EXPECT_EQ(grid_.columnWidth(0), ColumnPixels(8, font));
    EXPECT_EQ(grid_.columnWidth(1), ColumnPixels(30, font));
    EXPECT_GT(ColumnPixels(30, font), ColumnPixels(8, font) * 3);
    EXPECT_EQ(cell(*model_, 0, 1), QString::fromStdString(itemName(0)));

    // Every field hidden: no column at all.
    for (bool& shown : settings_.DisplayFields)
        shown = false;
    apply();
    EXPECT_EQ(model_->columnCount(), 0);
}

TEST_F(ViewerOptionsTest, GridOptionsFollowTheSettings) {
    struct Case {
        const char* name;
        bool titles, columnLines, rowLines, indicator, editing;
        int alignment;
        Qt::Alignment expectedAlignment;
    };
    const Case cases[] = {
        {"defaults", true, true, true, true, false, 2, Qt::AlignCenter},
        {"everything off, titles left", false, false, false, false, false, 1,
         Qt::AlignLeft | Qt::AlignVCenter},
        {"editing, titles right", true, false, true, true, true, 3,
         Qt::AlignRight | Qt::AlignVCenter},
    };
    grid_.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings_.GridShowTitles = c.titles;
        settings_.GridColumnLines = c.columnLines;
        settings_.GridRowLines = c.rowLines;
        settings_.GridRowIndicator = c.indicator;
        settings_.GridFieldEditing = c.editing;
        settings_.GridTitleAlignment = c.alignment;
        apply();
        EXPECT_EQ(grid_.horizontalHeader()->isVisible(), c.titles);
        EXPECT_EQ(grid_.verticalHeader()->isVisible(), c.indicator);
        EXPECT_EQ(grid_.horizontalHeader()->defaultAlignment(), c.expectedAlignment);
        auto* delegate = qobject_cast<viewing::GridDelegate*>(grid_.itemDelegate());
        ASSERT_NE(delegate, nullptr);
        EXPECT_EQ(delegate->columnLines(), c.columnLines);
        EXPECT_EQ(delegate->rowLines(), c.rowLines);
        EXPECT_TRUE(grid_.tabKeyNavigation());
        EXPECT_EQ(grid_.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        const QModelIndex first = model_->index(0, 0);
        if (c.editing) {
            EXPECT_TRUE(grid_.editTriggers() & QAbstractItemView::DoubleClicked);
            EXPECT_TRUE(grid_.editTriggers() & QAbstractItemView::AnyKeyPressed);
            EXPECT_EQ(grid_.selectionBehavior(), QAbstractItemView::SelectItems);
            EXPECT_TRUE(model_->flags(first) & Qt::ItemIsEditable);
        } else {
            EXPECT_EQ(grid_.editTriggers(), QAbstractItemView::NoEditTriggers);
            EXPECT_EQ(grid_.selectionBehavior(), QAbstractItemView::SelectRows);
            EXPECT_FALSE(model_->flags(first) & Qt::ItemIsEditable);
        }
    }
    // Applied again and again, the grid keeps one delegate and one indicator header.
    EXPECT_EQ(grid_.findChildren<viewing::GridDelegate*>().size(), 1);
}

TEST_F(ViewerOptionsTest, FontsAndColorsReachCellsAndTitles) {
    settings_.GridFont = {.name = "Courier", .size = 13, .color = 0x0000FF, .italic = true};
    settings_.GridTitleFont = {.name = "Times", .size = 16, .bold = true, .underline = true};
    settings_.GridCellColor = 0x00FFFF;  // yellow: red and green 255
    settings_.GridTitleColor = 0xFF0000; // blue
    settings_.GridColumnLines = true;
    settings_.GridRowLines = false;
    for (bool& shown : settings_.DisplayFields)
        shown = false;
    settings_.DisplayFields[kItemNumber] = settings_.DisplayFields[kCostNumber] = true;
    apply();
    grid_.show();

    EXPECT_EQ(grid_.font().family(), QStringLiteral("Courier"));
    EXPECT_EQ(grid_.font().pointSize(), 13);
    EXPECT_TRUE(grid_.font().italic());
    const QFont title = grid_.horizontalHeader()->font();
    EXPECT_EQ(title.family(), QStringLiteral("Times"));
    EXPECT_EQ(title.pointSize(), 16);
    EXPECT_TRUE(title.bold());
    EXPECT_TRUE(title.underline());
    EXPECT_EQ(grid_.palette().color(QPalette::Text), QColor(255, 0, 0));

    // Look at the pixels: the cell's inside in the cell color, a line at the column's right
    // edge, none at the row's foot, the title row in the title color.
    const QImage cells = grid_.viewport()->grab().toImage();
    const int width = grid_.columnWidth(0);
    const int height = grid_.rowHeight(0);
    const QRect firstCell(grid_.columnViewportPosition(0), grid_.rowViewportPosition(1), width,
                          height);
    EXPECT_EQ(cells.pixelColor(firstCell.right() - 1, firstCell.bottom() - 1), QColor(255, 255, 0));
    EXPECT_NE(cells.pixelColor(firstCell.right(), firstCell.center().y()), QColor(255, 255, 0));
    EXPECT_EQ(cells.pixelColor(firstCell.center().x(), firstCell.bottom()), QColor(255, 255, 0))
        << "no line between rows was asked for";
    const QImage header = grid_.horizontalHeader()->grab().toImage();
    EXPECT_EQ(header.pixelColor(4, header.height() / 2), QColor(0, 0, 255));
}

// A table large enough that the model cannot hold it all.
class ViewerOptionsOnLargeTable : public ViewerOptionsTest {
protected:
    ViewerOptionsOnLargeTable() : ViewerOptionsTest(3000) {}
};

TEST_F(ViewerOptionsOnLargeTable, ApplyingReadsNoRecordAndKeepsTheCurrentRow) {
    apply();
    grid_.show();
    grid_.scrollTo(model_->index(1500, 0));
    grid_.setCurrentIndex(model_->index(1500, 3));
    grid_.grab();
    ASSERT_EQ(grid_.currentIndex().row(), 1500);
    const RowCache::Counters before = model_->rows().counters();

    // Other columns, names, fonts, widths and options: the views start over on rows held.
    settings_.DisplayFields[2] = false;
    settings_.FieldOrder[4] = 1;
    settings_.FieldOrder[1] = 4;
    settings_.FieldDisplayNames[1] = "Thing";
    settings_.FieldWidths[4] = 40;
    settings_.GridFont.size = 12;
    settings_.GridFieldEditing = true;
    settings_.GridRowIndicator = false;
    apply();
    grid_.grab();
    apply(); // and once more with nothing changed
    grid_.grab();

    const RowCache::Counters& after = model_->rows().counters();
    EXPECT_EQ(after.rowsDecoded, before.rowsDecoded);
    EXPECT_EQ(after.steps, before.steps);
    EXPECT_EQ(after.seeks, before.seeks);
    EXPECT_EQ(grid_.currentIndex().row(), 1500);
    EXPECT_EQ(model_->catalogueNumber(grid_.currentIndex().column()), 4);
    EXPECT_EQ(model_->columns().front(), 4);
}

} // namespace

namespace {

// Pictures of the grid for people to look at: written when VANTOREL_SCREENSHOTS names a folder.
TEST_F(ViewerOptionsTest, Screenshots) {
    const QString folder = qEnvironmentVariable("VANTOREL_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "VANTOREL_SCREENSHOTS not set";
    grid_.resize(700, 220);
    grid_.show();
    apply();
    grid_.setCurrentIndex(model_->index(1, 0));
    grid_.grab().save(folder + QStringLiteral("/grid-defaults.png"));

    settings_.FieldOrder[14] = 2; // Warranty beside Item
    settings_.FieldOrder[2] = 14;
    settings_.FieldWidths[14] = 8;
    settings_.GridRowLines = false;
    settings_.GridTitleAlignment = 1;
    settings_.GridFieldEditing = true;
    settings_.GridCellColor = 16777215;
    settings_.GridTitleFont = {.name = "Arial", .size = 10, .color = 0xFFFFFF, .bold = true};
    settings_.GridTitleColor = 0x800000; // navy
    apply();
    grid_.grab().save(folder + QStringLiteral("/grid-editing.png"));
}

} // namespace
