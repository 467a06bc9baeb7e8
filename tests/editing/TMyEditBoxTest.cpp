#include "editing/TMyEditBox.h"

#include "core/MessageService.h"
#include "core/Settings.h"
#include "editing/PickLists.h"
#include "ui/WindowAppearance.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>

using editing::Entries;
using editing::PickList;

namespace {

class EditBoxTest : public testing::Test {
protected:
    // The window for the Brand list as the main window opens it, shown.
    std::unique_ptr<TMyEditBox> open(const Entries& entries) {
        lists_.Replace(PickList::Brand, entries);
        auto box = std::make_unique<TMyEditBox>(lists_, PickList::Brand, QStringLiteral("Brand"),
                                                20, settings_, messages_);
        box->show();
        return box;
    }

    template <typename T> static T* child(TMyEditBox& box, const char* name) {
        T* found = box.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QListWidget* list(TMyEditBox& box) { return child<QListWidget>(box, "TheList"); }
    static QLineEdit* addInfo(TMyEditBox& box) { return child<QLineEdit>(box, "AddInfo"); }

    static QStringList texts(TMyEditBox& box) {
        QStringList result;
        for (int i = 0; i < list(box)->count(); ++i)
            result << list(box)->item(i)->text();
        return result;
    }
    static int selectedRow(TMyEditBox& box) {
        const auto selected = list(box)->selectedItems();
        return selected.isEmpty() ? -1 : list(box)->row(selected.first());
    }
    static void add(TMyEditBox& box, const QString& text) {
        addInfo(box)->setText(text);
        box.AddButtonClick();
    }

    QTemporaryDir dir_;
    editing::PickLists lists_{dir_.path()};
    core::Settings settings_;
    core::ScriptedMessageService messages_;
};

TEST_F(EditBoxTest, OpensWithTheEditCopyOfTheList) {
    auto box = open({" Acme", "Caf\xe9", "Acme"});
    lists_.AddToListTwwDB(PickList::Brand, "Grid only");
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Edit \"Brand\" List"));
    EXPECT_EQ(texts(*box), (QStringList{QStringLiteral(" Acme"), QStringLiteral("Caf\u00e9"),
                                        QStringLiteral("Acme")}));
    EXPECT_EQ(addInfo(*box)->maxLength(), 20);
    EXPECT_TRUE(addInfo(*box)->text().isEmpty());
    EXPECT_EQ(box->focusWidget(), list(*box));
    EXPECT_EQ(selectedRow(*box), 0);

    auto empty = open({});
    EXPECT_EQ(list(*empty)->count(), 0);
    EXPECT_EQ(selectedRow(*empty), -1);
}

TEST_F(EditBoxTest, AddAppendsTheTextWithoutBlanksAround) {
    struct Case {
        const char* name;
        QString typed;
        QStringList shown; // what the list holds afterwards
    };
    const Case cases[] = {
        {"blanks_around_removed", QStringLiteral("  Bolt co  "), {QStringLiteral("Bolt co")}},
        {"only_blanks_adds_nothing", QStringLiteral("   "), {}},
        {"tab_is_kept", QStringLiteral("\tBolt"), {QStringLiteral("\tBolt")}},
        {"windows_1252_text",
         QStringLiteral("\u20ac Caf\u00e9"),
         {QStringLiteral("\u20ac Caf\u00e9")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto box = open({"Acme"});
        add(*box, c.typed);
        EXPECT_EQ(texts(*box), QStringList{QStringLiteral("Acme")} + c.shown);
        EXPECT_TRUE(addInfo(*box)->text().isEmpty());
        EXPECT_EQ(box->focusWidget(), addInfo(*box));
    }
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(EditBoxTest, AddingTheSameValueTwiceGivesTwoEntries) {
    auto box = open({});
    add(*box, QStringLiteral("Acme"));
    QTest::mouseClick(addInfo(*box), Qt::LeftButton);
    QTest::keyClicks(addInfo(*box), QStringLiteral(" Acme"));
    QTest::mouseClick(child<QPushButton>(*box, "AddButton"), Qt::LeftButton);
    EXPECT_EQ(texts(*box), (QStringList{QStringLiteral("Acme"), QStringLiteral("Acme")}));
}

TEST_F(EditBoxTest, TextTheTablesCannotHoldIsRefused) {
    auto box = open({"Acme"});
    add(*box, QStringLiteral("Omega \u03a9"));
    EXPECT_EQ(texts(*box), QStringList{QStringLiteral("Acme")});
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(messages_.messages()[0].text,
              QStringLiteral("The text contains characters that cannot be stored."));
    // Left for the user to put right.
    EXPECT_EQ(addInfo(*box)->text(), QStringLiteral("Omega \u03a9"));
}

TEST_F(EditBoxTest, DeleteRemovesTheSelectedEntryAndSelectsItsNeighbour) {
    struct Case {
        const char* name;
        Entries entries;
        int select; // -1: nothing selected
        QStringList left;
        int selectedAfter;
    };
    const auto abc = Entries{"A", "B", "C"};
    const Case cases[] = {
        {"middle_selects_the_one_now_there", abc, 1, {QStringLiteral("A"), QStringLiteral("C")}, 1},
        {"first_selects_the_new_first", abc, 0, {QStringLiteral("B"), QStringLiteral("C")}, 0},
        {"last_selects_the_one_before", abc, 2, {QStringLiteral("A"), QStringLiteral("B")}, 1},
        {"only_entry_leaves_nothing_selected", {"A"}, 0, {}, -1},
        {"nothing_selected_does_nothing",
         abc,
         -1,
         {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto box = open(c.entries);
        if (c.select >= 0) {
            list(*box)->setCurrentRow(c.select);
        } else {
            // The first entry stays current, but without the selection it is not chosen.
            list(*box)->clearSelection();
        }
        QTest::mouseClick(child<QPushButton>(*box, "DeleteButton"), Qt::LeftButton);
        EXPECT_EQ(texts(*box), c.left);
        EXPECT_EQ(selectedRow(*box), c.selectedAfter);
    }
}

TEST_F(EditBoxTest, OkPutsTheEntriesIntoBothListsAndTheirFile) {
    // 0x81 has no character in Windows-1252: the entry still comes back as it was read.
    auto box = open({"Acme", "\x81odd", "Bolt"});
    list(*box)->setCurrentRow(0);
    box->DeleteButtonClick();
    add(*box, QStringLiteral(" Zeta "));
    add(*box, QStringLiteral("Caf\u00e9"));
    QTest::mouseClick(child<QPushButton>(*box, "OkButton"), Qt::LeftButton);

    const Entries expected{"\x81odd", "Bolt", "Zeta", "Caf\xe9"};
    EXPECT_EQ(box->result(), QDialog::Accepted);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(lists_.edit(PickList::Brand), expected);
    EXPECT_EQ(lists_.grid(PickList::Brand), expected);
    EXPECT_TRUE(lists_.edit(PickList::Owner).empty());
    // Kept at once: leaving the program before the edit window closes again loses nothing.
    editing::PickLists fromFile(dir_.path());
    fromFile.LoadList(PickList::Brand);
    EXPECT_EQ(fromFile.edit(PickList::Brand), expected);
}

TEST_F(EditBoxTest, CancelLeavesBothListsAndTheFileAsTheyWere) {
    lists_.Replace(PickList::Brand, {"Acme"});
    ASSERT_TRUE(lists_.SaveList(PickList::Brand));
    lists_.AddToList(PickList::Brand, "Bolt");
    lists_.AddToListTwwDB(PickList::Brand, "Grid");
    auto box = std::make_unique<TMyEditBox>(lists_, PickList::Brand, QStringLiteral("Brand"), 20,
                                            settings_, messages_);
    box->show();
    add(*box, QStringLiteral("Zeta"));
    list(*box)->setCurrentRow(0);
    box->DeleteButtonClick();
    QTest::mouseClick(child<QPushButton>(*box, "CancelButton"), Qt::LeftButton);

    EXPECT_EQ(box->result(), QDialog::Rejected);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(lists_.edit(PickList::Brand), (Entries{"Acme", "Bolt"}));
    EXPECT_EQ(lists_.grid(PickList::Brand), (Entries{"Acme", "Grid"}));
    QFile file(lists_.filePath(PickList::Brand));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("Acme\r\n"));
}

TEST_F(EditBoxTest, EnterInTheEntryBoxDoesNotPressOk) {
    auto box = open({"Acme"});
    QApplication::setActiveWindow(box.get());
    addInfo(*box)->setFocus();
    QTest::keyClicks(addInfo(*box), QStringLiteral("Bolt"));
    QTest::keyClick(addInfo(*box), Qt::Key_Return);
    QTest::keyClick(addInfo(*box), Qt::Key_Enter);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->result(), 0);
    EXPECT_EQ(lists_.edit(PickList::Brand), Entries{"Acme"});
    for (const char* name : {"AddButton", "DeleteButton", "OkButton", "CancelButton"}) {
        auto* button = child<QPushButton>(*box, name);
        EXPECT_FALSE(button->isDefault()) << name;
        EXPECT_FALSE(button->autoDefault()) << name;
    }
}

TEST_F(EditBoxTest, ShowsInTheUsersFontsZoomAndColors) {
    settings_.ScaleFactor = 1.6;
    settings_.ScreenWidth = 1024;
    settings_.ScreenHeight = 768;
    settings_.EditFont.name = "Courier New";
    settings_.LabelFont.name = "Times New Roman";
    settings_.LabelFont.bold = true;
    settings_.ConfigureWindowColors[core::WindowColor::MainBackground] = 0x00FFFF;    // yellow
    settings_.ConfigureWindowColors[core::WindowColor::EditBackground] = 0xFF0000;    // blue
    settings_.ConfigureWindowColors[core::WindowColor::ListBoxBackground] = 0x00FF00; // green
    auto box = open({"Acme"});

    // Designed 300 x 300, zoomed by 160%, centred on the 1024 x 768 screen.
    EXPECT_EQ(box->size(), QSize(480, 480));
    EXPECT_EQ(box->frameGeometry().left(), (1024 - box->frameGeometry().width()) / 2);
    EXPECT_EQ(box->frameGeometry().top(), (768 - box->frameGeometry().height()) / 2);
    EXPECT_EQ(child<QPushButton>(*box, "CancelButton")->geometry().bottom() + 1,
              461); // its bottom edge: 288 * 1.6 = 460.8

    EXPECT_EQ(addInfo(*box)->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(list(*box)->font().family(), QStringLiteral("Times New Roman"));
    EXPECT_TRUE(list(*box)->font().bold());

    EXPECT_EQ(box->palette().color(QPalette::Window), QColor(Qt::yellow));
    EXPECT_EQ(addInfo(*box)->palette().color(QPalette::Base), QColor(Qt::blue));
    EXPECT_EQ(list(*box)->palette().color(QPalette::Base), QColor(Qt::green));
}

TEST_F(EditBoxTest, EditListTellsWhetherTheUserKeptTheList) {
    lists_.Replace(PickList::Location, {"Attic"});
    for (const char* button : {"OkButton", "CancelButton"}) {
        SCOPED_TRACE(button);
        QTimer::singleShot(0, [button] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            QTest::mouseClick(modal->findChild<QPushButton*>(QLatin1String(button)),
                              Qt::LeftButton);
        });
        const bool kept =
            TMyEditBox::editList(nullptr, lists_, PickList::Location, QStringLiteral("Location"),
                                 30, settings_, messages_);
        EXPECT_EQ(kept, std::string(button) == "OkButton");
    }
    EXPECT_EQ(lists_.edit(PickList::Location), Entries{"Attic"});
}

// Pictures of the window for people to look at: written when VANTOREL_SCREENSHOTS names a folder.
TEST_F(EditBoxTest, Screenshots) {
    const QString folder = qEnvironmentVariable("VANTOREL_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "VANTOREL_SCREENSHOTS not set";
    settings_.ScreenWidth = 1024;
    settings_.ScreenHeight = 768;
    for (double scale : {1.0, 1.6}) {
        settings_.ScaleFactor = scale;
        auto box =
            open({"Acme", "Bolt & Sons", "Caf\xe9 Corner", "Dunmore Electrical", "Everbright"});
        addInfo(*box)->setText(QStringLiteral("Fairhaven"));
        QTest::qWait(50);
        box->grab().save(folder + QStringLiteral("/editbox-%1.png").arg(ui::ZoomPercent(scale)));
    }
}

} // namespace
