#include "app/TMain.h"
#include "core/DatabaseFiles.h"
#include "core/DialogService.h"
#include "core/FieldCatalogue.h"
#include "core/IniFile.h"
#include "core/MessageService.h"
#include "core/Settings.h"
#include "support/ScopedEnv.h"
#include "viewing/InventoryModel.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using test_support::ScopedEnv;

// A scratch home: data and settings folders of their own, services answering from scripts.
class MainWindowTest : public testing::Test {
protected:
    MainWindowTest()
        : data_("XDG_DATA_HOME", (home_.path() + QStringLiteral("/data")).toLocal8Bit()),
          config_("XDG_CONFIG_HOME", (home_.path() + QStringLiteral("/config")).toLocal8Bit()) {}

    std::unique_ptr<TMain> start(QStringList arguments = {}, QSize screen = QSize(1024, 768)) {
        settings_ = std::make_unique<core::Settings>();
        auto main = std::make_unique<TMain>(
            TMain::Services{*settings_, messages_, dialogs_, std::move(arguments), screen});
        if (!main->startupFailed()) main->createWindows();
        return main;
    }

    QString dataFolder() const { return home_.path() + QStringLiteral("/data/vantorel-inventory"); }
    QString file(const QString& name) const { return home_.path() + QLatin1Char('/') + name; }
    QString iniPath() const { return home_.path() + QStringLiteral("/config/vantorel-inventory/TALBEX.INI"); }

    // An inventory table with these items (and categories), made through the engine.
    QString makeDatabase(const QString& name, std::vector<std::pair<const char*, const char*>> rows) {
        const QString path = file(name);
        core::ScriptedMessageService quiet;
        EXPECT_TRUE(core::MakeNewDB(quiet, path));
        dbase::Table t;
        t.openFile(path.toStdString(), dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        for (const auto& [item, category] : rows) {
            t.insert();
            t.setText(t.fieldIndex("Item"), item);
            t.setText(t.fieldIndex("Category"), category);
            t.post();
        }
        return path;
    }

    template <typename T> static T* child(TMain& main, const char* name) {
        T* found = main.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    static QString count(TMain& main) { return child<QLabel>(main, "CountLabel")->text(); }
    static QString column0(TMain& main, int row) {
        return main.model()->data(main.model()->index(row, 0)).toString();
    }

    QTemporaryDir home_;
    ScopedEnv data_;
    ScopedEnv config_;
    std::unique_ptr<core::Settings> settings_;
    core::ScriptedMessageService messages_;
    core::ScriptedDialogService dialogs_;
};

} // namespace

TEST_F(MainWindowTest, FirstStartCreatesTheDefaultDatabaseSortedByCategory) {
    auto main = start();
    ASSERT_FALSE(main->startupFailed());
    main->show();
    EXPECT_TRUE(QFile::exists(dataFolder() + QStringLiteral("/MASTER.DBF")));
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Vantorel Inventory 95 (MASTER)"));
    EXPECT_EQ(main->table().selectedIndex(), "NEWINDEX");
    EXPECT_EQ(main->sortExpression(), "Upper(Left(Category,20))");
    EXPECT_EQ(count(*main), QStringLiteral("0"));
    EXPECT_FALSE(child<QAction>(*main, "MenuExitSep")->isVisible());
    for (const char* item : {"MenuLastFile1", "MenuLastFile5"}) EXPECT_FALSE(child<QAction>(*main, item)->isVisible());
    EXPECT_TRUE(messages_.messages().empty());
    main->close();
    // The first shutdown writes a complete settings file naming the database.
    core::IniFile ini;
    ASSERT_TRUE(ini.load(iniPath()));
    EXPECT_EQ(ini.value("Misc", "Last Database"), (dataFolder() + QStringLiteral("/MASTER.DBF")).toStdString());
    EXPECT_EQ(ini.value("Sort Order", "Primary Sort"), "12");
}

TEST_F(MainWindowTest, RecordsShowInSortOrderAndDeleteAsksFirst) {
    const QString path = makeDatabase(QStringLiteral("HOME.DBF"), {{"Lamp", "Lighting"}, {"Chair", "Furniture"}, {"Desk", "furniture"}});
    {
        core::Settings settings;
        settings.LastDatabase = path.toStdString();
        settings.StartDirectory = QDir::currentPath();
        ASSERT_TRUE(core::SaveSettings(settings, core::SettingsFilePath()));
    }
    auto main = start();
    main->show();
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Vantorel Inventory 95 (HOME)"));
    EXPECT_EQ(count(*main), QStringLiteral("3"));
    EXPECT_EQ(column0(*main, 0), QStringLiteral("Chair")); // Furniture, case-blind
    EXPECT_EQ(column0(*main, 1), QStringLiteral("Desk"));
    EXPECT_EQ(column0(*main, 2), QStringLiteral("Lamp"));

    messages_.queueAnswer(core::MessageButton::No);
    main->DoDelete();
    EXPECT_EQ(messages_.messages().back().text, QStringLiteral("Delete this record?"));
    EXPECT_EQ(messages_.messages().back().caption, QStringLiteral("Confirm"));
    EXPECT_EQ(count(*main), QStringLiteral("3"));
    messages_.queueAnswer(core::MessageButton::Yes);
    main->DoDelete(); // the first row, Chair
    EXPECT_EQ(count(*main), QStringLiteral("2"));
    EXPECT_EQ(column0(*main, 0), QStringLiteral("Desk"));
}

TEST_F(MainWindowTest, TheNavigatorsRefreshShowsWhatAnotherCopyAdded) {
    const QString path = makeDatabase(QStringLiteral("HOME.DBF"), {{"Lamp", "Lighting"}});
    {
        core::Settings settings;
        settings.LastDatabase = path.toStdString();
        settings.StartDirectory = QDir::currentPath();
        ASSERT_TRUE(core::SaveSettings(settings, core::SettingsFilePath()));
    }
    auto main = start();
    main->show();
    EXPECT_EQ(count(*main), QStringLiteral("1"));
    {
        dbase::Table other; // another copy of the program, sharing the table
        other.openFile(path.toStdString(), dbase::ShareMode::Shared, dbase::Access::ReadWrite);
        other.selectIndex("NEWINDEX");
        other.insert();
        other.setText(other.fieldIndex("Item"), "Armchair");
        other.setText(other.fieldIndex("Category"), "Furniture");
        other.post();
    }
    child<QToolButton>(*main, "NavRefresh")->click();
    EXPECT_EQ(count(*main), QStringLiteral("2"));
    EXPECT_EQ(column0(*main, 0), QStringLiteral("Armchair"));
}

TEST_F(MainWindowTest, EndSearchControlsFollowTheSearch) {
    auto main = start();
    main->show();
    child<QAction>(*main, "MenuButtons")->trigger();
    EXPECT_FALSE(child<QAction>(*main, "MenuEndSearch")->isEnabled());
    EXPECT_FALSE(child<QLabel>(*main, "SearchOnLabel")->isVisible());
    main->EnableEndSearch();
    EXPECT_TRUE(settings_->SearchActive);
    EXPECT_TRUE(child<QAction>(*main, "MenuEndSearch")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(*main, "EndSearchButton")->isEnabled());
    EXPECT_TRUE(child<QLabel>(*main, "SearchOnLabel")->isVisible());
    main->DoEndSearch();
    EXPECT_FALSE(settings_->SearchActive);
    EXPECT_FALSE(child<QToolButton>(*main, "EndSearchSpeed")->isEnabled());
    EXPECT_FALSE(child<QLabel>(*main, "SearchOnLabel")->isVisible());
    EXPECT_TRUE(main->table().isOpen());
}

TEST_F(MainWindowTest, SwitchingDatabasesKeepsTheRecentFilesList) {
    const QString a = makeDatabase(QStringLiteral("A.DBF"), {{"Alpha", "X"}});
    const QString b = makeDatabase(QStringLiteral("B.DBF"), {{"Beta", "Y"}, {"Gamma", "Z"}});
    dbase::Table::create(file(QStringLiteral("FOREIGN.DBF")).toStdString(),
                         std::vector<dbase::FieldDef>{{"Name", 'C', 10, 0, 0}});
    auto main = start();
    main->show();
    const QString master = dataFolder() + QStringLiteral("/MASTER.DBF");

    dialogs_.queueFileName(a);
    main->DoOpen();
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Vantorel Inventory 95 (A)"));
    EXPECT_EQ(settings_->RecentFiles[1], master.toStdString());
    EXPECT_TRUE(child<QAction>(*main, "MenuExitSep")->isVisible());
    EXPECT_EQ(child<QAction>(*main, "MenuLastFile1")->text(), QStringLiteral("&1   ") + master);

    dialogs_.queueFileName(b);
    main->DoOpen();
    EXPECT_EQ(count(*main), QStringLiteral("2"));
    EXPECT_EQ(settings_->RecentFiles[1], a.toStdString());
    EXPECT_EQ(settings_->RecentFiles[2], master.toStdString());

    main->OpenSaveFile(a); // back to A: B on top, A leaves the list
    EXPECT_EQ(settings_->RecentFiles[1], b.toStdString());
    EXPECT_EQ(settings_->RecentFiles[2], master.toStdString());
    EXPECT_EQ(settings_->RecentFiles[3], "");

    // Refusals change nothing.
    dialogs_.queueFileName(file(QStringLiteral("NOTES.TXT")));
    main->DoOpen();
    EXPECT_EQ(messages_.messages().back().text, QStringLiteral("Invalid file type selected."));
    dialogs_.queueFileName(file(QStringLiteral("FOREIGN.DBF")));
    main->DoOpen();
    EXPECT_TRUE(messages_.messages().back().text.startsWith(QStringLiteral("This DBase file was not created")));
    dialogs_.queueFileName(QString()); // cancelled
    main->DoOpen();
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Vantorel Inventory 95 (A)"));

    // A new database replaces the open one and is empty.
    dialogs_.queueFileName(file(QStringLiteral("NEW.DBF")));
    main->DoNew();
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Vantorel Inventory 95 (NEW)"));
    EXPECT_EQ(count(*main), QStringLiteral("0"));
    EXPECT_EQ(settings_->RecentFiles[1], a.toStdString());
}

TEST_F(MainWindowTest, AnInvalidLastDatabaseAsksForAnotherUntilOneIsValid) {
    const QString foreign = file(QStringLiteral("FOREIGN.DBF"));
    dbase::Table::create(foreign.toStdString(), std::vector<dbase::FieldDef>{{"Name", 'C', 10, 0, 0}});
    const QString good = makeDatabase(QStringLiteral("GOOD.DBF"), {{"Item", "Cat"}});
    {
        core::Settings settings;
        settings.LastDatabase = foreign.toStdString();
        settings.StartDirectory = QDir::currentPath();
        ASSERT_TRUE(core::SaveSettings(settings, core::SettingsFilePath()));
    }
    dialogs_.queueFileName(QString()); // cancelling does not leave the loop
    dialogs_.queueFileName(foreign);   // nor does another foreign file
    dialogs_.queueFileName(good);
    auto main = start();
    ASSERT_FALSE(main->startupFailed());
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Vantorel Inventory 95 (GOOD)"));
    const auto& shown = messages_.messages();
    ASSERT_GE(shown.size(), 3u);
    EXPECT_TRUE(shown[0].text.startsWith(QStringLiteral("This DBase file was not created")));
    EXPECT_EQ(shown[1].text, QStringLiteral("The last database used as recorded in the INI file is not a valid "
                                            "Vantorel Inventory 95 file.  You will need to choose a new file."));
    EXPECT_EQ(dialogs_.pendingAnswers(), 0);
}

TEST_F(MainWindowTest, ADatabaseAnotherCopyHoldsAloneIsReportedAndAnotherChosen) {
    const QString held = makeDatabase(QStringLiteral("HELD.DBF"), {{"Item", "Cat"}});
    const QString free = makeDatabase(QStringLiteral("FREE.DBF"), {{"Other", "Cat"}});
    {
        core::Settings settings;
        settings.LastDatabase = held.toStdString();
        settings.StartDirectory = QDir::currentPath();
        ASSERT_TRUE(core::SaveSettings(settings, core::SettingsFilePath()));
    }
    dbase::Table other; // another copy of the program, with the table for its sole use
    other.openFile(held.toStdString(), dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
    dialogs_.queueFileName(free);
    auto main = start();
    ASSERT_FALSE(main->startupFailed());
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Vantorel Inventory 95 (FREE)"));
    ASSERT_GE(messages_.messages().size(), 2u);
    EXPECT_TRUE(messages_.messages()[0].text.contains(QStringLiteral("HELD.DBF"))) << messages_.messages()[0].text.toStdString();
    EXPECT_TRUE(messages_.messages()[1].text.startsWith(QStringLiteral("The last database used")));
}

TEST_F(MainWindowTest, BrowseModeDisablesChangesButKeepsTheStoredGridSetting) {
    {
        core::Settings settings;
        settings.StartDirectory = QDir::currentPath();
        settings.GridFieldEditing = true;
        ASSERT_TRUE(core::SaveSettings(settings, core::SettingsFilePath()));
    }
    auto main = start({QStringLiteral("/browse")});
    EXPECT_TRUE(settings_->BrowseMode);
    EXPECT_FALSE(settings_->GridFieldEditing);
    for (const char* item : {"MenuAdd", "MenuCopy", "MenuDelete", "MenuBackup", "MenuRestore", "MenuViewer",
                             "MenuImport", "MenuSearchReplace"})
        EXPECT_FALSE(child<QAction>(*main, item)->isEnabled()) << item;
    EXPECT_FALSE(child<QToolButton>(*main, "DeleteSpeed")->isEnabled());
    for (const char* button : {"NavInsert", "NavDelete", "NavEdit", "NavPost", "NavCancel", "NavRefresh"})
        EXPECT_TRUE(child<QToolButton>(*main, button)->isHidden()) << button;
    EXPECT_FALSE(child<QToolButton>(*main, "NavNext")->isHidden());
    EXPECT_TRUE(child<QAction>(*main, "MenuOpen")->isEnabled());
    main->close();
    core::IniFile ini;
    ASSERT_TRUE(ini.load(iniPath()));
    EXPECT_EQ(ini.value("Grid Options", "Field Editing"), "Yes");

    auto other = start({QStringLiteral("/BROWSEX")});
    EXPECT_FALSE(settings_->BrowseMode);
    EXPECT_TRUE(child<QAction>(*other, "MenuDelete")->isEnabled());
}

TEST_F(MainWindowTest, OptionsSurviveARestart) {
    auto main = start({}, QSize(800, 600));
    main->show();
    child<QAction>(*main, "MenuButtons")->trigger();
    EXPECT_TRUE(child<QPushButton>(*main, "AddButton")->isVisible());
    EXPECT_FALSE(child<QPushButton>(*main, "EndSearchButton")->isEnabled()); // no search yet
    EXPECT_FALSE(child<QWidget>(*main, "SpeedPanel")->isVisible());
    child<QAction>(*main, "MenuDateDMYDotYr")->trigger();
    child<QAction>(*main, "N1024x768")->trigger(); // too big for this screen
    EXPECT_EQ(messages_.messages().back().text,
              QStringLiteral("Your current screen resolution does not support 1024 x 768 pixels."));
    EXPECT_TRUE(child<QAction>(*main, "N640x480")->isChecked());
    child<QAction>(*main, "N800x600")->trigger();
    EXPECT_EQ(settings_->ScaleFactor, 1.25);
    main->resize(700, 500);
    main->close();

    auto again = start({}, QSize(800, 600));
    EXPECT_EQ(settings_->ButtonBar, 2);
    EXPECT_EQ(settings_->DateFormat, 12);
    EXPECT_TRUE(child<QAction>(*again, "MenuDateDMYDotYr")->isChecked());
    EXPECT_TRUE(child<QAction>(*again, "N800x600")->isChecked());
    EXPECT_EQ(again->width(), 700);
    // On a smaller screen the stored size stays stored but the run uses 640.
    again->close();
    auto small = start({}, QSize(640, 480));
    EXPECT_TRUE(child<QAction>(*small, "N640x480")->isChecked());
    EXPECT_EQ(settings_->WindowSize, 800);
}

TEST_F(MainWindowTest, ADamagedIndexIsRebuiltAtStartUp) {
    const QString path = makeDatabase(QStringLiteral("HOME.DBF"), {{"b", "2"}, {"a", "1"}});
    {
        dbase::Table t;
        t.openFile(path.toStdString(), dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        t.addIndex("NEWINDEX", "Upper(Left(Category,20))");
    }
    QFile mdx(file(QStringLiteral("HOME.MDX")));
    ASSERT_TRUE(mdx.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mdx.write("garbage");
    mdx.close();
    {
        core::Settings settings;
        settings.LastDatabase = path.toStdString();
        settings.StartDirectory = QDir::currentPath();
        ASSERT_TRUE(core::SaveSettings(settings, core::SettingsFilePath()));
    }
    auto main = start();
    main->show();
    EXPECT_EQ(main->table().selectedIndex(), "NEWINDEX");
    EXPECT_EQ(column0(*main, 0), QStringLiteral("a"));
    EXPECT_EQ(main->table().verifyIndexes(), "");
}

TEST_F(MainWindowTest, AnUnwritableDataFolderEndsTheProgramWithAMessage) {
    QFile blocker(file(QStringLiteral("data")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the data folder should go
    blocker.close();
    auto main = start();
    EXPECT_TRUE(main->startupFailed());
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_TRUE(messages_.messages()[0].text.contains(QStringLiteral("vantorel-inventory")));
}

// Pictures of the window for people to look at: written when VANTOREL_SCREENSHOTS names a folder.
TEST_F(MainWindowTest, Screenshots) {
    const QString folder = qEnvironmentVariable("VANTOREL_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "VANTOREL_SCREENSHOTS not set";
    const QString path = makeDatabase(QStringLiteral("HOME.DBF"), {{"Lamp", "Lighting"}, {"Armchair", "Furniture"},
                                                                  {"Television", "Electronics"}, {"Caf\xe9 table", "Furniture"}});
    {
        core::Settings settings;
        settings.LastDatabase = path.toStdString();
        settings.StartDirectory = QDir::currentPath();
        ASSERT_TRUE(core::SaveSettings(settings, core::SettingsFilePath()));
    }
    auto main = start();
    main->resize(640, 480);
    main->show();
    for (int mode = 1; mode <= 3; ++mode) {
        child<QAction>(*main, mode == 1 ? "MenuSpeed" : mode == 2 ? "MenuButtons" : "MenuNoButtons")->trigger();
        QTest::qWait(50);
        main->grab().save(folder + QStringLiteral("/main-mode%1.png").arg(mode));
    }
    main->resize(900, 600);
    QTest::qWait(50);
    main->grab().save(folder + QStringLiteral("/main-resized.png"));
}
