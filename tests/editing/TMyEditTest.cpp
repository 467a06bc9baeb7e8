#include "editing/TMyEdit.h"

#include "core/DateFormats.h"
#include "core/FieldCatalogue.h"
#include "core/MessageService.h"
#include "core/Settings.h"
#include "editing/PickLists.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using core::MessageButton;
using editing::PickList;

namespace {

using FieldValues = std::vector<std::pair<const char*, const char*>>;

// An inventory table in a scratch folder, sorted by category as the program sorts by default,
// open shared as the main window keeps it; the edit window works on it.
class EditWindowTest : public testing::Test {
protected:
    EditWindowTest() {
        path_ = dir_.filePath(QStringLiteral("HOME.DBF")).toStdString();
        dbase::Table::create(path_, core::InventoryColumns());
        {
            dbase::Table sole;
            sole.openFile(path_, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
            sole.addIndex("NEWINDEX", "Upper(Left(Category,20))");
        }
        table_.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadWrite);
        table_.selectIndex("NEWINDEX");
        table_.setDateFormat(*core::DateFormatFor(7)); // m/d/yyyy
        settings_.ProgramDirectory = dir_.path();
        settings_.ScreenWidth = 640;
        settings_.ScreenHeight = 480;
    }

    // A record as the window would store it: amounts and quantity always hold a number.
    void addRecord(const FieldValues& values) {
        table_.insert();
        for (const char* amount : {"Quantity", "Cost", "Value", "RepCost"})
            table_.setText(table_.fieldIndex(amount), "0");
        for (const auto& [name, value] : values)
            table_.setText(table_.fieldIndex(name), value);
        table_.post();
    }

    // The window as the main window makes it, shown in a mode and active.
    std::unique_ptr<TMyEdit> open(int mode) {
        auto window = std::make_unique<TMyEdit>(TMyEdit::Services{
            .settings = settings_,
            .messages = messages_,
            .table = table_,
            .pickLists = lists_,
            .recordsChanged = [this] { ++recordsChanged_; },
            .currentChanged = [this] { ++currentChanged_; },
        });
        window->setEditMode(mode);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    // What the file holds, read by a table object of its own.
    std::string stored(uint32_t recno, const char* field) const {
        dbase::Table reader;
        reader.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
        reader.setDateFormat(*core::DateFormatFor(7));
        reader.gotoBookmark({recno});
        return reader.text(reader.fieldIndex(field));
    }
    uint32_t recordCount() const {
        dbase::Table reader;
        reader.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
        return reader.recordCount();
    }

    template <typename T> static T* child(TMyEdit& window, const char* name) {
        T* found = window.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QLineEdit* box(TMyEdit& w, const char* name) { return child<QLineEdit>(w, name); }
    static QComboBox* combo(TMyEdit& w, const char* name) { return child<QComboBox>(w, name); }
    static void click(TMyEdit& w, const char* button) {
        QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton);
    }
    static int page(TMyEdit& w) { return child<QTabWidget>(w, "MyTabbedNoteBook")->currentIndex(); }
    static QString focused(TMyEdit& w) {
        QWidget* f = w.focusWidget();
        if (f && qobject_cast<QComboBox*>(f->parentWidget())) f = f->parentWidget();
        return f ? f->objectName() : QString();
    }
    // Types into an empty date box as a user would, key by key.
    static void typeDate(TMyEdit& w, const char* name, const QString& keys) {
        QLineEdit* date = box(w, name);
        date->clear();
        date->setFocus();
        date->setCursorPosition(0);
        QTest::keyClicks(date, keys);
    }

    QTemporaryDir dir_;
    std::string path_;
    dbase::Table table_;
    core::Settings settings_;
    core::ScriptedMessageService messages_;
    editing::PickLists lists_{dir_.path()};
    int recordsChanged_ = 0;
    int currentChanged_ = 0;
};

const FieldValues kTelevision = {{"Item", "Television"},      {"Brand", "Sonar"},
                                 {"Category", "Electronics"}, {"Quantity", "1"},
                                 {"Cost", "499.99"},          {"PurchDate", "3/5/2024"},
                                 {"Warranty", "Yes"},         {"UserDef1", "Attic"}};

// A pick-list file as an earlier run left it.
void writeList(const QString& path, const QByteArray& lines) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines);
}

} // namespace

TEST_F(EditWindowTest, EditModeShowsTheRecordUnderTheUsersNames) {
    settings_.FieldDisplayNames[1] = "Thing";
    settings_.FieldDisplayNames[14] = "Guarantee & care";
    addRecord(kTelevision);
    auto w = open(TMyEdit::EditMode);
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Television"));
    EXPECT_EQ(combo(*w, "Brand")->currentText(), QStringLiteral("Sonar"));
    EXPECT_EQ(box(*w, "Cost")->text(), QStringLiteral("499.99"));
    EXPECT_EQ(box(*w, "UserDef1")->text(), QStringLiteral("Attic"));
    EXPECT_TRUE(child<QCheckBox>(*w, "Warranty")->isChecked());
    // A date fills its box; an empty date is the blank mask.
    EXPECT_EQ(box(*w, "PurchDate")->displayText(), QStringLiteral("03/05/2024"));
    EXPECT_EQ(box(*w, "WarDate")->displayText(), QStringLiteral("__/__/____"));
    EXPECT_EQ(child<QLabel>(*w, "ItemLabel")->text(), QStringLiteral("Thing"));
    EXPECT_EQ(child<QLabel>(*w, "QuantityLabel")->text(), QStringLiteral("Quantity"));
    EXPECT_EQ(child<QCheckBox>(*w, "Warranty")->text(), QStringLiteral("Guarantee && care"));
    EXPECT_EQ(child<QLabel>(*w, "WorthItem")->text(), QStringLiteral("Thing: Television"));
    EXPECT_EQ(child<QLabel>(*w, "TotCostLabel")->text(), QStringLiteral("499.99 "));
    EXPECT_EQ(page(*w), 0);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Edit"));
    EXPECT_FALSE(w->ValuesChanged());

    // Stored again untouched, the record is the same, date included.
    click(*w, "UpdateButton");
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(stored(1, "PurchDate"), "3/5/2024");
    EXPECT_EQ(stored(1, "WarDate"), "");
    EXPECT_EQ(stored(1, "Cost"), "499.99");
    EXPECT_EQ(stored(1, "Warranty"), "Yes");
}

TEST_F(EditWindowTest, WarrantyIsTickedOnlyByYesInThatCase) {
    addRecord({{"Item", "Radio"}});
    for (const char* text : {"Yes", "yes", "YES", "No", ""}) {
        table_.edit();
        table_.setText(table_.fieldIndex("Warranty"), text);
        table_.post();
        auto w = open(TMyEdit::EditMode);
        EXPECT_EQ(child<QCheckBox>(*w, "Warranty")->isChecked(), std::string(text) == "Yes")
            << text;
    }
}

TEST_F(EditWindowTest, AddModeStoresANewRecordAndItsComboTextsJoinThePickLists) {
    addRecord(kTelevision);
    writeList(dir_.filePath(QStringLiteral("BRAND.LST")), "Acme\r\n");
    auto w = open(TMyEdit::AddMode);
    EXPECT_EQ(box(*w, "Item")->text(), QString());
    EXPECT_EQ(box(*w, "Quantity")->text(), QStringLiteral("1"));
    EXPECT_EQ(box(*w, "Cost")->text(), QStringLiteral("0"));
    EXPECT_EQ(combo(*w, "Brand")->count(), 1); // the list as the window found it
    box(*w, "Item")->setText(QStringLiteral("Armchair"));
    combo(*w, "Brand")->setEditText(QStringLiteral("  Restwell "));
    combo(*w, "Category")->setEditText(QStringLiteral("Furniture"));
    combo(*w, "TheOwner")->setEditText(QStringLiteral("acme")); // differs from Acme in case only
    box(*w, "Cost")->setText(QStringLiteral(".5"));
    typeDate(*w, "WarDate", QStringLiteral("12/31/2025"));
    click(*w, "UpdateButton");
    ASSERT_TRUE(messages_.messages().empty()) << messages_.messages()[0].text.toStdString();
    EXPECT_EQ(recordCount(), 2u);
    EXPECT_EQ(stored(2, "Item"), "Armchair");
    EXPECT_EQ(stored(2, "Brand"), "Restwell");
    EXPECT_EQ(stored(2, "Cost"), "0.5");
    EXPECT_EQ(stored(2, "WarDate"), "12/31/2025");
    EXPECT_EQ(stored(2, "PurchDate"), "");
    EXPECT_EQ(stored(2, "Warranty"), "No");
    EXPECT_EQ(w->editMode(), TMyEdit::EditMode);
    EXPECT_EQ(recordsChanged_, 1);

    // Both copies of each list take the trimmed text, the combo box lists it, the box keeps
    // what was typed.
    const editing::Entries brands = {"Acme", "Restwell"};
    EXPECT_EQ(lists_.edit(PickList::Brand), brands);
    EXPECT_EQ(lists_.grid(PickList::Brand), brands);
    EXPECT_EQ(lists_.edit(PickList::Owner), editing::Entries{"acme"});
    EXPECT_EQ(combo(*w, "Brand")->count(), 2);
    EXPECT_EQ(combo(*w, "Brand")->currentText(), QStringLiteral("  Restwell "));
    EXPECT_TRUE(lists_.edit(PickList::Location).empty()); // an empty text is not listed

    // A second update changes the record just added.
    box(*w, "Item")->setText(QStringLiteral("Armchair, green"));
    click(*w, "UpdateButton");
    EXPECT_EQ(recordCount(), 2u);
    EXPECT_EQ(stored(2, "Item"), "Armchair, green");

    // Closing writes every list file.
    w->close();
    QFile brandFile(dir_.filePath(QStringLiteral("BRAND.LST")));
    ASSERT_TRUE(brandFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(brandFile.readAll(), QByteArray("Acme\r\nRestwell\r\n"));
    for (const char* name : {"LOCATION.LST", "BOUGHT.LST", "CATEGORY.LST", "OWNER.LST"})
        EXPECT_TRUE(QFile::exists(dir_.filePath(QLatin1String(name)))) << name;
}

TEST_F(EditWindowTest, CopyModeStoresASecondRecordAndASecondUpdateChangesThatOne) {
    addRecord(kTelevision);
    auto w = open(TMyEdit::CopyMode);
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Television"));
    click(*w, "UpdateButton");
    EXPECT_EQ(recordCount(), 2u);
    EXPECT_EQ(stored(2, "Item"), "Television");
    EXPECT_EQ(stored(2, "PurchDate"), "3/5/2024");

    box(*w, "Item")->setText(QStringLiteral("Television, kitchen"));
    click(*w, "UpdateButton");
    EXPECT_EQ(recordCount(), 2u);
    EXPECT_EQ(stored(1, "Item"), "Television");
    EXPECT_EQ(stored(2, "Item"), "Television, kitchen");
}

// A copy the engine refuses (an amount too large for its column) stays a copy: the next update
// must add the record, not overwrite the one it was copied from.
TEST_F(EditWindowTest, ACopyTheEngineRefusesIsStillACopyAtTheNextUpdate) {
    addRecord(kTelevision);
    auto w = open(TMyEdit::CopyMode);
    box(*w, "Cost")->setText(QStringLiteral("1E20"));
    click(*w, "UpdateButton");
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_TRUE(messages_.messages()[0].text.contains(QStringLiteral("still in the window")));
    EXPECT_EQ(focused(*w), QStringLiteral("Cost"));
    EXPECT_EQ(page(*w), 1);
    EXPECT_EQ(recordCount(), 1u);
    EXPECT_EQ(w->editMode(), TMyEdit::CopyMode);
    EXPECT_EQ(box(*w, "Cost")->text(), QStringLiteral("1E20"));

    box(*w, "Item")->setText(QStringLiteral("Television, copy"));
    box(*w, "Cost")->setText(QStringLiteral("1E2"));
    click(*w, "UpdateButton");
    EXPECT_EQ(recordCount(), 2u);
    EXPECT_EQ(stored(1, "Item"), "Television");
    EXPECT_EQ(stored(1, "Cost"), "499.99");
    EXPECT_EQ(stored(2, "Item"), "Television, copy");
    EXPECT_EQ(stored(2, "Cost"), "100");
}

TEST_F(EditWindowTest, ClearKeepsTheUserDefinedFieldsAndNewRecordCarriesThem) {
    addRecord(kTelevision);
    auto w = open(TMyEdit::EditMode);
    child<QTabWidget>(*w, "MyTabbedNoteBook")->setCurrentIndex(3);
    click(*w, "ClearButton");
    EXPECT_EQ(box(*w, "Item")->text(), QString());
    EXPECT_EQ(combo(*w, "Brand")->currentText(), QString());
    EXPECT_EQ(box(*w, "Quantity")->text(), QStringLiteral("1"));
    EXPECT_EQ(box(*w, "Value")->text(), QStringLiteral("0"));
    EXPECT_EQ(box(*w, "PurchDate")->displayText(), QStringLiteral("__/__/____"));
    EXPECT_FALSE(child<QCheckBox>(*w, "Warranty")->isChecked());
    EXPECT_EQ(box(*w, "UserDef1")->text(), QStringLiteral("Attic"));
    EXPECT_EQ(child<QLabel>(*w, "OtherItem")->text(), QStringLiteral("Item: Television"));

    // New Record after a change asks first; No leaves the record as it was.
    messages_.queueAnswer(MessageButton::No);
    child<QAction>(*w, "MenuNew")->trigger();
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].text,
              QStringLiteral("Data has changed.  Update this record before creating new one?"));
    EXPECT_EQ(messages_.messages()[0].buttons, core::MessageButtons::YesNoCancel);
    EXPECT_EQ(w->editMode(), TMyEdit::AddMode);
    box(*w, "Item")->setText(QStringLiteral("Lamp"));
    click(*w, "UpdateButton");
    EXPECT_EQ(recordCount(), 2u);
    EXPECT_EQ(stored(1, "Item"), "Television");
    EXPECT_EQ(stored(2, "Item"), "Lamp");
    EXPECT_EQ(stored(2, "UserDef1"), "Attic");
}

TEST_F(EditWindowTest, TotalsAreQuantityTimesEachAmountWithThousandsSeparators) {
    struct Case {
        const char* name;
        const char* quantity;
        const char* amount;
        const char* total;
    };
    const Case cases[] = {
        {"3 x 1234.5 = 3703.5", "3", "1234.5", "3,703.50 "},
        {"blanks around both", " 3 ", " 1234.5 ", "3,703.50 "},
        {"negative: no comma after the sign", "-1", "1234.5", "-1,234.50 "},
        {"1000 x 1000 = 1000000", "1000", "1000", "1,000,000.00 "},
        {"blank amount has no total", "3", "", ""},
        {"amount that is no number", "3", "12,50", ""},
        {"quantity that is no number", "1.5", "10", ""},
    };
    auto w = open(TMyEdit::AddMode);
    child<QTabWidget>(*w, "MyTabbedNoteBook")->setCurrentIndex(1);
    for (const Case& c : cases) {
        box(*w, "Quantity")->setText(QLatin1String(c.quantity));
        box(*w, "Value")->setText(QStringLiteral("2"));
        box(*w, "Cost")->setText(QLatin1String(c.amount));
        // Leaving the box works out the totals.
        box(*w, "Cost")->setFocus();
        box(*w, "RepCost")->setFocus();
        EXPECT_EQ(child<QLabel>(*w, "TotCostLabel")->text(), QLatin1String(c.total)) << c.name;
    }
    box(*w, "Quantity")->setText(QStringLiteral("3"));
    box(*w, "Value")->setText(QString());
    box(*w, "Cost")->setText(QStringLiteral("1234.5"));
    box(*w, "Quantity")->setFocus();
    box(*w, "Cost")->setFocus();
    EXPECT_EQ(child<QLabel>(*w, "TotCostLabel")->text(), QStringLiteral("3,703.50 "));
    EXPECT_EQ(child<QLabel>(*w, "TotValueLabel")->text(), QString());
    EXPECT_EQ(child<QLabel>(*w, "TotRepCostLabel")->text(), QStringLiteral("0.00 "));
}

TEST_F(EditWindowTest, EnterWalksTheFieldsPageByPageAndFromUserDef4BackToItem) {
    auto w = open(TMyEdit::AddMode);
    const std::vector<std::pair<const char*, int>> walk = {
        {"Brand", 0},    {"Model", 0},    {"Serial", 0},   {"IDMarks", 0},  {"Comments", 0},
        {"Category", 0}, {"Location", 0}, {"TheOwner", 0}, {"Quantity", 1}, {"Value", 1},
        {"Cost", 1},     {"RepCost", 1},  {"WarDate", 2},  {"WarNotes", 2}, {"PurchDate", 2},
        {"Bought", 2},   {"UserDef1", 3}, {"UserDef2", 3}, {"UserDef3", 3}, {"UserDef4", 3},
        {"Item", 0}};
    EXPECT_EQ(focused(*w), QStringLiteral("Item"));
    for (const auto& [name, expectedPage] : walk) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(focused(*w), QLatin1String(name));
        EXPECT_EQ(page(*w), expectedPage) << name;
    }
    // Enter stored nothing, asked nothing, and added nothing to a combo's list.
    EXPECT_EQ(recordCount(), 0u);
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_TRUE(w->isVisible());
    combo(*w, "Brand")->setFocus();
    combo(*w, "Brand")->setEditText(QStringLiteral("Acme"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    EXPECT_EQ(combo(*w, "Brand")->count(), 0);
    EXPECT_EQ(focused(*w), QStringLiteral("Model"));
}

// All six checks fail at once: each update names the first one left, in the fixed order, on
// its page with the focus in its box; nothing is stored until all pass.
TEST_F(EditWindowTest, ValidationReportsOneFailureAtATimeInOrder) {
    writeList(dir_.filePath(QStringLiteral("BRAND.LST")), "Acme\r\n");
    auto w = open(TMyEdit::AddMode);
    combo(*w, "Brand")->setEditText(QStringLiteral("Newco"));
    typeDate(*w, "WarDate", QStringLiteral("2/30/2024")); // no such day
    typeDate(*w, "PurchDate", QStringLiteral("3"));       // month only
    box(*w, "Cost")->setText(QStringLiteral("12,50"));
    box(*w, "Value")->setText(QStringLiteral("1."));
    box(*w, "RepCost")->setText(QString());
    box(*w, "Quantity")->setText(QStringLiteral("2147483648"));

    struct Step {
        const char* message;
        const char* control;
        int page;
        const char* fix;
    };
    const Step steps[] = {
        {"Invalid warranty date specified.  Please correct.", "WarDate", 2, "2/29/2024"},
        {"Invalid purchase date specified.  Please correct.", "PurchDate", 2, ""},
        {"Invalid cost specified.  Please correct.", "Cost", 1, "-3"},
        {"Invalid value specified.  Please correct.", "Value", 1, "1.5e1"},
        {"Invalid replacement cost specified.  Please correct.", "RepCost", 1, "+2"},
        {"Invalid quantity specified.  Please correct.", "Quantity", 1, "-2147483648"},
    };
    for (const Step& step : steps) {
        child<QTabWidget>(*w, "MyTabbedNoteBook")->setCurrentIndex(0);
        box(*w, "Item")->setFocus();
        messages_.clear();
        click(*w, "UpdateButton");
        ASSERT_EQ(messages_.messages().size(), 1u) << step.message;
        EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(messages_.messages()[0].text, QLatin1String(step.message));
        EXPECT_EQ(focused(*w), QLatin1String(step.control));
        EXPECT_EQ(page(*w), step.page) << step.control;
        EXPECT_EQ(recordCount(), 0u);
        // Nothing was offered to the pick lists either.
        EXPECT_EQ(lists_.edit(PickList::Brand), editing::Entries{"Acme"});
        if (QString(QLatin1String(step.control)).endsWith(QStringLiteral("Date")))
            typeDate(*w, step.control, QLatin1String(step.fix));
        else
            box(*w, step.control)->setText(QLatin1String(step.fix));
    }
    messages_.clear();
    click(*w, "UpdateButton");
    EXPECT_TRUE(messages_.messages().empty());
    ASSERT_EQ(recordCount(), 1u);
    EXPECT_EQ(stored(1, "WarDate"), "2/29/2024");
    EXPECT_EQ(stored(1, "PurchDate"), "");
    EXPECT_EQ(stored(1, "Cost"), "-3");
    EXPECT_EQ(stored(1, "Value"), "15");
    EXPECT_EQ(stored(1, "RepCost"), "2");
    EXPECT_EQ(stored(1, "Quantity"), "-2147483648");
    EXPECT_EQ(lists_.edit(PickList::Brand), (editing::Entries{"Acme", "Newco"}));
}

TEST(EditWindowNumbers, DecimalAndWholeNumberTexts) {
    struct Case {
        const char* text;
        bool decimal;
        bool whole;
    };
    const Case cases[] = {
        {"12", true, true},          {" 12 ", true, true},        {"+12", true, true},
        {"-12", true, true},         {".5", true, false},         {"-.5", true, false},
        {"1E2", true, false},        {"1e-2", true, false},       {"2.5E+3", true, false},
        {"", false, false},          {"   ", false, false},       {"1.", false, false},
        {".", false, false},         {"12,50", false, false},     {"$12", false, false},
        {"1E", false, false},        {"E2", false, false},        {"+-1", false, false},
        {"1 2", false, false},       {"1E999", false, false},     {"2147483647", true, true},
        {"-2147483648", true, true}, {"2147483648", true, false}, {"--1", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(editing::ReadDecimal(c.text).has_value(), c.decimal) << '"' << c.text << '"';
        EXPECT_EQ(editing::ReadWholeNumber(c.text).has_value(), c.whole) << '"' << c.text << '"';
    }
    EXPECT_EQ(editing::ReadDecimal(" 1234.5 "), 1234.5);
    EXPECT_EQ(editing::ReadDecimal("+.5E1"), 5.0);
    EXPECT_EQ(editing::ReadWholeNumber("+7"), 7);
}

// Previous and Next ask before leaving a record that is new or changed: Cancel stays, Yes
// stores first, No moves on without storing. An unchanged record is left without a question.
TEST_F(EditWindowTest, MovingAwayFromUnsavedInputAsksFirst) {
    struct Case {
        const char* name;
        int mode;
        bool change;
        bool forward;
        std::optional<MessageButton> answer; // none: no question expected
        const char* question;
        bool storedFirst;
        const char* shows; // the Item the window shows afterwards
    };
    const char* kNotYetNext =
        "This record has not been updated yet.  Update this record before moving to the next "
        "record?";
    const char* kChangedPrevious =
        "Data has changed.  Update this record before moving to the previous record?";
    const Case cases[] = {
        {"add, nothing typed, No", TMyEdit::AddMode, false, true, MessageButton::No, kNotYetNext,
         false, "Hose"},
        {"add, Cancel", TMyEdit::AddMode, true, true, MessageButton::Cancel, kNotYetNext, false,
         "Changed"},
        {"add, Yes: from the new record on", TMyEdit::AddMode, true, true, MessageButton::Yes,
         kNotYetNext, true, "Atlas"},
        {"copy, untouched, No", TMyEdit::CopyMode, false, true, MessageButton::No, kNotYetNext,
         false, "Hose"},
        {"edit, unchanged", TMyEdit::EditMode, false, false, std::nullopt, "", false, "Atlas"},
        {"edit, changed, Cancel", TMyEdit::EditMode, true, false, MessageButton::Cancel,
         kChangedPrevious, false, "Changed"},
        {"edit, changed, No", TMyEdit::EditMode, true, false, MessageButton::No, kChangedPrevious,
         false, "Atlas"},
        {"edit, changed, Yes", TMyEdit::EditMode, true, false, MessageButton::Yes, kChangedPrevious,
         true, "Atlas"},
    };
    // Two records in sort order: Books (record 1) before Garden (record 2). A record added
    // with no category sorts before both.
    addRecord({{"Item", "Atlas"}, {"Category", "Books"}});
    addRecord({{"Item", "Hose"}, {"Category", "Garden"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        currentChanged_ = 0;
        // Start on Atlas to go forward, on Hose to go back.
        if (c.forward)
            table_.first();
        else
            table_.last();
        const uint32_t before = recordCount();
        auto w = open(c.mode);
        if (c.change) box(*w, "Item")->setText(QStringLiteral("Changed"));
        if (c.answer) messages_.queueAnswer(*c.answer);
        click(*w, c.forward ? "NextButton" : "PrevButton");
        if (c.answer) {
            ASSERT_EQ(messages_.messages().size(), 1u);
            const core::Message& m = messages_.messages()[0];
            EXPECT_EQ(m.text, QLatin1String(c.question));
            EXPECT_EQ(m.caption, QStringLiteral("Warning"));
            EXPECT_EQ(m.buttons, core::MessageButtons::YesNoCancel);
            EXPECT_EQ(m.defaultButton, MessageButton::No);
            EXPECT_EQ(m.sound, core::MessageSound::Question);
        } else {
            EXPECT_TRUE(messages_.messages().empty());
        }
        const bool adds = c.mode != TMyEdit::EditMode;
        const bool moved = QLatin1String(c.shows) != QLatin1String("Changed");
        EXPECT_EQ(recordCount(), before + (c.storedFirst && adds ? 1u : 0u));
        if (c.storedFirst && !adds) {
            EXPECT_EQ(stored(2, "Item"), "Changed");
        }
        EXPECT_EQ(box(*w, "Item")->text(), QLatin1String(c.shows));
        EXPECT_EQ(currentChanged_, moved ? 1 : 0);
        EXPECT_EQ(w->editMode(), moved ? TMyEdit::EditMode : c.mode);
        EXPECT_EQ(w->ValuesChanged(), !moved);
        w->close();
        // Put the records back for the next case.
        table_.gotoBookmark({2});
        table_.edit();
        table_.setText(table_.fieldIndex("Item"), "Hose");
        table_.post();
        for (uint32_t r = 3; r <= table_.recordCount(); ++r) {
            table_.gotoBookmark({r});
            if (!table_.isDeleted()) table_.remove();
        }
    }
}

TEST_F(EditWindowTest, AtTheLastRecordNextLoadsItAgain) {
    addRecord({{"Item", "Atlas"}, {"Category", "Books"}});
    addRecord({{"Item", "Hose"}, {"Category", "Garden"}});
    table_.last();
    auto w = open(TMyEdit::EditMode);
    box(*w, "Item")->setText(QStringLiteral("Changed"));
    messages_.queueAnswer(MessageButton::No);
    click(*w, "NextButton");
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Hose"));
    click(*w, "PrevButton");
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Atlas"));
    click(*w, "PrevButton");
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Atlas"));
    EXPECT_EQ(messages_.messages().size(), 1u);
}

TEST_F(EditWindowTest, ExitAsksOnlyWhenSomethingChanged) {
    addRecord(kTelevision);
    {
        auto w = open(TMyEdit::EditMode);
        click(*w, "CancelButton");
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(messages_.messages().empty());
    }
    auto w = open(TMyEdit::EditMode);
    box(*w, "WarNotes")->setText(QStringLiteral("Two years"));
    messages_.queueAnswer(MessageButton::No);
    click(*w, "CancelButton");
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].text,
              QStringLiteral("Data has changed.  Do you want to exit without updating?"));
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Warning"));
    EXPECT_EQ(messages_.messages()[0].buttons, core::MessageButtons::YesNo);
    EXPECT_EQ(messages_.messages()[0].defaultButton, MessageButton::No);
    EXPECT_TRUE(w->isVisible());
    // Escape is Exit, question included.
    messages_.queueAnswer(MessageButton::Yes);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(messages_.messages().size(), 2u);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored(1, "WarNotes"), "");
    EXPECT_EQ(w->storedCount(), 0);
}

TEST_F(EditWindowTest, UpdateAndExitStoresAndCloses) {
    addRecord(kTelevision);
    auto w = open(TMyEdit::EditMode);
    box(*w, "Model")->setText(QStringLiteral("TX-1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored(1, "Model"), "TX-1");
    EXPECT_EQ(w->storedCount(), 1);
}

TEST_F(EditWindowTest, BrowseModeOnlyViews) {
    settings_.BrowseMode = true;
    addRecord({{"Item", "Atlas"}, {"Category", "Books"}});
    addRecord(kTelevision);
    table_.first();
    auto w = open(TMyEdit::EditMode);
    for (const char* name : {"UpdateExitButton", "UpdateButton", "ClearButton", "BlankWarDate"})
        EXPECT_FALSE(child<QPushButton>(*w, name)->isEnabled()) << name;
    for (const char* name : {"MenuNew", "MenuClear", "MenuUpdate", "MenuUpdateExit", "MenuCut",
                             "MenuCopy", "MenuPaste", "MenuDelete"})
        EXPECT_FALSE(child<QAction>(*w, name)->isEnabled()) << name;
    for (const char* name : {"MenuPrevious", "MenuNext", "MenuExit"})
        EXPECT_TRUE(child<QAction>(*w, name)->isEnabled()) << name;

    // Typing changes nothing, and the update keys do nothing.
    QTest::keyClicks(box(*w, "Item"), QStringLiteral("xyz"));
    combo(*w, "Category")->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("xyz"));
    QTest::mouseClick(child<QCheckBox>(*w, "Warranty"), Qt::LeftButton);
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Atlas"));
    EXPECT_EQ(combo(*w, "Category")->currentText(), QStringLiteral("Books"));
    EXPECT_FALSE(child<QCheckBox>(*w, "Warranty")->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::ControlModifier);
    // Moving and leaving ask nothing (a question would throw: none is queued).
    click(*w, "NextButton");
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Television"));
    click(*w, "CancelButton");
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(stored(1, "Item"), "Atlas");
    EXPECT_EQ(stored(1, "Category"), "Books");
    EXPECT_EQ(recordCount(), 2u);
}

TEST_F(EditWindowTest, TextTheCodePageCannotHoldIsRefusedAndKept) {
    addRecord(kTelevision);
    auto w = open(TMyEdit::EditMode);
    combo(*w, "Brand")->setEditText(QStringLiteral("Newco"));
    box(*w, "UserDef2")->setText(QStringLiteral("Caf\u00e9 \u20ac5")); // both in the code page
    box(*w, "WarNotes")->setText(QStringLiteral("\u03a9 extended"));   // Greek omega is not
    click(*w, "UpdateButton");
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(messages_.messages()[0].text,
              QStringLiteral("Warranty Notes holds the character \"\u03a9\", which this database "
                             "cannot store.  Please correct."));
    EXPECT_EQ(focused(*w), QStringLiteral("WarNotes"));
    EXPECT_EQ(page(*w), 2);
    EXPECT_EQ(box(*w, "WarNotes")->text(), QStringLiteral("\u03a9 extended"));
    EXPECT_EQ(stored(1, "WarNotes"), "");
    EXPECT_EQ(stored(1, "Brand"), "Sonar");
    EXPECT_TRUE(lists_.edit(PickList::Brand).empty());

    box(*w, "WarNotes")->setText(QStringLiteral("O extended"));
    click(*w, "UpdateButton");
    EXPECT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(stored(1, "UserDef2"), "Caf\xe9 \x80"
                                     "5");
}

// Another copy of the program holding the record: the update is refused with a message, the
// typing stays, and a later update goes through.
TEST_F(EditWindowTest, ARecordLockedByAnotherUserIsReportedAndNothingIsLost) {
    addRecord(kTelevision);
    table_.first();
    auto w = open(TMyEdit::EditMode);
    dbase::Table other;
    other.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadWrite);
    other.first();
    other.edit();

    box(*w, "Item")->setText(QStringLiteral("Television, bedroom"));
    click(*w, "UpdateButton");
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_TRUE(messages_.messages()[0].text.contains(QStringLiteral("another user")));
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Television, bedroom"));
    EXPECT_EQ(table_.state(), dbase::Table::State::Browse);
    EXPECT_EQ(stored(1, "Item"), "Television");
    EXPECT_EQ(recordsChanged_, 0);

    other.cancel();
    click(*w, "UpdateButton");
    EXPECT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(stored(1, "Item"), "Television, bedroom");
}

// Another copy changed or deleted the record after the window loaded it: its change is not
// overwritten unawares.
TEST_F(EditWindowTest, ARecordChangedOrDeletedByAnotherUserIsNotOverwrittenUnawares) {
    addRecord(kTelevision);
    table_.first();
    auto w = open(TMyEdit::EditMode);
    dbase::Table other;
    other.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadWrite);
    other.first();
    other.edit();
    other.setText(other.fieldIndex("Model"), "Their model");
    other.post();

    box(*w, "Item")->setText(QStringLiteral("Mine"));
    messages_.queueAnswer(MessageButton::No);
    click(*w, "UpdateButton");
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Warning"));
    EXPECT_TRUE(messages_.messages()[0].text.contains(QStringLiteral("changed by another user")));
    EXPECT_EQ(stored(1, "Model"), "Their model");
    EXPECT_EQ(stored(1, "Item"), "Television");
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Mine"));
    EXPECT_EQ(table_.state(), dbase::Table::State::Browse);

    messages_.queueAnswer(MessageButton::Yes);
    click(*w, "UpdateButton");
    EXPECT_EQ(stored(1, "Item"), "Mine");
    EXPECT_EQ(stored(1, "Model"), ""); // the window's Model replaced theirs, as agreed
    // Once stored, the next update asks no more.
    click(*w, "UpdateButton");
    EXPECT_EQ(messages_.messages().size(), 2u);

    other.first();
    other.remove();
    box(*w, "Item")->setText(QStringLiteral("Mine again"));
    click(*w, "UpdateButton");
    ASSERT_EQ(messages_.messages().size(), 3u);
    EXPECT_EQ(messages_.messages()[2].caption, QStringLiteral("Error"));
    EXPECT_TRUE(messages_.messages()[2].text.contains(QStringLiteral("deleted by another user")));
    EXPECT_EQ(box(*w, "Item")->text(), QStringLiteral("Mine again"));
    EXPECT_EQ(stored(1, "Item"), "Mine");
    EXPECT_EQ(table_.state(), dbase::Table::State::Browse);
}

TEST_F(EditWindowTest, DateBoxesFollowTheDateFormat) {
    table_.setDateFormat(*core::DateFormatFor(5)); // dd-mm-yy
    addRecord({{"Item", "Kettle"}, {"PurchDate", "31-12-99"}});
    auto w = open(TMyEdit::EditMode);
    // The year is shown whole, so storing the date again cannot move it to another century.
    EXPECT_EQ(box(*w, "PurchDate")->displayText(), QStringLiteral("31-12-1999"));
    EXPECT_EQ(box(*w, "WarDate")->displayText(), QStringLiteral("__-__-____"));
    click(*w, "BlankPurchDate");
    EXPECT_EQ(box(*w, "PurchDate")->displayText(), QStringLiteral("__-__-____"));
    typeDate(*w, "WarDate", QStringLiteral("1-2-03"));
    click(*w, "UpdateButton");
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(stored(1, "PurchDate"), "");
    EXPECT_EQ(stored(1, "WarDate"), "2/1/2003"); // read back as m/d/yyyy
}

TEST_F(EditWindowTest, TheClipboardMenuServesTextAndComboBoxesOnly) {
    auto w = open(TMyEdit::AddMode);
    QLineEdit* item = box(*w, "Item");
    item->setText(QStringLiteral("Table lamp"));
    item->setFocus();
    item->setSelection(0, 6);
    child<QAction>(*w, "MenuCut")->trigger();
    EXPECT_EQ(item->text(), QStringLiteral("lamp"));
    combo(*w, "Brand")->setFocus();
    child<QAction>(*w, "MenuPaste")->trigger();
    EXPECT_EQ(combo(*w, "Brand")->currentText(), QStringLiteral("Table "));
    combo(*w, "Brand")->lineEdit()->setSelection(0, 5);
    child<QAction>(*w, "MenuDelete")->trigger();
    EXPECT_EQ(combo(*w, "Brand")->currentText(), QStringLiteral(" "));
    child<QTabWidget>(*w, "MyTabbedNoteBook")->setCurrentIndex(2);
    box(*w, "WarDate")->setFocus();
    child<QAction>(*w, "MenuPaste")->trigger();
    EXPECT_EQ(box(*w, "WarDate")->displayText(), QStringLiteral("__/__/____"));
}

// The window lives for the whole run: every showing starts from its designed size.
TEST_F(EditWindowTest, EachShowingHasTheSameZoom) {
    settings_.ScaleFactor = 1.6;
    settings_.ScreenWidth = 1024;
    settings_.ScreenHeight = 768;
    auto w = open(TMyEdit::AddMode);
    const QSize first = w->size();
    const QRect item = box(*w, "Item")->geometry();
    w->close();
    w->setEditMode(TMyEdit::AddMode);
    w->show();
    EXPECT_EQ(w->size(), first);
    EXPECT_EQ(box(*w, "Item")->geometry(), item);
    EXPECT_EQ(first, QSize(896, 589)); // 560 x 368 designed, times 1.6
}

// Pictures of the four pages for people to look at: written when VANTOREL_SCREENSHOTS names a
// folder.
TEST_F(EditWindowTest, Screenshots) {
    const QString folder = qEnvironmentVariable("VANTOREL_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "VANTOREL_SCREENSHOTS not set";
    addRecord({{"Item", "Television"},
               {"Brand", "Sonar"},
               {"Model", "KV-27"},
               {"Serial", "SN 449-2231"},
               {"IDMarks", "Engraved postcode on the back"},
               {"Descriptio", "27 inch colour set with remote control"},
               {"Category", "Electronics"},
               {"Location", "Living room"},
               {"Owner", "Family"},
               {"Quantity", "2"},
               {"Cost", "1234.5"},
               {"RepCost", "999.99"},
               {"Value", "700"},
               {"Warranty", "Yes"},
               {"WarDate", "12/31/2026"},
               {"WarNotes", "Parts and labour"},
               {"PurchDate", "3/5/2024"},
               {"BoughtFrom", "High Street Electrics"},
               {"UserDef1", "Insured"},
               {"UserDef2", "Receipt in file 4"}});
    writeList(dir_.filePath(QStringLiteral("BRAND.LST")), "Sonar\r\nAcme\r\n");
    for (const double scale : {1.0, 1.6}) {
        settings_.ScaleFactor = scale;
        settings_.ScreenWidth = scale == 1.0 ? 640 : 1024;
        settings_.ScreenHeight = scale == 1.0 ? 480 : 768;
        auto w = open(TMyEdit::EditMode);
        for (int p = 0; p < 4; ++p) {
            child<QTabWidget>(*w, "MyTabbedNoteBook")->setCurrentIndex(p);
            QTest::qWait(20);
            w->grab().save(
                folder +
                QStringLiteral("/edit-page%1-%2.png").arg(p).arg(static_cast<int>(scale * 100)));
        }
        w->close();
    }
}
