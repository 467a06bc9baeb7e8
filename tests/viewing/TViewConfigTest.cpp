#include "viewing/TViewConfig.h"
#include "core/DialogService.h"
#include "core/MessageService.h"
#include "core/Settings.h"

#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

constexpr int kItem = 1;
constexpr int kBrand = 2;
constexpr int kModel = 3;
constexpr int kCost = 11;

// The window over a settings record of its own, shown as the main window shows it.
class ViewConfigTest : public testing::Test {
protected:
    void open(double scaleFactor = 1.0) {
        settings_.ScaleFactor = scaleFactor;
        window_ = std::make_unique<TViewConfig>(
            settings_, messages_, dialogs_,
            [this](const QString& keyword) { help_.push_back(keyword); });
        window_->show();
    }

    template <class T> T* child(const char* name) const {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QTableWidget* grid(const char* name) const { return child<QTableWidget>(name); }
    static QString text(const QTableWidget* grid, int row, int column) {
        const QTableWidgetItem* item = grid->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }
    void setCell(const char* gridName, int row, int column, const QString& value) {
        grid(gridName)->item(row, column)->setText(value);
    }
    int page() const { return child<QTabWidget>("MyTabbedPage")->currentIndex(); }

    core::Settings settings_;
    core::ScriptedMessageService messages_;
    core::ScriptedDialogService dialogs_;
    std::vector<QString> help_;
    std::unique_ptr<TViewConfig> window_;
};

TEST_F(ViewConfigTest, ShowsTheConfigurationOnTheFieldsToShowPage) {
    settings_.FieldDisplayNames[kItem] = "Thing";
    settings_.DisplayFields[kBrand] = false;
    settings_.FieldWidths[kCost] = 9;
    settings_.FieldOrder[kCost] = 1; // Cost and Item change places
    settings_.FieldOrder[kItem] = 11;
    settings_.GridTitleAlignment = 3;
    settings_.GridFont = {.name = "Courier", .size = 1200};
    open();

    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Viewer Configuration"));
    EXPECT_EQ(page(), 2);
    QTableWidget* show = grid("FieldsToDisplay");
    EXPECT_EQ(show->horizontalHeaderItem(0)->text(), QStringLiteral("FIELD"));
    EXPECT_EQ(show->horizontalHeaderItem(1)->text(), QStringLiteral("DISPLAY IT"));
    EXPECT_EQ(text(show, 0, 0), QStringLiteral("Thing"));
    EXPECT_EQ(text(show, 0, 1), QStringLiteral("Yes"));
    EXPECT_EQ(text(show, 1, 1), QStringLiteral("No"));
    QTableWidget* widths = grid("FieldWidthGrid");
    EXPECT_EQ(widths->horizontalHeaderItem(1)->text(), QStringLiteral("WIDTH"));
    EXPECT_EQ(text(widths, 10, 1), QStringLiteral("9"));
    EXPECT_EQ(text(widths, 0, 1), QStringLiteral("15"));
    QTableWidget* names = grid("FieldNameGrid");
    EXPECT_EQ(names->horizontalHeaderItem(1)->text(), QStringLiteral("NAME TO USE"));
    EXPECT_EQ(text(names, 0, 0), QStringLiteral("Item")); // the column name, not the display name
    EXPECT_EQ(text(names, 5, 0), QStringLiteral("Descriptio"));
    EXPECT_EQ(text(names, 0, 1), QStringLiteral("Thing"));
    QTableWidget* order = grid("FieldOrderGrid");
    EXPECT_TRUE(order->horizontalHeader()->isHidden());
    EXPECT_EQ(text(order, 0, 0), QStringLiteral("Cost"));
    EXPECT_EQ(text(order, 10, 0), QStringLiteral("Thing"));

    EXPECT_EQ(child<QLineEdit>("TitleFont")->text(), QStringLiteral("12pt Arial"));
    EXPECT_EQ(child<QLineEdit>("GridFont")->text(), QStringLiteral("1,200pt Courier"));
    EXPECT_TRUE(child<QRadioButton>("TitleRight")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("TitleCenter")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("ShowGridTitle")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("FieldEditing")->isChecked());
}

TEST_F(ViewConfigTest, FieldGridsAreSizedByTheScaleFactor) {
    open(1.6);
    for (const char* name :
         {"FieldsToDisplay", "FieldWidthGrid", "FieldNameGrid", "FieldOrderGrid"}) {
        SCOPED_TRACE(name);
        QTableWidget* g = grid(name);
        EXPECT_EQ(g->columnWidth(0), 320);
        const int second = g->columnCount() == 1 ? 0 : g->columnWidth(1);
        EXPECT_EQ(second, QLatin1String(name) == QLatin1String("FieldNameGrid")    ? 320
                          : QLatin1String(name) == QLatin1String("FieldOrderGrid") ? 0
                                                                                   : 160);
        EXPECT_EQ(g->width(), 320 + second + 20);
        EXPECT_EQ(g->rowHeight(0), 35); // 22 x 1.6
    }
}

// Every way out checks the names and stores the four grids.
TEST_F(ViewConfigTest, EveryWayOfClosingStoresTheGrids) {
    const std::vector<std::pair<const char*, std::function<void(TViewConfig&)>>> ways = {
        {"Exit button",
         [](TViewConfig& w) { w.findChild<QPushButton*>(QStringLiteral("ExitButton"))->click(); }},
        {"close box", [](TViewConfig& w) { w.close(); }},
        {"Escape", [](TViewConfig& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
    };
    for (const auto& [way, closeIt] : ways) {
        SCOPED_TRACE(way);
        settings_ = core::Settings();
        open();
        // Widths: 0, 256 and empty become 10; digits followed by letters keep their digits.
        setCell("FieldWidthGrid", 0, 1, QStringLiteral("0"));
        setCell("FieldWidthGrid", 1, 1, QStringLiteral("256"));
        setCell("FieldWidthGrid", 2, 1, QString());
        setCell("FieldWidthGrid", 3, 1, QStringLiteral(" 12abc"));
        setCell("FieldWidthGrid", 4, 1, QStringLiteral("255"));
        setCell("FieldsToDisplay", 5, 1, QStringLiteral("No"));
        setCell("FieldsToDisplay", 6, 1, QStringLiteral("yes")); // only "Yes" shows a field
        setCell("FieldNameGrid", 0, 1, QStringLiteral("Possession name longer than twenty"));
        setCell("FieldNameGrid", 1, 1, QStringLiteral("ITEM")); // differs from Item in case only
        closeIt(*window_);

        EXPECT_FALSE(window_->isVisible());
        EXPECT_TRUE(messages_.messages().empty());
        EXPECT_EQ(settings_.FieldWidths[1], 10);
        EXPECT_EQ(settings_.FieldWidths[2], 10);
        EXPECT_EQ(settings_.FieldWidths[3], 10);
        EXPECT_EQ(settings_.FieldWidths[4], 12);
        EXPECT_EQ(settings_.FieldWidths[5], 255);
        EXPECT_EQ(settings_.FieldWidths[6], 15);
        for (int row : {0, 1, 2})
            EXPECT_EQ(text(grid("FieldWidthGrid"), row, 1), QStringLiteral("10"));
        EXPECT_FALSE(settings_.DisplayFields[6]);
        EXPECT_FALSE(settings_.DisplayFields[7]);
        EXPECT_TRUE(settings_.DisplayFields[8]);
        EXPECT_EQ(settings_.FieldDisplayNames[1], "Possession name long");
        EXPECT_EQ(settings_.FieldDisplayNames[2], "ITEM");
        for (int n = 1; n <= core::kFieldCount; ++n)
            EXPECT_EQ(settings_.FieldOrder[n], n);
    }
}

TEST_F(ViewConfigTest, EqualNamesKeepTheWindowOpenOnTheNamesPage) {
    open();
    setCell("FieldNameGrid", 2, 1, QStringLiteral("Brand")); // Model named like Brand
    setCell("FieldWidthGrid", 0, 1, QStringLiteral("30"));
    window_->close();

    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(messages_.messages()[0].text,
              QStringLiteral("Two field names have the same name \"Brand\".  Please change one."));
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(page(), 5);
    EXPECT_EQ(settings_.FieldDisplayNames[kModel], "Model");
    EXPECT_EQ(settings_.FieldWidths[kItem], 15) << "nothing stored while the window stays";

    // Text the settings cannot keep is refused the same way.
    messages_.clear();
    setCell("FieldNameGrid", 2, 1, QStringLiteral("Model \u2192"));
    window_->close();
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].text,
              QStringLiteral("The text contains characters that cannot be stored."));
    EXPECT_TRUE(window_->isVisible());

    messages_.clear();
    setCell("FieldNameGrid", 2, 1, QStringLiteral("Make"));
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(settings_.FieldDisplayNames[kModel], "Make");
    EXPECT_EQ(settings_.FieldWidths[kItem], 30);
}

TEST_F(ViewConfigTest, OrderMovesRowsAndDefaultsRestoreCatalogueOrderOnYes) {
    settings_.FieldOrder[kItem] = 2;
    settings_.FieldOrder[kBrand] = 1;
    settings_.FieldWidths[kModel] = 33;
    settings_.DisplayFields[kModel] = false;
    open();
    QTableWidget* order = grid("FieldOrderGrid");
    EXPECT_EQ(text(order, 0, 0), QStringLiteral("Brand"));

    order->setCurrentCell(0, 0);
    window_->OrderUpClick(); // the first row stays
    EXPECT_EQ(text(order, 0, 0), QStringLiteral("Brand"));
    window_->OrderDownClick();
    window_->OrderDownClick();
    EXPECT_EQ(order->currentRow(), 2);
    EXPECT_EQ(text(order, 0, 0), QStringLiteral("Item"));
    EXPECT_EQ(text(order, 1, 0), QStringLiteral("Model"));
    EXPECT_EQ(text(order, 2, 0), QStringLiteral("Brand"));
    order->setCurrentCell(21, 0);
    window_->OrderDownClick(); // the last row stays
    EXPECT_EQ(text(order, 21, 0), QStringLiteral("User Defined 4"));

    messages_.queueAnswer(core::MessageButton::No);
    window_->OrderDefaultsClick();
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Re-Order"));
    EXPECT_EQ(
        messages_.messages()[0].text,
        QStringLiteral("This will set the order of fields to the program defaults.  Continue?"));
    EXPECT_EQ(messages_.messages()[0].buttons, core::MessageButtons::YesNo);
    EXPECT_EQ(text(order, 0, 0), QStringLiteral("Item")) << "No leaves the order as it was";

    messages_.queueAnswer(core::MessageButton::Yes);
    window_->OrderDefaultsClick();
    window_->ExitButtonClick();
    for (int n = 1; n <= core::kFieldCount; ++n)
        EXPECT_EQ(settings_.FieldOrder[n], n);
    EXPECT_EQ(settings_.FieldWidths[kModel], 33);
    EXPECT_FALSE(settings_.DisplayFields[kModel]);
}

// The order grid shows the names as they were when the window opened, but each row knows its
// field: a field renamed and moved in the same visit goes where it was moved, and no two fields
// end up at one position.
TEST_F(ViewConfigTest, AFieldRenamedAndMovedTakesItsNewPosition) {
    open();
    setCell("FieldNameGrid", 0, 1, QStringLiteral("Thing"));
    QTableWidget* order = grid("FieldOrderGrid");
    order->setCurrentCell(0, 0);
    window_->OrderDownClick();
    EXPECT_EQ(text(order, 1, 0), QStringLiteral("Item"));
    window_->ExitButtonClick();

    EXPECT_EQ(settings_.FieldDisplayNames[kItem], "Thing");
    EXPECT_EQ(settings_.FieldOrder[kItem], 2);
    EXPECT_EQ(settings_.FieldOrder[kBrand], 1);
}

TEST_F(ViewConfigTest, ImmediateChangesReachTheSettingsAsTheyAreMade) {
    open();
    child<QCheckBox>("ShowGridTitle")->click();
    child<QCheckBox>("ColumnLines")->click();
    child<QCheckBox>("RowLines")->click();
    child<QCheckBox>("RowIndicator")->click();
    child<QCheckBox>("FieldEditing")->click();
    EXPECT_FALSE(settings_.GridShowTitles);
    EXPECT_FALSE(settings_.GridColumnLines);
    EXPECT_FALSE(settings_.GridRowLines);
    EXPECT_FALSE(settings_.GridRowIndicator);
    EXPECT_TRUE(settings_.GridFieldEditing);
    for (const auto& [name, alignment] :
         {std::pair{"TitleLeft", 1}, std::pair{"TitleRight", 3}, std::pair{"TitleCenter", 2}}) {
        child<QRadioButton>(name)->click();
        EXPECT_EQ(settings_.GridTitleAlignment, alignment) << name;
    }

    // Colors: the dialog starts on the present color; Cancel changes nothing.
    dialogs_.queueColor(QColor(255, 0, 0));
    dialogs_.queueColor(std::nullopt);
    child<QPushButton>("Button1")->click();
    child<QPushButton>("NewColorBUtton")->click();
    ASSERT_EQ(dialogs_.colorDialogs().size(), 2u);
    EXPECT_EQ(dialogs_.colorDialogs()[0].color, QColor(130, 130, 130));
    EXPECT_EQ(dialogs_.colorDialogs()[1].color, QColor(192, 192, 192));
    EXPECT_EQ(settings_.GridTitleColor, 255);
    EXPECT_EQ(settings_.GridCellColor, 12632256);
    EXPECT_EQ(child<QWidget>("TitleShape")->palette().color(QPalette::Window), QColor(255, 0, 0));

    // Fonts: offered with their effects; the chosen one is kept whole and shown.
    QFont chosen(QStringLiteral("Courier"));
    chosen.setPointSize(14);
    chosen.setItalic(true);
    chosen.setStrikeOut(true);
    dialogs_.queueFont(core::FontChoice{chosen, QColor(0, 0, 255)});
    dialogs_.queueFont(std::nullopt);
    child<QPushButton>("TitleFontButton")->click();
    child<QPushButton>("NewFontButton")->click();
    ASSERT_EQ(dialogs_.fontDialogs().size(), 2u);
    EXPECT_TRUE(dialogs_.fontDialogs()[0].showEffects);
    EXPECT_EQ(dialogs_.fontDialogs()[0].font.pointSize(), 12);
    EXPECT_EQ(dialogs_.fontDialogs()[1].font.family(), QStringLiteral("Arial"));
    const core::FontSpec expected{
        .name = "Courier", .size = 14, .color = 0xFF0000, .italic = true, .strikeout = true};
    EXPECT_EQ(settings_.GridTitleFont, expected);
    EXPECT_EQ(settings_.GridFont, core::FontSpec{});
    EXPECT_EQ(child<QLineEdit>("TitleFont")->text(), QStringLiteral("14pt Courier"));
}

TEST_F(ViewConfigTest, DoubleClickTogglesOnlyTheDisplayColumn) {
    open();
    QTableWidget* show = grid("FieldsToDisplay");
    show->setCurrentCell(3, 1);
    window_->FieldsToDisplayDblClick();
    EXPECT_EQ(text(show, 3, 1), QStringLiteral("No"));
    show->item(3, 1)->setText(QStringLiteral("maybe")); // anything but "Yes" turns to "Yes"
    window_->FieldsToDisplayDblClick();
    EXPECT_EQ(text(show, 3, 1), QStringLiteral("Yes"));
    show->setCurrentCell(3, 0);
    window_->FieldsToDisplayDblClick();
    EXPECT_EQ(text(show, 3, 0), QStringLiteral("Serial Number"));
    EXPECT_EQ(text(show, 3, 1), QStringLiteral("Yes"));
}

TEST_F(ViewConfigTest, HelpOpensAtTheKeywordOfThePage) {
    open();
    for (int p = 0; p < 6; ++p) {
        child<QTabWidget>("MyTabbedPage")->setCurrentIndex(p);
        window_->HelpButtonClick();
    }
    EXPECT_EQ(help_, (std::vector<QString>{
                         QStringLiteral("Viewer Configuration Title"),
                         QStringLiteral("Viewer Configuration Look"),
                         QStringLiteral("Viewer Configuration Show"),
                         QStringLiteral("Viewer Configuration Widths"),
                         QStringLiteral("Viewer Configuration Order"),
                         QStringLiteral("Viewer Configuration Names"),
                     }));
}

// Pictures of the six pages for people to look at: written when VANTOREL_SCREENSHOTS names a
// folder.
TEST_F(ViewConfigTest, Screenshots) {
    const QString folder = qEnvironmentVariable("VANTOREL_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "VANTOREL_SCREENSHOTS not set";
    QDir().mkpath(folder);
    settings_.DisplayFields[kBrand] = false;
    for (const double scale : {1.0, 1.6}) {
        settings_.ScreenWidth = scale == 1.0 ? 640 : 1024;
        settings_.ScreenHeight = scale == 1.0 ? 480 : 768;
        open(scale);
        for (int p = 0; p < 6; ++p) {
            child<QTabWidget>("MyTabbedPage")->setCurrentIndex(p);
            QTest::qWait(20);
            window_->grab().save(
                folder + QStringLiteral("/viewconfig-%1-page%2.png")
                             .arg(scale == 1.0 ? QStringLiteral("100") : QStringLiteral("160"))
                             .arg(p));
        }
        window_->close();
    }
}

} // namespace
