#include "app/TMySortOrder.h"
#include "core/DatabaseFiles.h"
#include "core/IniFile.h"
#include "core/InventoryFile.h"
#include "core/MessageService.h"
#include "core/Settings.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char* const kInUse = "Creating a new sort order requires exclusive use of the DBase File.  "
                           "Make sure that the DBase File is not "
                           "in use by another program  or that no other users are running the "
                           "software or that no other copies of "
                           "the software are in use.";

// Items, brands and categories chosen so that record order, Brand order and Category order all
// differ; letter case must not count:
//   record order  a b c
//   by Brand      b (alpha), c (Mid), a (Zeta)
//   by Category   c (art), b (Books), a (tools)
struct Row {
    const char* item;
    const char* brand;
    const char* category;
};
const std::vector<Row> kRows{{"a", "Zeta", "tools"}, {"b", "alpha", "Books"}, {"c", "Mid", "art"}};

// The main window's part of the protocol, done as the main window does it: the table opens
// shared with the tag "NewIndex" selected while there is a sort order.
class SortOrderTest : public testing::Test {
protected:
    void makeTable(bool withBrand = true) {
        path_ = dir_.path() + QStringLiteral("/MASTER.DBF");
        if (withBrand) {
            ASSERT_TRUE(core::MakeNewDB(quiet_, path_));
        } else {
            dbase::Table::create(path_.toStdString(),
                                 std::vector<dbase::ColumnDef>{{.name = "Item", .width = 20},
                                                               {.name = "Category", .width = 20}});
        }
        dbase::Table t;
        t.openFile(path_.toStdString(), dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        for (const Row& row : kRows) {
            t.insert();
            t.setText(t.fieldIndex("Item"), row.item);
            if (withBrand) t.setText(t.fieldIndex("Brand"), row.brand);
            t.setText(t.fieldIndex("Category"), row.category);
            t.post();
        }
        t.addIndex("NewIndex", expression_);
        t.close();
        openShared();
    }

    void openShared() {
        core::OpenTable(table_, core::LocateTable(path_), dbase::ShareMode::Shared,
                        dbase::Access::ReadWrite);
        table_.selectIndex(expression_.empty() ? std::string() : std::string("NewIndex"));
        table_.first();
    }

    std::string shown() {
        std::string items;
        for (table_.first(); !table_.eof(); table_.next())
            items += table_.text(table_.fieldIndex("Item"));
        return items;
    }

    std::unique_ptr<TMySortOrder> window() {
        auto w = std::make_unique<TMySortOrder>(
            SortOrderHost{main_, settings_, expression_,
                          dir_.path() + QStringLiteral("/TALBEX.INI")},
            messages_);
        w->show();
        return w;
    }

    void choose(TMySortOrder& w, const core::SortLevels& levels) {
        for (int level = 1; level <= 4; ++level)
            w.comboBox(level)->setCurrentIndex(levels[static_cast<size_t>(level - 1)]);
    }

    bool settingsWritten() const {
        return QFile::exists(dir_.path() + QStringLiteral("/TALBEX.INI"));
    }

    QTemporaryDir dir_;
    QString path_;
    core::Settings settings_;
    std::string expression_ = core::BuildSortString(settings_.SortLevels);
    dbase::Table table_;
    int viewerOptions_ = 0;
    MainTableHost main_{table_,
                        {},
                        [this] { table_.close(); },
                        [this] { openShared(); },
                        [this] { ++viewerOptions_; }};
    core::ScriptedMessageService quiet_;
    core::ScriptedMessageService messages_;

    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_.ScreenWidth = 640;
        settings_.ScreenHeight = 480;
    }
};

// Pictures for people to look at: written when VANTOREL_SCREENSHOTS names a folder.
TEST_F(SortOrderTest, Screenshots) {
    const QString folder = qEnvironmentVariable("VANTOREL_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "VANTOREL_SCREENSHOTS not set";
    makeTable();
    for (const double scale : {1.0, 1.6}) {
        settings_.ScaleFactor = scale;
        settings_.ScreenWidth = 1024;
        settings_.ScreenHeight = 768;
        auto w = window();
        w->grab().save(folder + QStringLiteral("/sortorder-%1.png").arg(static_cast<int>(scale * 100)));
    }
}

TEST_F(SortOrderTest, ShowsTheLevelsByDisplayNameAndCancelChangesNothing) {
    makeTable();
    main_.databasePath = path_;
    settings_.FieldDisplayNames[2] = "Make";
    settings_.SortLevels = {12, 0, 3, 99}; // 99: a damaged settings file
    settings_.ConfigureWindowColors[core::WindowColor::MainBackground] = 0x0000FF; // red
    settings_.ConfigureWindowColors[core::WindowColor::MinorTitle] = 0xFF0000;     // blue
    auto w = window();

    EXPECT_EQ(w->windowTitle(), QStringLiteral("Sort Order"));
    const int expected[] = {12, 0, 3, 0};
    for (int level = 1; level <= 4; ++level) {
        QComboBox* box = w->comboBox(level);
        EXPECT_FALSE(box->isEditable());
        ASSERT_EQ(box->count(), 23); // "<NONE>" and the 22 fields: item index = level value
        EXPECT_EQ(box->itemText(0), QStringLiteral("<NONE>"));
        EXPECT_EQ(box->itemText(2), QStringLiteral("Make"));
        EXPECT_EQ(box->currentIndex(), expected[level - 1]) << level;
    }
    auto* label = w->findChild<QLabel*>(QStringLiteral("LabelSort3"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Third Level Sort"));
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(Qt::red));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::blue));

    choose(*w, {2, 0, 0, 0});
    w->CancelButtonClick();
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_EQ(settings_.SortLevels, (core::SortLevels{12, 0, 3, 99}));
    EXPECT_EQ(expression_, "Upper(Left(Category,20))");
    EXPECT_FALSE(settingsWritten());
}

struct OkCase {
    const char* name;
    core::SortLevels levels;
    std::string expression;
    std::string shown;
};

void PrintTo(const OkCase& c, std::ostream* os) {
    *os << c.name;
}

class SortOrderOk : public SortOrderTest, public testing::WithParamInterface<OkCase> {};

TEST_P(SortOrderOk, ReplacesTheSortIndexAndStoresTheLevels) {
    const OkCase& c = GetParam();
    makeTable();
    main_.databasePath = path_;
    ASSERT_EQ(shown(), "cba");
    auto w = window();
    choose(*w, c.levels);
    w->OkButtonClick();

    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(expression_, c.expression);
    EXPECT_EQ(settings_.SortLevels, c.levels);
    ASSERT_TRUE(table_.isOpen());
    EXPECT_FALSE(table_.isExclusive());
    EXPECT_EQ(table_.selectedIndex(), c.expression.empty() ? "" : "NEWINDEX");
    EXPECT_EQ(shown(), c.shown);
    EXPECT_EQ(viewerOptions_, 1);
    if (!c.expression.empty()) {
        EXPECT_EQ(table_.selectedDefinition()->expression, c.expression);
    }

    core::IniFile ini;
    ASSERT_TRUE(ini.load(dir_.path() + QStringLiteral("/TALBEX.INI")));
    const char* keys[] = {"Primary Sort", "Secondary Sort", "Third Level Sort",
                          "Fourth Level Sort"};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ini.value("Sort Order", keys[i]), std::to_string(c.levels[i])) << keys[i];
}

INSTANTIATE_TEST_SUITE_P(
    Levels, SortOrderOk,
    testing::Values(
        // Primary none, secondary Brand: the gap adds nothing, Brand alone sorts.
        OkCase{"GapSortsByTheLaterLevel", {0, 2, 0, 0}, "Upper(Left(Brand,20))", "bca"},
        // No order at all: no index, record order.
        OkCase{"AllNoneReadsInRecordOrder", {0, 0, 0, 0}, "", "abc"},
        // The same field twice is accepted; the key simply repeats it.
        OkCase{"SameFieldTwice",
               {12, 12, 0, 0},
               "Upper(Left(Category,20))+Upper(Left(Category,20))",
               "cba"},
        // Brand then Category over the text pieces, then a date (all empty here).
        OkCase{"FourLevels",
               {2, 12, 10, 11},
               "Upper(Left(Brand,20))+Upper(Left(Category,20))+DTOS(PurchDate)+STR(Cost,12,2)",
               "bca"}),
    [](const testing::TestParamInfo<OkCase>& info) { return std::string(info.param.name); });

TEST_F(SortOrderTest, DatabaseHeldByAnotherProgramKeepsTheOldOrderAndTheWindowOpen) {
    makeTable();
    main_.databasePath = path_;
    dbase::Table other;
    other.openFile(path_.toStdString(), dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    auto w = window();
    choose(*w, {2, 0, 0, 0});
    w->OkButtonClick();

    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(messages_.messages()[0].text, QLatin1String(kInUse));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->result(), 0);
    EXPECT_EQ(settings_.SortLevels, (core::SortLevels{12, 0, 0, 0}));
    EXPECT_EQ(expression_, "Upper(Left(Category,20))");
    ASSERT_TRUE(table_.isOpen());
    EXPECT_FALSE(table_.isExclusive());
    EXPECT_EQ(shown(), "cba");
    EXPECT_EQ(viewerOptions_, 1);
    EXPECT_FALSE(settingsWritten());

    // Once the other program lets go, the same choice goes through.
    other.close();
    w->OkButtonClick();
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(shown(), "bca");
}

TEST_F(SortOrderTest, IndexTheEngineRefusesPutsTheOldOrderBack) {
    makeTable(/*withBrand=*/false); // Brand is missing, so a key on it cannot be built
    main_.databasePath = path_;
    auto w = window();
    choose(*w, {2, 12, 0, 0});
    w->OkButtonClick();

    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(messages_.messages()[0].text,
              QStringLiteral("Error in implementing sort order.  New sort order not implemented."));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(settings_.SortLevels, (core::SortLevels{12, 0, 0, 0}));
    EXPECT_EQ(expression_, "Upper(Left(Category,20))");
    ASSERT_TRUE(table_.isOpen());
    EXPECT_FALSE(table_.isExclusive());
    // The old tag was never touched: the table still reads by Category through it.
    EXPECT_EQ(table_.selectedDefinition()->expression, "Upper(Left(Category,20))");
    EXPECT_EQ(shown(), "cba");
    EXPECT_FALSE(settingsWritten());
}

} // namespace
