#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QFrame;
class QTableWidget;

namespace Ui {
class TViewConfig;
}
namespace core {
class DialogService;
class MessageService;
struct FontSpec;
struct Settings;
} // namespace core

// The viewer configuration window: which fields the grid shows, their order, widths and names,
// and how the grid looks. Check boxes, alignment, colors and fonts change the settings at once;
// the four field grids are stored when the window closes, whichever way it is closed, once the
// display names are all different. The grid takes the new configuration when the caller
// applies it after the window has closed.
class TViewConfig : public QDialog {
public:
    // Opens the help at a keyword.
    using HelpFunction = std::function<void(const QString& keyword)>;

    TViewConfig(core::Settings& settings, core::MessageService& messages,
                core::DialogService& dialogs, HelpFunction help = {}, QWidget* parent = nullptr);
    ~TViewConfig() override;

    // The Viewer command: shows the window modally and returns when it has closed and stored
    // its grids in the settings. The caller then applies the settings to the viewer grid.
    static void run(QWidget* parent, core::Settings& settings, core::MessageService& messages,
                    core::DialogService& dialogs, HelpFunction help = {});

    // Handlers, named after their control and event.
    void ExitButtonClick();
    void HelpButtonClick();
    void ShowGridTitleClick();
    void ColumnLinesClick();
    void RowLinesClick();
    void RowIndicatorClick();
    void FieldEditingClick();
    void TitleLeftClick();
    void TitleCenterClick();
    void TitleRightClick();
    void Button1Click();
    void NewColorBUttonClick();
    void TitleFontButtonClick();
    void NewFontButtonClick();
    void FieldsToDisplayDblClick();
    void OrderUpClick();
    void OrderDownClick();
    void OrderDefaultsClick();
    void SetColors();
    // Whether the window may close: every display name must differ from the others.
    bool FormCloseQuery();
    // Stores names, widths, display flags and order into the settings.
    void FormClose();

    // Help keywords of the six pages, in page order.
    static const QString& helpKeyword(int page);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape closes the window the same way as the close box: checked and stored.
    void reject() override;

private:
    void FormCreate();
    void FormShow();
    void setUpGrid(QTableWidget* grid, int firstWidth, int secondWidth);
    void fillGrids();
    void fillOrder(const std::vector<int>& numbers);
    void showFonts();
    void chooseColor(std::int32_t& setting, QFrame* shape);
    void chooseFont(core::FontSpec& setting);
    void swapOrderRows(int row, int other);
    void commitOpenEditors();

    std::unique_ptr<Ui::TViewConfig> ui;
    core::Settings& settings_;
    core::MessageService& messages_;
    core::DialogService& dialogs_;
    HelpFunction help_;
    bool shown_ = false;
    bool stored_ = false;
};
