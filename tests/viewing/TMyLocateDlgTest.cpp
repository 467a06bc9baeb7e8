// The locate component and its window on a real table: what the window lists and starts with,
// its buttons and messages, and what Locate Next repeats afterwards. The modal run is replaced
// by a function that works the window as the user would.

#include "viewing/TMyLocateDlg.h"
#include "viewing/TMyLocateDialog.h"

#include "core/MessageService.h"
#include "core/Settings.h"
#include "dbase/Table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Dialog = TMyLocateDialog;

// The window's controls, by their names.
struct Form {
    QComboBox* FieldNameComboBox;
    QLineEdit* SearchValue;
    QRadioButton* ExactMatchBtn;
    QRadioButton* PartialMatchStartBtn;
    QRadioButton* PartialMatchAnyBtn;
    QCheckBox* CaseSensitiveCheckBox;
    QPushButton* FirstButton;
    QPushButton* NextButton;
};

Form form(TMyLocateDlg& dlg) {
    const auto child = [&dlg]<typename T>(T*, const char* name) {
        T* found = dlg.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    };
    return {child(static_cast<QComboBox*>(nullptr), "FieldNameComboBox"),
            child(static_cast<QLineEdit*>(nullptr), "SearchValue"),
            child(static_cast<QRadioButton*>(nullptr), "ExactMatchBtn"),
            child(static_cast<QRadioButton*>(nullptr), "PartialMatchStartBtn"),
            child(static_cast<QRadioButton*>(nullptr), "PartialMatchAnyBtn"),
            child(static_cast<QCheckBox*>(nullptr), "CaseSensitiveCheckBox"),
            child(static_cast<QPushButton*>(nullptr), "FirstButton"),
            child(static_cast<QPushButton*>(nullptr), "NextButton")};
}

class LocateDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        const std::string path = folder_.filePath(QStringLiteral("GOODS.DBF")).toStdString();
        dbase::Table::create(path, std::vector<dbase::ColumnDef>{
                                       {"ITEM", dbase::ColumnKind::Character, 20},
                                       {"BRAND", dbase::ColumnKind::Character, 20},
                                       {"COST", dbase::ColumnKind::Float},
                                   });
        dbase::Table t;
        t.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        for (const auto& [item, brand] : std::vector<std::pair<const char*, const char*>>{
                 {"Radio", "Sony"}, {"Phonograph", "Edison"}, {"Television", "Sony"}}) {
            t.insert();
            t.setText(0, item);
            t.setText(1, brand);
            t.post();
        }
        t.close();
        table_.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadWrite);
        table_.first();
        locate_.SetDataSource(&table_);
        locate_.setOnFound([this] { ++shown_; });
        locate_.setFieldTitles([] {
            return std::vector<Dialog::FieldTitle>{{"ITEM", QStringLiteral("Item~Name")},
                                                   {"BRAND", QStringLiteral("Brand")},
                                                   {"COST", QStringLiteral("Cost"), false}};
        });
    }

    // Runs Locate with the window worked by `work`; the window is shown while it works.
    bool execute(const std::function<void(TMyLocateDlg&)>& work) {
        locate_.setModalRunner([&](TMyLocateDlg& dlg) {
            ++windows_;
            dlg.show();
            work(dlg);
            return dlg.result();
        });
        return locate_.Execute();
    }
    static void fill(TMyLocateDlg& dlg, const char* column, const QString& value) {
        ASSERT_TRUE(dlg.selectField(column));
        form(dlg).SearchValue->setText(value);
    }
    std::vector<QString> texts() const {
        std::vector<QString> out;
        for (const core::Message& m : messages_.messages())
            out.push_back(m.text);
        return out;
    }
    std::string item() const { return table_.text(0); }

    QTemporaryDir folder_;
    dbase::Table table_;
    core::Settings settings_;
    core::ScriptedMessageService messages_;
    Dialog locate_{settings_, messages_};
    int windows_ = 0;
    int shown_ = 0;
};

TEST_F(LocateDialogTest, WithoutTableNoWindow) {
    table_.close();
    EXPECT_FALSE(execute([](TMyLocateDlg&) {}));
    EXPECT_FALSE(locate_.FindNext());
    EXPECT_EQ(windows_, 0);
    ASSERT_EQ(messages_.messages().size(), 2u);
    EXPECT_EQ(messages_.messages()[0].text,
              QStringLiteral("DataSource does not reference an active DataSet"));
    EXPECT_EQ(messages_.messages()[0].icon, core::MessageIcon::Error);
    EXPECT_EQ(messages_.messages()[1].text,
              QStringLiteral("DataSource does not refer to an active table!"));
    EXPECT_EQ(messages_.messages()[1].icon, core::MessageIcon::Warning);
}

TEST_F(LocateDialogTest, FieldListFollowsTheProperties) {
    const auto entries = [this] {
        std::vector<QString> out;
        execute([&](TMyLocateDlg& dlg) {
            QComboBox* box = form(dlg).FieldNameComboBox;
            for (int i = 0; i < box->count(); ++i)
                out.push_back(box->itemText(i));
        });
        return out;
    };
    // Tildes become blanks; the hidden Cost goes by its column name; sorted by title.
    EXPECT_EQ(entries(), (std::vector<QString>{QStringLiteral("Brand"), QStringLiteral("COST"),
                                               QStringLiteral("Item Name")}));
    locate_.SortFields = Dialog::fsSortByFieldNo;
    EXPECT_EQ(entries(), (std::vector<QString>{QStringLiteral("Item Name"), QStringLiteral("Brand"),
                                               QStringLiteral("COST")}));
    locate_.FieldSelection = Dialog::fsVisibleFields;
    EXPECT_EQ(entries(),
              (std::vector<QString>{QStringLiteral("Item Name"), QStringLiteral("Brand")}));
}

TEST_F(LocateDialogTest, WindowStartsFromTheProperties) {
    execute([](TMyLocateDlg& dlg) {
        const Form f = form(dlg);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Locate Field Value"));
        EXPECT_EQ(f.FieldNameComboBox->currentIndex(), -1);
        EXPECT_TRUE(f.SearchValue->text().isEmpty());
        EXPECT_TRUE(f.PartialMatchStartBtn->isChecked());
        EXPECT_FALSE(f.CaseSensitiveCheckBox->isChecked());
        EXPECT_TRUE(f.NextButton->isDefault());
        EXPECT_FALSE(f.FirstButton->isDefault());
        fill(dlg, "BRAND", QStringLiteral("edi"));
        f.PartialMatchAnyBtn->setChecked(true);
        f.CaseSensitiveCheckBox->setChecked(true);
        dlg.reject();
    });
    // The next showing starts where the last one ended.
    locate_.DefaultButton = Dialog::dbFindFirst;
    locate_.Caption = QStringLiteral("Find It");
    execute([](TMyLocateDlg& dlg) {
        const Form f = form(dlg);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Find It"));
        EXPECT_EQ(f.FieldNameComboBox->currentText(), QStringLiteral("Brand"));
        EXPECT_EQ(f.SearchValue->text(), QStringLiteral("edi"));
        EXPECT_TRUE(f.PartialMatchAnyBtn->isChecked());
        EXPECT_TRUE(f.CaseSensitiveCheckBox->isChecked());
        EXPECT_TRUE(f.FirstButton->isDefault());
        // Choosing a field empties the value; the field list never lets Enter search.
        f.FieldNameComboBox->setFocus();
        dlg.FieldNameComboBoxEnter();
        EXPECT_FALSE(f.FirstButton->isDefault());
        dlg.FieldNameComboBoxChange();
        EXPECT_TRUE(f.SearchValue->text().isEmpty());
        dlg.FieldNameComboBoxExit();
        EXPECT_TRUE(f.FirstButton->isDefault());
        dlg.reject();
    });
}

TEST_F(LocateDialogTest, ButtonsSearchAndReport) {
    // "First" with no match: a message, the window stays and the cursor too.
    table_.last();
    EXPECT_FALSE(execute([](TMyLocateDlg& dlg) {
        fill(dlg, "BRAND", QStringLiteral("zen"));
        dlg.FindFirst();
        EXPECT_TRUE(dlg.isVisible());
        dlg.FindNextBtnClick();
        // No field chosen: nothing is searched.
        form(dlg).FieldNameComboBox->setCurrentIndex(-1);
        form(dlg).SearchValue->setText(QStringLiteral("Sony"));
        dlg.FindFirst();
        dlg.reject();
    }));
    EXPECT_EQ(texts(), (std::vector<QString>{QStringLiteral("No matches found"),
                                             QStringLiteral("No more matches found"),
                                             QStringLiteral("No matches found")}));
    EXPECT_EQ(messages_.messages().front().icon, core::MessageIcon::Information);
    EXPECT_EQ(messages_.messages().front().caption, QStringLiteral("Information"));
    EXPECT_EQ(item(), "Television");
    EXPECT_EQ(shown_, 0);

    // "First" closes the window on the first match.
    messages_.clear();
    EXPECT_TRUE(execute([](TMyLocateDlg& dlg) {
        fill(dlg, "BRAND", QStringLiteral("so"));
        dlg.FindFirst();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }));
    EXPECT_EQ(item(), "Radio");
    EXPECT_EQ(shown_, 1);
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(LocateDialogTest, LocateNextRepeatsTheLastLocate) {
    // Before any locate, Locate Next shows the window with "Next" as the default button.
    locate_.DefaultButton = Dialog::dbFindFirst;
    locate_.setModalRunner([this](TMyLocateDlg& dlg) {
        ++windows_;
        EXPECT_TRUE(form(dlg).NextButton->isDefault());
        fill(dlg, "BRAND", QStringLiteral("SONY"));
        form(dlg).ExactMatchBtn->setChecked(true);
        return int(QDialog::Rejected); // cancelled: the value, field and options still count
    });
    EXPECT_FALSE(locate_.FindNext());
    EXPECT_EQ(windows_, 1);
    EXPECT_EQ(locate_.DefaultButton, Dialog::dbFindNext);
    EXPECT_EQ(locate_.SearchField, "BRAND");
    EXPECT_EQ(locate_.MatchType, viewing::MatchType::ExactMatch);
    EXPECT_EQ(item(), "Radio");

    // Then it repeats without a window, from the record after the current one.
    EXPECT_TRUE(locate_.FindNext());
    EXPECT_EQ(item(), "Television");
    EXPECT_EQ(shown_, 1);
    EXPECT_FALSE(locate_.FindNext());
    EXPECT_EQ(item(), "Television");
    EXPECT_EQ(texts(), std::vector<QString>{QStringLiteral("No more matches found")});
    locate_.ShowMessages = false;
    EXPECT_FALSE(locate_.FindNext());
    EXPECT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(windows_, 1);

    // A field the table no longer has is named in a warning.
    locate_.SearchField = "MAKER";
    EXPECT_FALSE(locate_.FindNext());
    EXPECT_EQ(texts().back(), QStringLiteral("Field MAKER not found."));
}

TEST_F(LocateDialogTest, ShownZoomedAndCentred) {
    settings_.ScaleFactor = 1.6;
    settings_.ScreenWidth = 1024;
    settings_.ScreenHeight = 768;
    execute([](TMyLocateDlg& dlg) {
        // Designed 380 pixels wide: 380 x 160 / 100 = 608, centred with its frame.
        EXPECT_EQ(dlg.width(), 608);
        EXPECT_EQ(dlg.x(), (1024 - dlg.frameGeometry().width()) / 2);
        EXPECT_TRUE(form(dlg).SearchValue->hasFocus() || !dlg.isActiveWindow());
        // A picture for people to look at, when VANTOREL_SCREENSHOTS names a folder.
        if (!qEnvironmentVariableIsEmpty("VANTOREL_SCREENSHOTS"))
            dlg.grab().save(qEnvironmentVariable("VANTOREL_SCREENSHOTS") + QStringLiteral("/locate-160.png"));
        dlg.reject();
    });
}

} // namespace
