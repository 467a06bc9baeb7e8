#include "viewing/TMySearch.h"

#include "InventoryTables.h"

#include "core/MessageService.h"
#include "core/Settings.h"
#include "dbase/Table.h"
#include "ui/WindowAppearance.h"
#include "viewing/SearchCriteria.h"
#include "viewing/TSearchOptions.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using viewing::IsDateRow;
using viewing::IsNumberRow;
using viewing_test::straightWalk;

// Rows of the grid are catalogue numbers; table fields are catalogue number - 1.
constexpr int kBrand = 2;
constexpr int kPurchDate = 10;
constexpr int kCost = 11;
constexpr int kCategory = 12;

struct Stock {
    const char* brand;
    const char* category;
    const char* cost;
};
// In record order, which is the view's order (no index selected).
const std::vector<Stock> kStock = {
    {"Sony", "Tools", "100.00"},    {"SONY", "kitchen", "200.00"},
    {"Edison", "garden", "600.00"}, {"Philips", "power TOOLS", "150.00"},
    {"Acme", "Books", "501.00"},
};

class SearchWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        path_ = folder_.filePath(QStringLiteral("MASTER.DBF")).toStdString();
        dbase::Table::create(path_, core::InventoryColumns());
        openTable();
        for (const Stock& stock : kStock) {
            table_.insert();
            table_.setText(kBrand - 1, stock.brand);
            table_.setText(kCategory - 1, stock.category);
            table_.setText(kCost - 1, stock.cost);
            table_.post();
        }
        settings_.ScreenWidth = 1024;
        settings_.ScreenHeight = 768;

        // What the main window does around the search window.
        window_ = std::make_unique<TMySearch>(TMySearch::Services{
            .settings = settings_,
            .messages = messages_,
            .table = table_,
            .enableEndSearch = [this] { settings_.SearchActive = true; },
            .endSearch =
                [this] {
                    settings_.SearchActive = false;
                    reopenTable();
                },
            .reopenTable =
                [this] {
                    ++reopened_;
                    reopenTable();
                },
            .pickEntries = [](int field) { return pickEntries(field); },
            .showHelp = [this](const QString& keyword) { help_.push_back(keyword); },
        });
        table_.setFilter(viewing::MakeSearchFilter(settings_, window_->criteria()));
    }

    static std::vector<std::string> pickEntries(int field) {
        if (field == kBrand) return {"Acme", "Caf\xe9 Corner"};
        return {};
    }

    void openTable() { table_.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadWrite); }
    void reopenTable() {
        table_.close();
        openTable();
    }

    QTableWidget* grid() const {
        return window_->findChild<QTableWidget*>(QStringLiteral("SearchGrid"));
    }
    QPushButton* button(const char* name) const {
        return window_->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    void type(int field, const QString& text) { grid()->item(field - 1, 2)->setText(text); }
    QString criterion(int field) const { return grid()->item(field - 1, 2)->text(); }
    QString title() const { return grid()->horizontalHeaderItem(2)->text(); }

    std::vector<QString> visibleBrands() {
        table_.refresh();
        return straightWalk(table_, kBrand - 1);
    }
    std::vector<QString> messageTexts() const {
        std::vector<QString> texts;
        for (const core::Message& message : messages_.messages())
            texts.push_back(message.caption + QStringLiteral(": ") + message.text);
        return texts;
    }

    // Answers the options list the moment it opens: chooses an entry (or none, -1) and presses
    // Ok, or Cancel.
    void answerOptions(int choose, bool ok = true, QStringList* offered = nullptr) {
        QTimer::singleShot(0, [choose, ok, offered] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* options = dynamic_cast<TSearchOptions*>(widget);
                if (!options || !options->isVisible()) continue;
                auto* list = options->findChild<QListWidget*>(QStringLiteral("ListBox1"));
                if (offered)
                    for (int i = 0; i < list->count(); ++i)
                        offered->push_back(list->item(i)->text());
                if (choose >= 0) list->setCurrentRow(choose);
                ok ? options->OkButtonClick() : options->CancelButtonClick();
                return;
            }
            ADD_FAILURE() << "the options did not open";
        });
    }

    QTemporaryDir folder_;
    std::string path_;
    dbase::Table table_;
    core::Settings settings_;
    core::ScriptedMessageService messages_;
    std::vector<QString> help_;
    int reopened_ = 0;
    std::unique_ptr<TMySearch> window_;
};

using Texts = std::vector<QString>;

TEST_F(SearchWindowTest, ShowsTheFieldsByTheirDisplayNames) {
    settings_.FieldDisplayNames[kBrand] = "Maker";
    window_->show();
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Search"));
    EXPECT_EQ(grid()->rowCount(), 22);
    EXPECT_EQ(grid()->horizontalHeaderItem(0)->text(), QStringLiteral(" FIELD"));
    EXPECT_EQ(title(), QStringLiteral(" SEARCH CRITERIA    (Level 1)"));
    EXPECT_EQ(grid()->item(kBrand - 1, 0)->text(), QStringLiteral(" Maker"));
    // The button column: number, date and pick-list rows only.
    EXPECT_EQ(grid()->item(kBrand - 1, 1)->text(), QStringLiteral("..."));
    EXPECT_EQ(grid()->item(kCost - 1, 1)->text(), QStringLiteral("..."));
    EXPECT_EQ(grid()->item(0, 1)->text(), QString()); // Item
    window_->HelpButtonClick();
    EXPECT_EQ(help_, Texts{QStringLiteral("Search Window")});
}

TEST_F(SearchWindowTest, OkFiltersTheTableAndCloses) {
    window_->show();
    type(kBrand, QStringLiteral("son"));
    window_->OkButtonClick();

    EXPECT_TRUE(messages_.messages().empty()) << messageTexts().front().toStdString();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(settings_.SearchActive);
    EXPECT_EQ(visibleBrands(),
              (Texts{QStringLiteral("Sony"), QStringLiteral("SONY"), QStringLiteral("Edison")}));
}

TEST_F(SearchWindowTest, FindMoreAddsALevelJoinedByOr) {
    window_->show();
    type(kCategory, QStringLiteral("tools"));
    window_->MoreButtonClick();
    EXPECT_EQ(title(), QStringLiteral(" SEARCH CRITERIA    (Level 2)"));
    EXPECT_EQ(criterion(kCategory), QString());

    // Cost greater than 500, the operator chosen behind the row's button: the row's cell then
    // edits through the new mask.
    QStringList offered;
    answerOptions(1, true, &offered);
    window_->SearchGridMouseUp(kCost - 1, 1);
    EXPECT_EQ(offered, (QStringList{QStringLiteral(" = "), QStringLiteral(" > "),
                                    QStringLiteral(" < "), QStringLiteral(" > X < ")}));
    EXPECT_EQ(window_->rowOperator(kCost), viewing::SearchOperator::Greater);
    EXPECT_EQ(grid()->currentRow(), kCost - 1);
    EXPECT_EQ(grid()->currentColumn(), 2);
    grid()->editItem(grid()->item(kCost - 1, 2));
    auto* editor = qobject_cast<QLineEdit*>(grid()->indexWidget(grid()->currentIndex()));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->text().startsWith(QLatin1Char('>'))) << editor->text().toStdString();
    editor->setText(QStringLiteral("> 500"));

    window_->OkButtonClick(); // takes the cell still being edited
    EXPECT_TRUE(messages_.messages().empty()) << messageTexts().front().toStdString();
    // Tools in any case, or a cost above 500.
    EXPECT_EQ(visibleBrands(), (Texts{QStringLiteral("Sony"), QStringLiteral("Edison"),
                                      QStringLiteral("Philips"), QStringLiteral("Acme")}));
}

TEST_F(SearchWindowTest, CriteriaThatDoNotReadKeepTheWindowOpen) {
    struct Case {
        const char* name;
        int field;
        viewing::SearchOperator op;
        const char* text;
    };
    const Case cases[] = {
        {"letters in a number", kCost, viewing::SearchOperator::Equal, "= 1x2"},
        {"no such day", kPurchDate, viewing::SearchOperator::Equal, "= 13/45/2024"},
        // Typed for equal, then the operator changed to between: only one side is there.
        {"between with one side", kCost, viewing::SearchOperator::Between, "= 5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        window_->show();
        type(kBrand, QStringLiteral("son")); // read before the failing row, then dropped
        answerOptions(static_cast<int>(c.op) - 1);
        window_->openOptions(c.field);
        type(c.field, QString::fromLatin1(c.text));
        window_->OkButtonClick();

        EXPECT_EQ(messageTexts(), Texts{QStringLiteral(
                                      "Error: Invalid search criteria entered.  Please correct.")});
        EXPECT_TRUE(window_->isVisible());
        EXPECT_EQ(grid()->currentRow(), c.field - 1);
        EXPECT_EQ(window_->typedCriteria().count(), 0);
        EXPECT_FALSE(settings_.SearchActive);
        window_->ExitButtonClick();
        answerOptions(0);
        window_->openOptions(c.field); // back to equal for the next case
    }
}

TEST_F(SearchWindowTest, MoreThanSeventyFiveCriteriaClearEverything) {
    window_->show();
    // Three levels of 22 text criteria, then 10 more: 76.
    for (int level = 1; level <= 3; ++level) {
        for (int field = 1; field <= 22; ++field)
            type(field, IsNumberRow(field) || IsDateRow(field) ? QString() : QStringLiteral("a"));
        // 18 text rows and the four number rows as "= 1".
        for (int field : {9, 11, 13, 18})
            type(field, QStringLiteral("= 1"));
        window_->MoreButtonClick();
    }
    ASSERT_TRUE(messages_.messages().empty());
    EXPECT_EQ(window_->typedCriteria().count(), 60); // 20 rows a level (the dates are empty)
    // Fields 1 to 18 but the two dates: 16 more.
    for (int field = 1; field <= 18; ++field)
        if (!IsDateRow(field))
            type(field, IsNumberRow(field) ? QStringLiteral("= 1") : QStringLiteral("a"));
    window_->OkButtonClick();

    EXPECT_EQ(messageTexts(),
              Texts{QStringLiteral("Error: More than 75 search items have been entered.  This "
                                   "exceeds the maximum allowable.  Search criteria will be "
                                   "cleared.")});
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(window_->typedCriteria().count(), 0);
    EXPECT_EQ(title(), QStringLiteral(" SEARCH CRITERIA    (Level 1)"));
    EXPECT_EQ(criterion(1), QString());
    EXPECT_TRUE(button("MoreButton")->isEnabled());
    EXPECT_FALSE(settings_.SearchActive);
}

TEST_F(SearchWindowTest, FindMoreStopsAtLevelTen) {
    window_->show();
    window_->MoreButtonClick();
    EXPECT_EQ(messageTexts(), Texts{QStringLiteral("Error: No search criteria entered.")});
    EXPECT_EQ(title(), QStringLiteral(" SEARCH CRITERIA    (Level 1)"));
    for (int level = 1; level <= 9; ++level) {
        type(1, QStringLiteral("x"));
        window_->MoreButtonClick();
    }
    EXPECT_EQ(title(), QStringLiteral(" SEARCH CRITERIA    (Level 10)"));
    EXPECT_FALSE(button("MoreButton")->isEnabled());
    window_->ClearButtonClick();
    EXPECT_TRUE(button("MoreButton")->isEnabled());
    EXPECT_EQ(title(), QStringLiteral(" SEARCH CRITERIA    (Level 1)"));
}

TEST_F(SearchWindowTest, NoMatchesEndTheSearchAndKeepTheWindowOpen) {
    window_->show();
    type(kBrand, QStringLiteral("zzz"));
    window_->OkButtonClick();
    EXPECT_EQ(
        messageTexts(),
        Texts{QStringLiteral("Notice: No valid matches found.  Search criteria will be cleared.")});
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(settings_.SearchActive);
    EXPECT_EQ(criterion(kBrand), QString());
    EXPECT_EQ(visibleBrands().size(), kStock.size());
}

// Showing the window again, typing, clearing and leaving with Exit must not touch the search
// that is running; only a new Ok replaces it.
TEST_F(SearchWindowTest, ExitAndClearLeaveTheSearchInForce) {
    window_->show();
    type(kBrand, QStringLiteral("son"));
    window_->OkButtonClick();
    ASSERT_TRUE(settings_.SearchActive);

    window_->show();
    EXPECT_EQ(criterion(kBrand), QString()); // earlier criteria are not shown again
    type(kBrand, QStringLiteral("acme"));
    window_->MoreButtonClick();
    window_->ClearButtonClick();
    EXPECT_EQ(window_->typedCriteria().count(), 0);
    type(kBrand, QStringLiteral("phil"));
    window_->ExitButtonClick();

    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(settings_.SearchActive);
    EXPECT_EQ(window_->criteria().count(), 1);
    EXPECT_EQ(visibleBrands(),
              (Texts{QStringLiteral("Sony"), QStringLiteral("SONY"), QStringLiteral("Edison")}));
    EXPECT_EQ(reopened_, 0);

    window_->show();
    type(kBrand, QStringLiteral("acme"));
    window_->OkButtonClick();
    EXPECT_EQ(reopened_, 1);
    EXPECT_EQ(visibleBrands(), Texts{QStringLiteral("Acme")});
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(SearchWindowTest, PickListRowOffersItsEntries) {
    window_->show();
    QStringList offered;
    answerOptions(1, true, &offered);
    window_->SearchGridMouseUp(kBrand - 1, 1);
    EXPECT_EQ(offered, (QStringList{QStringLiteral("Acme"), QStringLiteral("Caf\u00e9 Corner")}));
    EXPECT_EQ(criterion(kBrand), QStringLiteral("Caf\u00e9 Corner"));
    EXPECT_EQ(grid()->currentRow(), kBrand - 1);

    answerOptions(0, false);
    window_->SearchGridMouseUp(kBrand - 1, 1);
    EXPECT_EQ(criterion(kBrand), QStringLiteral("Caf\u00e9 Corner")); // Cancel changes nothing
}

// Pictures of the window for people to look at: written when VANTOREL_SCREENSHOTS names a folder.
TEST_F(SearchWindowTest, Screenshots) {
    const QString folder = qEnvironmentVariable("VANTOREL_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "VANTOREL_SCREENSHOTS not set";
    for (double scale : {1.0, 1.6}) {
        settings_.ScaleFactor = scale;
        window_->show();
        type(kBrand, QStringLiteral("son"));
        type(kCost, QStringLiteral("> 100"));
        QTest::qWait(50);
        window_->grab().save(folder + QStringLiteral("/search-%1.png").arg(ui::ZoomPercent(scale)));
        window_->ExitButtonClick();
    }
    settings_.ScaleFactor = 1.0;
    TSearchOptions options(settings_);
    options.setFieldName(QStringLiteral("Cost"));
    options.LoadList({QStringLiteral(" = "), QStringLiteral(" > "), QStringLiteral(" < "),
                      QStringLiteral(" > X < ")},
                     0);
    options.show();
    QTest::qWait(50);
    options.grab().save(folder + QStringLiteral("/search-options.png"));
}

} // namespace
