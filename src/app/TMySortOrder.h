#pragma once

#include "app/TableMaintenance.h"
#include "core/SortKey.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <string>

namespace Ui {
class TMySortOrder;
}
namespace core {
class MessageService;
struct Settings;
} // namespace core
class QComboBox;

// What the sort order window changes besides the main table: the levels in the settings (and
// the settings file, written at once), and the main window's sort key expression.
struct SortOrderHost {
    MainTableHost& main;
    core::Settings& settings;
    std::string& sortExpression;
    QString settingsPath; // TALBEX.INI
};

// The sort order window: up to four levels, each a field or none. OK replaces the sort index
// tag "NewIndex" of the open database, which needs the table for its sole use; when that
// cannot be had the window stays open with the old order in force.
class TMySortOrder : public QDialog {
public:
    TMySortOrder(SortOrderHost host, core::MessageService& messages, QWidget* parent = nullptr);
    ~TMySortOrder() override;

    // Shows the window modally; true when a new sort order was put in place.
    static bool run(QWidget* parent, SortOrderHost host, core::MessageService& messages);

    // The levels the four combo boxes show now.
    core::SortLevels chosenLevels() const;
    QComboBox* comboBox(int level) const; // level 1..4

    void FormCreate();
    void FormShow();
    void OkButtonClick();
    void CancelButtonClick();
    void SetColors();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void replaceSortIndex();

    std::unique_ptr<Ui::TMySortOrder> ui;
    SortOrderHost host_;
    core::MessageService& messages_;
    bool shown_ = false;
};
