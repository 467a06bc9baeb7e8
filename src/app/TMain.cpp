#include "app/TMain.h"

#include "app/RecentFiles.h"
#include "app/TMySortOrder.h"
#include "app/TableMaintenance.h"
#include "core/Cp1252.h"
#include "core/DataFolders.h"
#include "core/DatabaseFiles.h"
#include "core/DateFormats.h"
#include "core/DialogService.h"
#include "core/FieldCatalogue.h"
#include "core/InventoryFile.h"
#include "core/MessageService.h"
#include "core/SortKey.h"
#include "core/TextFormat.h"
#include "editing/PickLists.h"
#include "editing/TMyEdit.h"
#include "editing/TMyEditBox.h"
#include "ui/WindowAppearance.h"
#include "ui_TMain.h"
#include "viewing/InventoryModel.h"
#include "viewing/SearchCriteria.h"
#include "viewing/TMyLocateDialog.h"
#include "viewing/TMySearch.h"
#include "viewing/TViewConfig.h"
#include "viewing/ViewerOptions.h"

#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

#include <tuple>

// The icons live in the app library, which a static library must register by hand.
static void initResources() { Q_INIT_RESOURCE(icons); }

namespace {

const QString kCaption = QStringLiteral("Vantorel Inventory 95");
const char* const kSortTag = "NewIndex";

QString fromNative(const std::string& path) { return QString::fromLocal8Bit(path); }

// Screen sizes of the Options menu and the scale each gives.
struct ScreenSize {
    int width;
    int height;
    double factor;
};
constexpr ScreenSize kScreenSizes[] = {{640, 480, 1.0}, {800, 600, 1.25}, {1024, 768, 1.6}, {1280, 1024, 2.0}};

} // namespace

TMain::TMain(Services services, QWidget* parent)
    : QMainWindow(parent), ui((initResources(), std::make_unique<Ui::TMain>())), settings_(services.settings),
      messages_(services.messages), dialogs_(services.dialogs), arguments_(std::move(services.arguments)),
      screenSize_(services.screenSize) {
    ui->setupUi(this);
    QFont windowFont(QStringLiteral("Arial"));
    windowFont.setPixelSize(14);
    setFont(windowFont);
    QFont title = ui->ViewerLabel->font();
    title.setPixelSize(19);
    title.setBold(true);
    ui->ViewerLabel->setFont(title);
    for (QLabel* small : {ui->CountLabel, ui->Count2Label}) {
        QFont f = small->font();
        f.setPixelSize(11);
        small->setFont(f);
    }
    ui->ViewerGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->ViewerGrid->verticalHeader()->setDefaultSectionSize(20);
    ui->ViewerGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->ViewerGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->ViewerGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lastFileItems_ = {ui->MenuLastFile1, ui->MenuLastFile2, ui->MenuLastFile3, ui->MenuLastFile4,
                      ui->MenuLastFile5};
    dateItems_ = {ui->MenuDateMDYSlash,   ui->MenuDateMDYDash,   ui->MenuDateMDYDot,
                  ui->MenuDateDMYSlash,   ui->MenuDateDMYDash,   ui->MenuDateDMYDot,
                  ui->MenuDateMDYSlashYr, ui->MenuDateMDYDashYr, ui->MenuDateMDYDotYr,
                  ui->MenuDateDMYSlashYr, ui->MenuDateDMYDashYr, ui->MenuDateDMYDotYr};
    setUpSpeedButtons();
    setUpNavigator();
    connectCommands();
    startUp();
}

TMain::~TMain() = default;

// ---------------------------------------------------------------------------------------------
// Start-up

void TMain::startUp() {
    DisableEndSearch();
    setWindowTitle(kCaption);
    ui->ViewerLabel->setText(QStringLiteral("Inventory Viewer"));

    try {
        QString programDirectory = core::ProgramDirectory();
        if (programDirectory.endsWith(QLatin1Char('/'))) programDirectory.chop(1);
        settings_.ProgramDirectory = programDirectory;
        settings_.StartDirectory = QDir::currentPath();
        core::LoadSettings(settings_, core::SettingsFilePath());
        pickLists_ = std::make_unique<editing::PickLists>(settings_.ProgramDirectory);
    } catch (const std::exception& e) {
        // No folder for the program's files: there is nowhere to keep a database.
        reportError(e);
        startupFailed_ = true;
        return;
    }
    // A width or height the window cannot take (a damaged settings file) falls back to the
    // designed size, so the window can always be seen.
    const int width = settings_.MainWindowWidth >= 200 && settings_.MainWindowWidth <= 10000
                          ? settings_.MainWindowWidth
                          : 640;
    const int height = settings_.MainWindowHeight >= 150 && settings_.MainWindowHeight <= 10000
                           ? settings_.MainWindowHeight
                           : 480;
    move(settings_.MainWindowLeft, settings_.MainWindowTop);
    resize(width, height);

    sortExpression_ = core::BuildSortString(settings_.SortLevels);
    applyDateFormat(settings_.DateFormat, false);
    checkNumberFormats();

    if (!chooseStartDatabase()) {
        startupFailed_ = true;
        return;
    }

    SetButtonBar();
    applyScreenSize();
    SetMenuLastFiles();
    try {
        if (core::CheckForConversion(messages_, settings_.ProgramDirectory, table_) > 0 && model_)
            model_->refresh();
    } catch (const std::exception& e) {
        reportError(e);
    }
    createLocate();
    applyBrowseMode();
}

// The locate component, bound to the main table, listing fields by their grid titles.
void TMain::createLocate() {
    locate_ = std::make_unique<TMyLocateDialog>(settings_, messages_, this);
    locate_->Caption = QStringLiteral("Locate Field Value");
    locate_->SetDataSource(&table_);
    locate_->setFieldTitles([this] {
        std::vector<TMyLocateDialog::FieldTitle> titles;
        for (int n = 1; n <= core::kFieldCount; ++n)
            titles.push_back({std::string(core::CatalogueName(n)), core::fromTableText(settings_.FieldDisplayNames[n]),
                              settings_.DisplayFields[n]});
        return titles;
    });
    locate_->setOnFound([this] {
        if (model_) model_->refresh();
        selectCurrentRecord();
    });
}

void TMain::DoFind() {
    if (!locate_) return;
    guarded([&] { locate_->Execute(); });
}

void TMain::DoFindNext() {
    if (!locate_) return;
    guarded([&] { locate_->FindNext(); });
}

// Steps 13 to 15: the last database, or the default one (created when missing), and the open
// dialog until the user has chosen an inventory database.
bool TMain::chooseStartDatabase() {
    if (!QFileInfo::exists(lastDatabase())) {
        setLastDatabase(settings_.ProgramDirectory + QStringLiteral("/MASTER.DBF"));
        if (!QFileInfo::exists(lastDatabase()) && !core::MakeNewDB(messages_, lastDatabase()))
            return false;
    }
    bool accepted = false;
    try {
        accepted = core::CheckDBaseFormat(messages_, lastDatabase());
        if (accepted) openMainTable(false);
    } catch (const std::exception& e) {
        // A damaged file, or one another copy holds for its sole use: the user chooses again.
        reportError(e);
        accepted = false;
    }
    if (accepted) return true;
    messages_.show({.caption = QStringLiteral("Error"),
                    .text = QStringLiteral("The last database used as recorded in the INI file is not a "
                                           "valid Vantorel Inventory 95 file.  You will need to choose a "
                                           "new file."),
                    .buttons = core::MessageButtons::Ok,
                    .icon = core::MessageIcon::Error});
    while (!table_.isOpen()) DoOpen();
    return true;
}

// Opens MyTable at LastDatabase with its sort index. At start-up an index that exists is used
// as it is; switching databases rebuilds it (rebuildIndex).
void TMain::openMainTable(bool rebuildIndex) {
    table_.close();
    const core::TableLocation location = core::LocateTable(lastDatabase());
    setWindowTitle(kCaption + QStringLiteral(" (") + location.tableName + QStringLiteral(")"));
    mdxPath_ = core::FindCompanionFile(location.folder, location.tableName + QStringLiteral(".MDX"))
                   .value_or(location.indexPath());
    const bool wantIndex = !sortExpression_.empty();

    auto withSoleUse = [&](const std::function<void()>& work) {
        core::OpenTable(table_, location, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        try {
            work();
        } catch (...) {
            table_.close();
            throw;
        }
        table_.close();
    };
    if (rebuildIndex) {
        withSoleUse([&] {
            if (QFileInfo::exists(mdxPath_)) {
                table_.selectIndex({});
                for (const dbase::IndexDefinition& d : table_.indexes())
                    if (d.name == "NEWINDEX") table_.deleteIndex(kSortTag);
            }
            if (wantIndex) table_.addIndex(kSortTag, sortExpression_);
        });
    }

    core::OpenTable(table_, location, dbase::ShareMode::Shared, dbase::Access::ReadWrite);
    if (wantIndex) {
        try {
            table_.selectIndex(kSortTag);
        } catch (const dbase::Error&) {
            // No such tag, or an index that cannot be read: build the tag, when no one else
            // has the table; otherwise show the records in record order.
            table_.close();
            try {
                withSoleUse([&] { table_.addIndex(kSortTag, sortExpression_); });
            } catch (const dbase::LockError&) {
            }
            core::OpenTable(table_, location, dbase::ShareMode::Shared, dbase::Access::ReadWrite);
            try {
                table_.selectIndex(kSortTag);
            } catch (const dbase::Error& e) {
                reportError(e);
            }
        }
    } else {
        table_.selectIndex({});
    }
    table_.first(); // a table opens on the first record of its order
    if (const auto format = core::DateFormatFor(settings_.DateFormat)) table_.setDateFormat(*format);
    if (!model_) {
        std::vector<QString> names;
        for (int n = 1; n <= core::kFieldCount; ++n)
            names.push_back(core::fromTableText(settings_.FieldDisplayNames[n]));
        model_ = new viewing::InventoryModel(table_, std::move(names), this);
        ui->ViewerGrid->setModel(model_);
        connect(ui->ViewerGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this] { syncCursorToGrid(); });
        model_->setMessageService(&messages_);
        connect(model_, &viewing::InventoryModel::recordStored, this, [this] {
            selectCurrentRecord();
            DisplayCount();
        });
        connect(model_, &viewing::InventoryModel::readFailed, this, [this](const QString& message) {
            messages_.show({.caption = QStringLiteral("Error"), .text = message,
                            .icon = core::MessageIcon::Error});
        });
    }
}

// The shared switch of DoOpen, DoNew and OpenSaveFile; LastDatabase holds the new path.
void TMain::switchMainTable(bool rebuildIndex, bool testInUse) {
    table_.close();
    bool rebuild = rebuildIndex;
    if (rebuild && testInUse && core::DBaseInUse(lastDatabase())) rebuild = false;
    openMainTable(rebuild);
    if (model_) model_->reset(); // another table: count its rows again
    SetViewerOptions();
}

void TMain::applyBrowseMode() {
    if (arguments_.isEmpty()) return;
    QString first = arguments_.front().left(30);
    if (core::UpperAscii(first.toStdString()) != "/BROWSE") return;
    settings_.BrowseMode = true;
    for (QAction* item : {ui->MenuAdd, ui->MenuCopy, ui->MenuDelete, ui->MenuBackup, ui->MenuRestore,
                          ui->MenuViewer, ui->MenuImport, ui->MenuSearchReplace})
        item->setEnabled(false);
    ui->MenuMaintain->setEnabled(false);
    for (QToolButton* button : {ui->AddSpeed, ui->CopySpeed, ui->ImportSpeed, ui->DeleteSpeed, ui->ViewerSpeed})
        button->setEnabled(false);
    for (const char* name : {"NavInsert", "NavDelete", "NavEdit", "NavPost", "NavCancel", "NavRefresh"})
        if (auto* button = ui->MyNavigator->findChild<QToolButton*>(QLatin1String(name))) button->hide();
    settings_.SavedFieldEditing = settings_.GridFieldEditing;
    settings_.GridFieldEditing = false;
}

// ---------------------------------------------------------------------------------------------
// Showing, resizing, closing

void TMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    SetFonts();
    SetViewerOptions();
    SetColors();
    // The grid's copies of the pick lists, read from their files each time the window shows.
    if (pickLists_)
        for (int i = 0; i < editing::kPickListCount; ++i)
            pickLists_->LoadGridList(static_cast<editing::PickList>(i));
    DisplayCount();
}

void TMain::SetFonts() {
    ui::SetFonts(this, ui::UserFont::fromSettings(settings_.LabelFont), ui::UserFont::fromSettings(settings_.EditFont),
                 ui::UserFont::fromSettings(settings_.ButtonFont));
}

void TMain::SetColors() {
    const auto colors = ui::WindowColors::fromSettings(settings_.MainWindowColors);
    ui::PaintControl(ui->ClientArea, colors, ui::ColorPart::Window);
    ui::PaintControl(ui->ViewerLabel, colors, ui::ColorPart::Headline);
    ui::PaintControl(ui->NavigatorLabel, colors, ui::ColorPart::Label);
}

// The viewer configuration onto the grid (reads no record); the grid's combo boxes take the
// grid's copies of the pick lists, and a value typed into one joins that copy.
void TMain::SetViewerOptions() {
    if (!model_) return;
    auto listOf = [](int number) { return static_cast<editing::PickList>(core::catalogueField(number).pickList - 1); };
    viewing::GridPickLists lists;
    if (pickLists_) {
        lists.entries = [this, listOf](int number) { return pickLists_->grid(listOf(number)); };
        lists.offer = [this, listOf](int number, const std::string& value) {
            pickLists_->AddToListTwwDB(listOf(number), value);
        };
    }
    viewing::ApplyViewerOptions(*ui->ViewerGrid, *model_, settings_, std::move(lists));
    selectCurrentRecord();
    DisplayCount();
}

void TMain::DoViewer() {
    TViewConfig::run(this, settings_, messages_, dialogs_);
    SetViewerOptions();
}

void TMain::closeEvent(QCloseEvent* event) {
    settings_.SearchActive = false;
    const QRect frame = frameGeometry();
    settings_.MainWindowLeft = frame.left();
    settings_.MainWindowTop = frame.top();
    settings_.MainWindowWidth = width();
    settings_.MainWindowHeight = height();
    if (settings_.BrowseMode) settings_.GridFieldEditing = settings_.SavedFieldEditing;
    if (!startupFailed_) {
        try {
            core::SaveSettings(settings_, core::SettingsFilePath());
        } catch (const std::exception&) {
            // Settings that cannot be written are lost without a message, as ever.
        }
    }
    table_.close();
    event->accept();
}

void TMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutViewer();
}

// The viewer area and the controls whose place depends on the button bar mode.
void TMain::layoutViewer() {
    const int cw = ui->ClientArea->width();
    const int ch = ui->ClientArea->height();
    struct Layout {
        int bevelTop, labelTop, gridTop, navigatorLeft, navigatorTop, navigatorWidth, searchOnTop,
            countTop, count2Top;
    };
    const Layout layouts[] = {{34, 38, 70, 424, 3, 241, 44, 38, 52},
                              {86, 90, 122, 400, 47, 221, 96, 90, 105},
                              {4, 8, 40, cw - 207, 8, 201, 14, 8, 23}};
    const int mode = settings_.ButtonBar >= 1 && settings_.ButtonBar <= 3 ? settings_.ButtonBar : 1;
    const Layout& l = layouts[mode - 1];
    ui->ViewerBevel->setGeometry(3, l.bevelTop, cw - 6, ch - l.bevelTop - 3);
    ui->ViewerGrid->setGeometry(7, l.gridTop, cw - 14, ch - l.gridTop - 7);
    ui->ViewerLabel->move((cw - ui->ViewerLabel->width()) / 2, l.labelTop);
    ui->MyNavigator->setGeometry(l.navigatorLeft, l.navigatorTop, l.navigatorWidth, 25);
    ui->SearchOnLabel->move(ui->SearchOnLabel->x(), l.searchOnTop);
    ui->CountLabel->move(cw - ui->CountLabel->width() - 10, l.countTop);
    ui->Count2Label->move(cw - ui->Count2Label->width() - 10, l.count2Top);
    ui->SpeedPanel->setGeometry(0, 0, cw, 31);
}

void TMain::SetButtonBar() {
    const int mode = settings_.ButtonBar;
    ui->SpeedPanel->setVisible(mode == 1);
    ui->SpeedPanel->setEnabled(mode == 1);
    const bool lettered = mode == 2;
    for (QPushButton* b : {ui->AddButton, ui->EditButton, ui->CopyButton, ui->DeleteButton, ui->SearchButton,
                           ui->EndSearchButton, ui->ReportButton, ui->ViewerButton, ui->HelpButton, ui->ButtonExit}) {
        b->setVisible(lettered);
        // A command whose window is not built yet stays disabled.
        b->setEnabled(lettered && !b->property("pending").toBool());
    }
    if (lettered) ui->EndSearchButton->setEnabled(settings_.SearchActive);
    for (QFrame* bevel : {ui->Bevel1, ui->Bevel2, ui->Bevel3, ui->Bevel4}) bevel->setVisible(lettered);
    ui->NavigatorLabel->setVisible(lettered);
    ui->MenuSpeed->setChecked(mode == 1);
    ui->MenuButtons->setChecked(mode == 2);
    ui->MenuNoButtons->setChecked(mode == 3);
    layoutViewer();
}

void TMain::DisableEndSearch() {
    settings_.SearchActive = false;
    ui->SearchOnLabel->hide();
    ui->MenuEndSearch->setEnabled(false);
    ui->EndSearchSpeed->setEnabled(false);
    ui->EndSearchButton->setEnabled(false);
}

void TMain::EnableEndSearch() {
    settings_.SearchActive = true;
    ui->SearchOnLabel->show();
    ui->MenuEndSearch->setEnabled(true);
    ui->EndSearchSpeed->setEnabled(true);
    ui->EndSearchButton->setEnabled(settings_.ButtonBar == 2);
}

// The search ends: every record shows again (the filter passes all while no search is on).
void TMain::DoEndSearch() {
    DisableEndSearch();
    guarded([&] {
        openMainTable(false);
        if (model_) model_->reset();
    });
    SetViewerOptions();
    DisplayCount();
}

void TMain::DoSearch() {
    if (!search_) return;
    guarded([&] {
        search_->run();
        if (model_) model_->reset();
        selectCurrentRecord();
    });
    DisplayCount();
}

// ---------------------------------------------------------------------------------------------
// Options

void TMain::applyDateFormat(int number, bool refresh) {
    for (size_t i = 0; i < dateItems_.size(); ++i) dateItems_[i]->setChecked(static_cast<int>(i) + 1 == number);
    const auto format = core::DateFormatFor(number);
    if (!format) return;
    settings_.DateFormat = number;
    table_.setDateFormat(*format);
    if (refresh && model_) model_->refresh();
}

void TMain::checkNumberFormats() {
    ui->MenuCurrencyUS->setChecked(settings_.CurrencyFormat == 1);
    ui->MenuCurrencyWin->setChecked(settings_.CurrencyFormat == 2);
    ui->MenuNumericUS->setChecked(settings_.NumericFormat == 1);
    ui->MenuNumericWin->setChecked(settings_.NumericFormat == 2);
}

// Measures the screen once and takes the scale of the stored size when the screen can show it.
void TMain::applyScreenSize() {
    QSize screen = screenSize_.value_or(QSize());
    if (!screenSize_) {
        if (const QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->size();
    }
    settings_.ScreenWidth = screen.width();
    settings_.ScreenHeight = screen.height();
    settings_.ScaleFactor = 1.0;
    int checked = 640;
    for (const ScreenSize& s : kScreenSizes) {
        if (s.width == settings_.WindowSize && screen.width() >= s.width && screen.height() >= s.height) {
            settings_.ScaleFactor = s.factor;
            checked = s.width;
        }
    }
    ui->N640x480->setChecked(checked == 640);
    ui->N800x600->setChecked(checked == 800);
    ui->N1024x768->setChecked(checked == 1024);
    ui->N1280x1024->setChecked(checked == 1280);
}

void TMain::chooseScreenSize(int size) {
    QAction* items[] = {ui->N640x480, ui->N800x600, ui->N1024x768, ui->N1280x1024};
    auto recheck = [&] {
        for (size_t i = 0; i < 4; ++i) items[i]->setChecked(kScreenSizes[i].factor == settings_.ScaleFactor);
    };
    if (settings_.WindowSize == size) {
        recheck();
        return;
    }
    for (const ScreenSize& s : kScreenSizes) {
        if (s.width != size) continue;
        if (settings_.ScreenWidth < s.width || settings_.ScreenHeight < s.height) {
            messages_.show({.caption = QStringLiteral("Error"),
                            .text = QStringLiteral("Your current screen resolution does not support %1 x %2 pixels.")
                                        .arg(s.width)
                                        .arg(s.height),
                            .icon = core::MessageIcon::Error});
            recheck();
            return;
        }
        settings_.WindowSize = size;
        settings_.ScaleFactor = s.factor;
    }
    recheck();
}

void TMain::chooseButtonBar(int mode) {
    settings_.ButtonBar = mode;
    SetButtonBar();
}

void TMain::chooseFont(core::FontSpec& spec) {
    QFont font(core::fromTableText(spec.name));
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setStrikeOut(spec.strikeout);
    const auto choice = dialogs_.getFont({.font = font});
    if (!choice) return;
    if (const auto name = core::toTableText(choice->font.family())) spec.name = *name;
    spec.bold = choice->font.bold();
    spec.italic = choice->font.italic();
    spec.underline = choice->font.underline();
    spec.strikeout = choice->font.strikeOut();
    SetFonts();
}

// ---------------------------------------------------------------------------------------------
// Commands

// A chosen name must end in ".DBF" (any case); otherwise the user is told.
bool TMain::hasDatabaseExtension(const QString& path) {
    if (path.right(4).toUpper() == QStringLiteral(".DBF")) return true;
    messages_.show({.caption = QStringLiteral("Error"),
                    .text = QStringLiteral("Invalid file type selected."),
                    .icon = core::MessageIcon::Error});
    return false;
}

// LastDatabase becomes the path, the main table switches to it, and the database left goes on
// top of the recent files.
void TMain::switchTo(const QString& path, bool testInUse) {
    if (settings_.SearchActive) DoEndSearch();
    const QString previous = lastDatabase();
    setLastDatabase(path);
    switchMainTable(true, testInUse);
    app::DoLastFiles(settings_.RecentFiles, core::toNativePath(previous), core::toNativePath(lastDatabase()));
    SetMenuLastFiles();
}

void TMain::DoOpen() {
    const QString chosen = dialogs_.getOpenFileName({.title = QStringLiteral("Open Database File"),
                                                     .filter = QStringLiteral("Database Files (*.DBF)"),
                                                     .defaultSuffix = QStringLiteral("DBF"),
                                                     .fileMustExist = true});
    guarded([&] {
        if (chosen.isEmpty() || !hasDatabaseExtension(chosen)) return;
        if (core::CheckDBaseFormat(messages_, chosen)) switchTo(chosen, true);
    });
    DisplayCount();
}

void TMain::DoNew() {
    const QString chosen = dialogs_.getSaveFileName({.title = QStringLiteral("New Database File"),
                                                     .filter = QStringLiteral("Database Files (*.DBF)"),
                                                     .defaultSuffix = QStringLiteral("DBF"),
                                                     .pathMustExist = true,
                                                     .promptOverwrite = true});
    guarded([&] {
        if (chosen.isEmpty() || !hasDatabaseExtension(chosen)) return;
        if (core::MakeNewDB(messages_, chosen)) switchTo(chosen, false);
    });
    DisplayCount();
}

void TMain::OpenSaveFile(const QString& path) {
    guarded([&] {
        if (core::CheckDBaseFormat(messages_, path)) switchTo(path, true);
    });
    DisplayCount();
}

void TMain::DoDelete() {
    if (!model_ || model_->rowCount() == 0) return;
    const auto answer = messages_.show({.caption = QStringLiteral("Confirm"),
                                        .text = QStringLiteral("Delete this record?"),
                                        .buttons = core::MessageButtons::YesNo,
                                        .icon = core::MessageIcon::Question});
    if (answer == core::MessageButton::Yes) {
        guarded([&] {
            syncCursorToGrid();
            table_.remove();
            model_->refresh();
            selectCurrentRecord();
        });
    }
    DisplayCount();
}

void TMain::createWindows() {
    if (editWindow_ || !pickLists_) return;
    auto listOf = [](int number) { return static_cast<editing::PickList>(core::catalogueField(number).pickList - 1); };
    search_ = std::make_unique<TMySearch>(
        TMySearch::Services{.settings = settings_,
                            .messages = messages_,
                            .table = table_,
                            .enableEndSearch = [this] { EnableEndSearch(); },
                            .endSearch = [this] { DoEndSearch(); },
                            .reopenTable =
                                [this] {
                                    openMainTable(false);
                                    if (model_) model_->reset();
                                    SetViewerOptions();
                                },
                            .pickEntries = [this, listOf](int number) { return pickLists_->edit(listOf(number)); }},
        this);
    // The table keeps its filter across closing and opening: once is enough.
    table_.setFilter(viewing::MakeSearchFilter(settings_, search_->criteria()));
    editWindow_ = std::make_unique<TMyEdit>(
        TMyEdit::Services{.settings = settings_,
                          .messages = messages_,
                          .table = table_,
                          .pickLists = *pickLists_,
                          .recordsChanged =
                              [this] {
                                  // An edit with no search on changes no count: the grid need
                                  // not count a large table again.
                                  const bool edited = table_.recordCount() == knownRecords_ &&
                                                      !settings_.SearchActive;
                                  knownRecords_ = table_.recordCount();
                                  if (model_ && edited)
                                      model_->recordEdited(table_.movedInOrder());
                                  else if (model_)
                                      model_->refresh();
                                  selectCurrentRecord();
                                  DisplayCount();
                              },
                          .currentChanged = [this] { selectCurrentRecord(); }},
        this);
}

// Add, Edit and Copy: the edit window on the grid's current record.
void TMain::runEditWindow(int mode) {
    if (!editWindow_) return;
    knownRecords_ = table_.recordCount();
    guarded([&] {
        syncCursorToGrid();
        editWindow_->run(mode);
    });
    DisplayCount();
}

void TMain::DoAdd() { runEditWindow(TMyEdit::AddMode); }
void TMain::DoEdit() { runEditWindow(TMyEdit::EditMode); }
void TMain::DoCopy() { runEditWindow(TMyEdit::CopyMode); }

// How the sort order window and the maintenance commands close and reopen the main table.
MainTableHost TMain::mainTableHost() {
    return MainTableHost{table_, lastDatabase(), [this] { table_.close(); },
                         [this] {
                             openMainTable(false);
                             if (model_) model_->reset();
                         },
                         [this] { SetViewerOptions(); }};
}

void TMain::DoSortOrder() {
    guarded([&] {
        MainTableHost host = mainTableHost();
        TMySortOrder::run(this, SortOrderHost{host, settings_, sortExpression_, core::SettingsFilePath()},
                          messages_);
    });
    DisplayCount();
}

void TMain::MenuPackClick() {
    guarded([&] {
        MainTableHost host = mainTableHost();
        ::MenuPackClick(host, messages_);
    });
    DisplayCount();
}

void TMain::MenuRebuildClick() {
    guarded([&] {
        MainTableHost host = mainTableHost();
        ::MenuRebuildClick(host, messages_);
    });
    DisplayCount();
}

void TMain::DoExit() { close(); }

void TMain::DisplayCount() {
    ui->CountLabel->setText(QString::fromStdString(core::FormatFixed(model_ ? model_->rowCount() : 0, 1, 0)));
}

void TMain::SetMenuLastFiles() {
    const bool any = app::HasRecentFiles(settings_.RecentFiles);
    ui->MenuExitSep->setVisible(any);
    for (int i = 1; i <= core::kRecentFileCount; ++i) {
        QAction* item = lastFileItems_[static_cast<size_t>(i - 1)];
        const std::string& entry = settings_.RecentFiles[i];
        item->setVisible(any && !entry.empty());
        item->setText(QStringLiteral("&%1   ").arg(i) + fromNative(entry));
    }
}

// ---------------------------------------------------------------------------------------------
// The grid and its cursor

// The table's cursor follows the grid's current row, so commands act on the record shown.
void TMain::syncCursorToGrid() {
    if (!model_) return;
    const QModelIndex current = ui->ViewerGrid->currentIndex();
    if (current.isValid()) model_->moveTo(current.row());
}

void TMain::selectCurrentRecord() {
    if (!model_ || model_->rowCount() == 0) return;
    const int row = std::max(0, model_->rowOfCurrent());
    const QModelIndex index = model_->index(row, std::max(0, ui->ViewerGrid->currentIndex().column()));
    ui->ViewerGrid->setCurrentIndex(index);
    ui->ViewerGrid->scrollTo(index);
}

void TMain::setUpNavigator() {
    auto* layout = new QHBoxLayout(ui->MyNavigator);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    struct Step {
        const char* name;
        QStyle::StandardPixmap icon;
        const char* hint;
    };
    const Step steps[] = {{"NavFirst", QStyle::SP_MediaSkipBackward, "First record"},
                          {"NavPrior", QStyle::SP_MediaSeekBackward, "Prior record"},
                          {"NavNext", QStyle::SP_MediaSeekForward, "Next record"},
                          {"NavLast", QStyle::SP_MediaSkipForward, "Last record"}};
    for (size_t i = 0; i < std::size(steps); ++i) {
        auto* button = new QToolButton(ui->MyNavigator);
        button->setObjectName(QLatin1String(steps[i].name));
        button->setIcon(style()->standardIcon(steps[i].icon));
        button->setToolTip(QLatin1String(steps[i].hint));
        button->setAccessibleName(QLatin1String(steps[i].hint));
        button->setAutoRaise(true);
        layout->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, i] {
            if (!model_ || model_->rowCount() == 0) return;
            const int last = model_->rowCount() - 1;
            const int current = ui->ViewerGrid->currentIndex().row();
            const int row = i == 0 ? 0 : i == 1 ? std::max(0, current - 1) : i == 2 ? std::min(last, current + 1) : last;
            const QModelIndex index = model_->index(row, std::max(0, ui->ViewerGrid->currentIndex().column()));
            ui->ViewerGrid->setCurrentIndex(index);
            ui->ViewerGrid->scrollTo(index);
        });
    }
    // The editing buttons: insert and edit open the edit window (or, with field editing on, edit
    // the cell in place); post and cancel end an edit in the grid; refresh shows what other
    // users changed. Browse mode shows none of them.
    struct Action {
        const char* name;
        QIcon icon;
        const char* hint;
        std::function<void()> run;
    };
    const Action actions[] = {
        {"NavInsert", QIcon(QStringLiteral(":/icons/add-record.svg")), "Insert record", [this] { DoAdd(); }},
        {"NavDelete", QIcon(QStringLiteral(":/icons/delete-record.svg")), "Delete record", [this] { DoDelete(); }},
        {"NavEdit", QIcon(QStringLiteral(":/icons/edit-record.svg")), "Edit record",
         [this] {
             if (settings_.GridFieldEditing && ui->ViewerGrid->currentIndex().isValid())
                 ui->ViewerGrid->edit(ui->ViewerGrid->currentIndex());
             else
                 DoEdit();
         }},
        {"NavPost", style()->standardIcon(QStyle::SP_DialogApplyButton), "Post edit",
         [this] { ui->ViewerGrid->setFocus(); }}, // the open cell editor commits as it loses focus
        {"NavCancel", style()->standardIcon(QStyle::SP_DialogCancelButton), "Cancel edit",
         [this] {
             if (QWidget* editor = QApplication::focusWidget(); editor && ui->ViewerGrid->isAncestorOf(editor)) {
                 QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                 QApplication::sendEvent(editor, &escape); // the delegate drops the change
             }
         }},
        {"NavRefresh", style()->standardIcon(QStyle::SP_BrowserReload), "Refresh data", [this] {
             guarded([&] {
                 table_.refresh();
                 if (model_) model_->refresh();
                 selectCurrentRecord();
             });
             DisplayCount();
         }}};
    for (const Action& action : actions) {
        auto* button = new QToolButton(ui->MyNavigator);
        button->setObjectName(QLatin1String(action.name));
        button->setIcon(action.icon);
        button->setToolTip(QLatin1String(action.hint));
        button->setAccessibleName(QLatin1String(action.hint));
        button->setAutoRaise(true);
        layout->addWidget(button);
        connect(button, &QToolButton::clicked, this, action.run);
    }
    layout->addStretch();
}

// Icons from the desktop's theme where it has a fitting one, our own otherwise.
void TMain::setUpSpeedButtons() {
    struct Icon {
        QToolButton* button;
        const char* theme;
        const char* own;
    };
    const Icon icons[] = {{ui->NewSpeed, "document-new", "new-database"},
                          {ui->OpenSpeed, "document-open", "open-database"},
                          {ui->AddSpeed, "list-add", "add-record"},
                          {ui->EditSpeed, "document-edit", "edit-record"},
                          {ui->CopySpeed, "edit-copy", "copy-record"},
                          {ui->DeleteSpeed, "edit-delete", "delete-record"},
                          {ui->ImportSpeed, "document-import", "import-records"},
                          {ui->ExportSpeed, "document-export", "export-records"},
                          {ui->SearchSpeed, "edit-find", "search-records"},
                          {ui->EndSearchSpeed, "edit-clear", "end-search"},
                          {ui->LocateSpeed, "go-jump", "locate-record"},
                          {ui->LocateNextSpeed, "go-next", "locate-next"},
                          {ui->ReportSpeed, "document-print", "reports"},
                          {ui->ViewerSpeed, "view-list-details", "viewer-configuration"},
                          {ui->ColorSpeed, "preferences-desktop-color", "color-setup"},
                          {ui->SpeedSetOrder, "view-sort-ascending", "sort-order"},
                          {ui->HelpSpeed, "help-contents", "help"}};
    for (const Icon& icon : icons) {
        const QIcon own(QStringLiteral(":/icons/") + QLatin1String(icon.own) + QStringLiteral(".svg"));
        icon.button->setIcon(QIcon::fromTheme(QLatin1String(icon.theme), own));
    }
}

void TMain::connectCommands() {
    connect(ui->MenuNew, &QAction::triggered, this, &TMain::DoNew);
    connect(ui->NewSpeed, &QToolButton::clicked, this, &TMain::DoNew);
    connect(ui->MenuOpen, &QAction::triggered, this, &TMain::DoOpen);
    connect(ui->OpenSpeed, &QToolButton::clicked, this, &TMain::DoOpen);
    for (const auto& [item, speed, button, command] :
         {std::tuple{ui->MenuAdd, ui->AddSpeed, ui->AddButton, &TMain::DoAdd},
          std::tuple{ui->MenuEdit, ui->EditSpeed, ui->EditButton, &TMain::DoEdit},
          std::tuple{ui->MenuCopy, ui->CopySpeed, ui->CopyButton, &TMain::DoCopy}}) {
        connect(item, &QAction::triggered, this, command);
        connect(speed, &QToolButton::clicked, this, command);
        connect(button, &QPushButton::clicked, this, command);
    }
    connect(ui->MenuDelete, &QAction::triggered, this, &TMain::DoDelete);
    connect(ui->DeleteSpeed, &QToolButton::clicked, this, &TMain::DoDelete);
    connect(ui->DeleteButton, &QPushButton::clicked, this, &TMain::DoDelete);
    connect(ui->MenuExit, &QAction::triggered, this, &TMain::DoExit);
    connect(ui->ButtonExit, &QPushButton::clicked, this, &TMain::DoExit);
    connect(ui->MenuSearch, &QAction::triggered, this, &TMain::DoSearch);
    connect(ui->SearchSpeed, &QToolButton::clicked, this, &TMain::DoSearch);
    connect(ui->SearchButton, &QPushButton::clicked, this, &TMain::DoSearch);
    connect(ui->MenuEndSearch, &QAction::triggered, this, &TMain::DoEndSearch);
    connect(ui->EndSearchSpeed, &QToolButton::clicked, this, &TMain::DoEndSearch);
    connect(ui->EndSearchButton, &QPushButton::clicked, this, &TMain::DoEndSearch);
    connect(ui->MenuFind, &QAction::triggered, this, &TMain::DoFind);
    connect(ui->LocateSpeed, &QToolButton::clicked, this, &TMain::DoFind);
    connect(ui->MenuFindNext, &QAction::triggered, this, &TMain::DoFindNext);
    connect(ui->LocateNextSpeed, &QToolButton::clicked, this, &TMain::DoFindNext);
    connect(ui->MenuSortOrder, &QAction::triggered, this, &TMain::DoSortOrder);
    connect(ui->SpeedSetOrder, &QToolButton::clicked, this, &TMain::DoSortOrder);
    connect(ui->MenuPack, &QAction::triggered, this, &TMain::MenuPackClick);
    connect(ui->MenuRebuild, &QAction::triggered, this, &TMain::MenuRebuildClick);
    connect(ui->MenuViewer, &QAction::triggered, this, &TMain::DoViewer);
    connect(ui->ViewerSpeed, &QToolButton::clicked, this, &TMain::DoViewer);
    connect(ui->ViewerButton, &QPushButton::clicked, this, &TMain::DoViewer);
    connect(ui->MenuPrinterSetup, &QAction::triggered, this, [this] { dialogs_.printerSetup(); });
    for (int i = 1; i <= core::kRecentFileCount; ++i)
        connect(lastFileItems_[static_cast<size_t>(i - 1)], &QAction::triggered, this,
                [this, i] { OpenSaveFile(fromNative(settings_.RecentFiles[i])); });

    for (size_t i = 0; i < dateItems_.size(); ++i) {
        connect(dateItems_[i], &QAction::triggered, this, [this, i] {
            const int number = static_cast<int>(i) + 1;
            // Choosing the format in force changes nothing (the item stays checked).
            if (settings_.DateFormat == number) {
                dateItems_[i]->setChecked(true);
                return;
            }
            applyDateFormat(number, true);
        });
    }
    connect(ui->MenuCurrencyUS, &QAction::triggered, this, [this] { settings_.CurrencyFormat = 1; checkNumberFormats(); });
    connect(ui->MenuCurrencyWin, &QAction::triggered, this, [this] { settings_.CurrencyFormat = 2; checkNumberFormats(); });
    connect(ui->MenuNumericUS, &QAction::triggered, this, [this] { settings_.NumericFormat = 1; checkNumberFormats(); });
    connect(ui->MenuNumericWin, &QAction::triggered, this, [this] { settings_.NumericFormat = 2; checkNumberFormats(); });
    connect(ui->N640x480, &QAction::triggered, this, [this] { chooseScreenSize(640); });
    connect(ui->N800x600, &QAction::triggered, this, [this] { chooseScreenSize(800); });
    connect(ui->N1024x768, &QAction::triggered, this, [this] { chooseScreenSize(1024); });
    connect(ui->N1280x1024, &QAction::triggered, this, [this] { chooseScreenSize(1280); });
    connect(ui->MenuSpeed, &QAction::triggered, this, [this] { chooseButtonBar(1); });
    connect(ui->MenuButtons, &QAction::triggered, this, [this] { chooseButtonBar(2); });
    connect(ui->MenuNoButtons, &QAction::triggered, this, [this] { chooseButtonBar(3); });
    connect(ui->MenuLabelFont, &QAction::triggered, this, [this] { chooseFont(settings_.LabelFont); });
    connect(ui->MenuEditFont, &QAction::triggered, this, [this] { chooseFont(settings_.EditFont); });
    connect(ui->MenuButtonFont, &QAction::triggered, this, [this] { chooseFont(settings_.ButtonFont); });

    // List maintenance: the title word is the item's caption, the longest entry the width of
    // the list's field.
    const std::pair<QAction*, editing::PickList> lists[] = {
        {ui->MenuMaintainBrand, editing::PickList::Brand},
        {ui->MenuMaintainLocation, editing::PickList::Location},
        {ui->MenuMaintainBought, editing::PickList::PurchasedFrom},
        {ui->MenuMaintainCategory, editing::PickList::Category},
        {ui->MenuMaintainOwner, editing::PickList::Owner}};
    for (const auto& [item, list] : lists) {
        connect(item, &QAction::triggered, this, [this, item, list] {
            if (!pickLists_) return;
            TMyEditBox::editList(this, *pickLists_, list, item->text(),
                                 core::FieldWidth(editing::PickLists::catalogueNumber(list)), settings_, messages_);
        });
    }

    // Commands whose windows are not built yet stay visible but disabled.
    for (QAction* item : {ui->MenuBackup, ui->MenuRestore, ui->MenuPrint, ui->MenuImport, ui->MenuExport,
                          ui->MenuReports, ui->MenuSearchReplace, ui->MenuContents, ui->MenuTips,
                          ui->MenuAbout, ui->MenuOtherProd, ui->MenuOrder, ui->MenuMainColor, ui->MenuEditColor,
                          ui->MenuSearchColor, ui->MenuReportColor, ui->MenuConfigureColor, ui->MenuAllColor})
        item->setEnabled(false);
    for (QToolButton* button : {ui->ImportSpeed, ui->ExportSpeed, ui->ReportSpeed,
                                ui->ColorSpeed, ui->HelpSpeed})
        button->setEnabled(false);
    for (QPushButton* button : {ui->ReportButton, ui->HelpButton})
        button->setProperty("pending", true);
}

// ---------------------------------------------------------------------------------------------
// Errors

// Errors that no command catches end the command with the message in a box, as the general
// error report of a desktop program does.
bool TMain::guarded(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const std::exception& e) {
        reportError(e);
        return false;
    }
}

void TMain::reportError(const std::exception& error) {
    messages_.show({.caption = QStringLiteral("Error"),
                    .text = QString::fromLocal8Bit(error.what()),
                    .icon = core::MessageIcon::Error});
}

QString TMain::lastDatabase() const { return fromNative(settings_.LastDatabase); }

void TMain::setLastDatabase(const QString& path) {
    settings_.LastDatabase = core::toNativePath(QFileInfo(path).absoluteFilePath());
}
