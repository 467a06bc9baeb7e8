#pragma once

#include "ui/WindowAppearance.h"
#include "viewing/SearchCriteria.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTableWidget;

namespace Ui {
class TMySearch;
}
namespace core {
class MessageService;
struct Settings;
} // namespace core
namespace dbase {
class Table;
}

// The search window: a query by example typed beside the 22 fields, in up to ten levels that
// are joined by OR. It is made once, when the program starts, and shown modally by the main
// window's Search command (run()).
//
// Two lists of criteria are kept. The window builds the criteria being typed; only a search
// that starts ("&Ok" with records left) copies them into the criteria in force, which the
// table's filter reads. So showing the window and leaving it with "E&xit" leaves a running
// search exactly as it was.
//
// What the main window does around it:
//  - once, when the table is opened (and again after each reopening, unless the table keeps
//    its filter): table.setFilter(viewing::MakeSearchFilter(settings, search.criteria()));
//  - DoSearch: search.run(), then reset the grid's model and DisplayCount;
//  - the callbacks of Services below, which the window calls while it starts a search;
//  - commands that must see every record while a search is on: DoEndSearch before their work,
//    EnableEndSearch and a refresh after it; the criteria in force are still there.
class TMySearch : public QDialog {
public:
    // The remembered entries of a pick-list field (as the table stores text), by catalogue
    // number.
    using PickEntries = std::function<std::vector<std::string>(int catalogueNumber)>;

    struct Services {
        core::Settings& settings;
        core::MessageService& messages;
        dbase::Table& table; // the main window's open table
        // EnableEndSearch: End Search offered, SearchActive set, "SEARCH ON" shown.
        std::function<void()> enableEndSearch{};
        // DoEndSearch: DisableEndSearch, the table closed and reopened, SetViewerOptions,
        // DisplayCount.
        std::function<void()> endSearch{};
        // A new search replaces a running one: the table closed and reopened with its filter,
        // and SetViewerOptions.
        std::function<void()> reopenTable{};
        PickEntries pickEntries{};
        std::function<void(const QString& keyword)> showHelp{};
    };

    explicit TMySearch(Services services, QWidget* parent = nullptr);
    ~TMySearch() override;

    // The Search command: shows the window modally and returns, once it has closed, whether a
    // search is on.
    bool run();

    // The criteria in force, for the table's filter. They live as long as the window.
    const viewing::SearchCriteria& criteria() const { return inForce_; }
    // The criteria typed so far in this showing (earlier levels and this one once taken).
    const viewing::SearchCriteria& typedCriteria() const { return typed_; }
    viewing::SearchOperator rowOperator(int catalogueNumber) const {
        return operators_[catalogueNumber];
    }

    // Handlers, named after their control and event.
    void OkButtonClick();
    void ExitButtonClick();
    void ClearButtonClick();
    void MoreButtonClick();
    void HelpButtonClick();
    // A press and release on one cell: the button column opens the row's options.
    void SearchGridMouseUp(int row, int column);
    void SetColors();

    // Turns the criteria column into criteria; true when at least one was taken.
    bool SaveFields();
    void ClearSearch();
    // Turns the search on with the criteria in force; true when records remain.
    bool Doit();
    // Opens the options of a row (catalogue number) and applies what was chosen.
    void openOptions(int catalogueNumber);

    void setVisible(bool visible) override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void setUpGrid();
    void emptyCriteriaColumn();
    void showLevel();
    void commitEdit();
    void makeRowCurrent(int catalogueNumber, bool moveAwayFirst);
    void error(const QString& text);

    std::unique_ptr<Ui::TMySearch> ui;
    Services services_;
    viewing::SearchCriteria typed_;
    viewing::SearchCriteria inForce_;
    viewing::SearchOperators operators_{};
    ui::GeometryRecord designed_;
};
