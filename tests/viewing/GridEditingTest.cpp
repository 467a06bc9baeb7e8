#include "InventoryTables.h"

#include "core/MessageService.h"
#include "core/Settings.h"
#include "viewing/GridDelegate.h"
#include "viewing/InventoryModel.h"
#include "viewing/ViewerOptions.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace viewing_test;
using viewing::InventoryModel;

namespace {

constexpr int kBrandNumber = 2;
constexpr int kBrand = 1; // table field position
constexpr int kPurchDateNumber = 10;
constexpr int kWarrantyNumber = 14;
constexpr int kCostNumber = 11;

// A grid with field editing on over a stock table of three records in record order (record 1
// with warranty "Yes"), the Brand list holding two entries.
class GridEditingTest : public testing::Test {
protected:
    GridEditingTest() {
        path_ = makeStock(dir_, 3, false);
        table_.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadWrite);
        table_.first();
        model_ = std::make_unique<InventoryModel>(table_, defaultNames());
        model_->setBackgroundFill(false);
        model_->setMessageService(&messages_);
        grid_.setModel(model_.get());
        grid_.resize(1200, 300);
        settings_.GridFieldEditing = true;
        ApplyViewerOptions();
        grid_.show();
    }

    void ApplyViewerOptions() {
        viewing::ApplyViewerOptions(
            grid_, *model_, settings_,
            {.entries = [this](int number) { return number == kBrandNumber ? brands_ : Entries(); },
             .offer =
                 [this](int number, const std::string& value) {
                     offered_.push_back({number, value});
                 }});
    }

    QModelIndex at(int row, int catalogueNumber) const {
        return model_->index(row, model_->columnOf(catalogueNumber));
    }

    // The text of a field of record 1..3, as another user of the file reads it.
    std::string stored(uint32_t recno, int field) const {
        dbase::Table other;
        other.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
        other.gotoBookmark(dbase::Bookmark{recno});
        return other.text(field);
    }

    QByteArray fileBytes() const {
        QFile file(QString::fromStdString(path_));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return file.readAll();
    }

    // Opens the cell's editor, as a double click would.
    template <class Editor> Editor* openEditor(const QModelIndex& index) {
        grid_.setCurrentIndex(index);
        grid_.edit(index);
        return qobject_cast<Editor*>(grid_.indexWidget(index));
    }

    // Enter, as the user ends typing; the delegate commits from the event loop.
    static void pressEnter(QWidget* editor) {
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }

    void clickCentreOf(const QModelIndex& index) {
        QTest::mouseClick(grid_.viewport(), Qt::LeftButton, {}, grid_.visualRect(index).center());
    }

    using Entries = std::vector<std::string>;
    QTemporaryDir dir_;
    std::string path_;
    dbase::Table table_;
    std::unique_ptr<InventoryModel> model_;
    QTableView grid_;
    core::Settings settings_;
    core::ScriptedMessageService messages_;
    Entries brands_ = {"Acme", "Zenith"};
    std::vector<std::pair<int, std::string>> offered_;
};

TEST_F(GridEditingTest, PickListCellsAreEditedInComboBoxesOverTheGridCopyOfTheList) {
    CheckedModel checked(model_.get());
    auto* combo = openEditor<QComboBox>(at(0, kBrandNumber));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->objectName(), QStringLiteral("MyComboBrand"));
    EXPECT_TRUE(combo->isEditable());
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Acme"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Zenith"));
    EXPECT_EQ(combo->lineEdit()->maxLength(), 20);

    // A listed entry, chosen.
    combo->setCurrentIndex(1);
    pressEnter(combo);
    EXPECT_EQ(stored(1, kBrand), "Zenith");
    EXPECT_EQ(cell(*model_, 0, model_->columnOf(kBrandNumber)), QStringLiteral("Zenith"));

    // A value typed with blanks around and differing from an entry only in case: stored and
    // offered to the list without the blanks.
    combo = openEditor<QComboBox>(at(1, kBrandNumber));
    ASSERT_NE(combo, nullptr);
    combo->setEditText(QStringLiteral("  acme "));
    pressEnter(combo);
    EXPECT_EQ(stored(2, kBrand), "acme");
    ASSERT_EQ(offered_.size(), 2u);
    EXPECT_EQ(offered_[0], (std::pair<int, std::string>{kBrandNumber, "Zenith"}));
    EXPECT_EQ(offered_[1], (std::pair<int, std::string>{kBrandNumber, "acme"}));
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(GridEditingTest, WarrantyIsACheckBoxTickedForYes) {
    const QModelIndex warranty = at(0, kWarrantyNumber);
    EXPECT_EQ(warranty.data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_TRUE(model_->flags(warranty) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model_->flags(warranty) & Qt::ItemIsEditable) << "ticked, never typed";

    clickCentreOf(warranty);
    EXPECT_EQ(stored(1, kWarranty), "No");
    EXPECT_EQ(at(0, kWarrantyNumber).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

    grid_.setCurrentIndex(at(0, kWarrantyNumber));
    QTest::keyClick(grid_.viewport(), Qt::Key_Space);
    EXPECT_EQ(stored(1, kWarranty), "Yes");

    // Without field editing the box cannot be ticked.
    settings_.GridFieldEditing = false;
    ApplyViewerOptions();
    clickCentreOf(at(0, kWarrantyNumber));
    EXPECT_EQ(stored(1, kWarranty), "Yes");
}

TEST_F(GridEditingTest, AnInvalidDateIsRefusedWithTheEditWindowsMessageAndNothingWritten) {
    const QByteArray before = fileBytes();
    auto* box = openEditor<QLineEdit>(at(0, kPurchDateNumber));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->maxLength(), 10);
    box->setText(QStringLiteral("13/45/2023"));
    pressEnter(box);

    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(messages_.messages()[0].text,
              QStringLiteral("Invalid purchase date specified.  Please correct."));
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(cell(*model_, 0, model_->columnOf(kPurchDateNumber)), QString());
    EXPECT_EQ(table_.state(), dbase::Table::State::Browse);

    // A good date in the current format is stored; emptying the cell clears it again.
    EXPECT_TRUE(model_->setData(at(0, kPurchDateNumber), QStringLiteral("6/1/2023")));
    EXPECT_EQ(stored(1, kPurchDate), "6/1/2023");
    EXPECT_TRUE(model_->setData(at(0, kPurchDateNumber), QString()));
    EXPECT_EQ(stored(1, kPurchDate), "");
}

TEST_F(GridEditingTest, ARecordAnotherUserHoldsIsReportedAndLeftAsItWas) {
    dbase::Table other;
    other.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadWrite);
    other.gotoBookmark(dbase::Bookmark{2});
    other.edit(); // holds record 2
    const QByteArray before = fileBytes();

    EXPECT_FALSE(model_->setData(at(1, kCostNumber), QStringLiteral("99.5")));
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_FALSE(messages_.messages()[0].text.isEmpty());
    EXPECT_EQ(table_.state(), dbase::Table::State::Browse);
    EXPECT_EQ(fileBytes(), before);

    // Once the other user lets go, the same change goes through; the others stayed as they were.
    other.cancel();
    EXPECT_TRUE(model_->setData(at(1, kCostNumber), QStringLiteral("99.5")));
    EXPECT_EQ(stored(2, kCost), "99.5");
    EXPECT_EQ(stored(1, kCost), "0.25");
    EXPECT_EQ(stored(3, kCost), "2.25");
}

TEST_F(GridEditingTest, NothingIsEditableWithoutFieldEditingOrOnAReadOnlyTable) {
    settings_.GridFieldEditing = false;
    ApplyViewerOptions();
    EXPECT_FALSE(model_->flags(at(0, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model_->setData(at(0, 1), QStringLiteral("Changed")));
    EXPECT_EQ(stored(1, kItem), itemName(0));

    dbase::Table readOnly;
    readOnly.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    InventoryModel model(readOnly, defaultNames());
    model.setFieldEditing(true);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

} // namespace
