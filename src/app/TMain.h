#pragma once

#include "core/Settings.h"
#include "dbase/Table.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QToolButton;

namespace Ui {
class TMain;
}
namespace core {
class DialogService;
class MessageService;
} // namespace core
namespace viewing {
class InventoryModel;
}
namespace editing {
class PickLists;
}
class TMyEdit;
class TMyLocateDialog;
class TMySearch;
struct MainTableHost;

// The main window: it owns the open inventory database and shows it in the viewer grid,
// carries the menus and buttons and routes every command. Creating it is the program's
// start-up, closing it the shutdown.
class TMain : public QMainWindow {
public:
    struct Services {
        core::Settings& settings;
        core::MessageService& messages;
        core::DialogService& dialogs;
        QStringList arguments; // the command line after the program name
        // The screen as start-up measures it; tests may give their own.
        std::optional<QSize> screenSize{};
    };

    explicit TMain(Services services, QWidget* parent = nullptr);
    ~TMain() override;

    // True when start-up could not give the program a database (the default one could not be
    // created): the program ends at once.
    bool startupFailed() const { return startupFailed_; }

    // The windows that live for the whole run, made after the main window (whose start-up
    // must not use them).
    void createWindows();

    // Commands.
    void DoAdd();
    void DoEdit();
    void DoCopy();
    void DoNew();
    void DoOpen();
    void OpenSaveFile(const QString& path);
    void DoDelete();
    void DoExit();
    void DisplayCount();
    void SetMenuLastFiles();
    void SetButtonBar();
    void SetViewerOptions();
    void DoViewer();
    void DoSortOrder();
    void DoFind();
    void DoFindNext();
    void MenuPackClick();
    void MenuRebuildClick();
    void DisableEndSearch();
    void EnableEndSearch();
    void DoEndSearch();
    void DoSearch();

    dbase::Table& table() { return table_; }
    viewing::InventoryModel* model() { return model_; }
    editing::PickLists* pickLists() { return pickLists_.get(); }
    const QString& mdxPath() const { return mdxPath_; }
    const std::string& sortExpression() const { return sortExpression_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void startUp();
    void connectCommands();
    void setUpNavigator();
    void setUpSpeedButtons();
    void applyDateFormat(int number, bool refresh);
    void applyScreenSize();
    void chooseScreenSize(int size);
    void chooseButtonBar(int mode);
    void chooseFont(core::FontSpec& font);
    void checkNumberFormats();
    bool chooseStartDatabase();
    void switchMainTable(bool rebuildIndex, bool testInUse);
    bool hasDatabaseExtension(const QString& path);
    void runEditWindow(int mode);
    MainTableHost mainTableHost();
    void createLocate();
    void switchTo(const QString& path, bool testInUse);
    void openMainTable(bool rebuildIndex);
    void applyBrowseMode();
    void layoutViewer();
    void SetColors();
    void SetFonts();
    void syncCursorToGrid();
    void selectCurrentRecord();
    bool guarded(const std::function<void()>& command);
    void reportError(const std::exception& error);
    QString lastDatabase() const;
    void setLastDatabase(const QString& path);

    std::unique_ptr<Ui::TMain> ui;
    core::Settings& settings_;
    core::MessageService& messages_;
    core::DialogService& dialogs_;
    QStringList arguments_;
    std::optional<QSize> screenSize_;

    dbase::Table table_; // MyTable
    viewing::InventoryModel* model_ = nullptr;
    std::unique_ptr<editing::PickLists> pickLists_;
    std::unique_ptr<TMyEdit> editWindow_;
    std::unique_ptr<TMyLocateDialog> locate_;
    std::unique_ptr<TMySearch> search_;
    uint32_t knownRecords_ = 0; // the table's records when the edit window opened
    QString mdxPath_;
    std::string sortExpression_;
    bool startupFailed_ = false;
    bool shown_ = false;
    std::vector<QAction*> lastFileItems_;
    std::vector<QAction*> dateItems_;
};
