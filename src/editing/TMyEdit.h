#pragma once

#include "dbase/Table.h"
#include "ui/InputMask.h"
#include "ui/WindowAppearance.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QComboBox;
class QLineEdit;

namespace Ui {
class TMyEdit;
}
namespace core {
class MessageService;
struct Settings;
} // namespace core
namespace editing {
class PickLists;
}

// The edit window: adds, changes and copies one inventory record at a time, always the current
// record of the main window's table. It is made once, when the program starts, and shown
// modally for each Add, Edit or Copy command.
class TMyEdit : public QDialog {
public:
    enum Mode { AddMode = 1, EditMode = 2, CopyMode = 3 };

    struct Services {
        core::Settings& settings;
        core::MessageService& messages;
        dbase::Table& table; // the main window's open table and its cursor
        editing::PickLists& pickLists;
        // After every record stored: the grid counts and repaints its rows.
        std::function<void()> recordsChanged{};
        // After Previous or Next moved the table's cursor: the grid follows it.
        std::function<void()> currentChanged{};
        // Opens the help at a keyword.
        std::function<void(const QString&)> showHelp{};
    };

    explicit TMyEdit(Services services, QWidget* parent = nullptr);
    ~TMyEdit() override;

    // Shows the window modally in edit mode 1 (add), 2 (edit) or 3 (copy) and returns when it
    // closes, with the number of records stored while it was open.
    int run(int editMode);

    // The mode the next showing starts in; run() sets it. Tests set it and call show().
    void setEditMode(int editMode) { editMode_ = editMode; }
    int editMode() const { return editMode_; }
    int storedCount() const { return storedCount_; }

    // Operations of the window, by the names its commands use.
    void LoadInData();
    void DoClear();
    void SaveValues();
    bool ValuesChanged() const;
    void CalcTotals();
    bool DoUpdate();
    void DoAnUpdate();
    void DoUpdateAndExit();
    void DoExit();
    void DoPreviousRecord();
    void DoNextRecord();
    void MenuNewClick();
    void ItemExit();
    void FormKeyPress();
    void MenuCutClick();
    void MenuCopyClick();
    void MenuPasteClick();
    void MenuDeleteClick();
    void MenuHelpClick();
    void SetColors();

    void setVisible(bool visible) override;
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Snapshot {
        std::array<QString, 22> texts{}; // by catalogue number - 1; Warranty unused
        bool warranty = false;
    };

    void FormCreate();
    void FormShow();
    void FormClose();
    void applyBrowseMode();
    void setLabels();
    void setItemLines();
    void fillCombos();
    void syncCombo(QComboBox* combo, const std::vector<std::string>& entries);
    void moveRecord(bool forward);
    bool storeRecord();
    void refuse(const QString& text, int catalogueNumber);
    void reportStoreFailure(const QString& text, int catalogueNumber);
    void focusField(int catalogueNumber);
    void loadCurrentOrClear();
    void setDateBox(QLineEdit* box, const QString& value);
    void setDateMask();
    QLineEdit* clipboardBox() const;

    QString fieldText(int catalogueNumber) const;
    void setFieldText(int catalogueNumber, const QString& text);
    QWidget* fieldControl(int catalogueNumber) const;
    QString displayName(int catalogueNumber) const;

    std::unique_ptr<Ui::TMyEdit> ui;
    core::Settings& settings_;
    core::MessageService& messages_;
    dbase::Table& table_;
    editing::PickLists& pickLists_;
    std::function<void()> recordsChanged_;
    std::function<void()> currentChanged_;
    std::function<void(const QString&)> showHelp_;

    ui::GeometryRecord designed_;
    ui::InputMask dateMask_;
    char dateSeparator_ = 0;
    int editMode_ = AddMode;
    int storedCount_ = 0;
    Snapshot snapshot_;
    // The record as it was read when loaded (or as last stored): an update compares it with
    // the record on disk, so that a change another user made meanwhile is not overwritten
    // unawares.
    std::string loadedBytes_;
    dbase::Bookmark loadedRecord_;
};

namespace editing {

// Numbers as the edit window reads them (blanks around the text allowed). A decimal number is
// an optional sign, digits with an optional "." that must be followed by a digit (the digits
// before it may be absent), and an optional exponent; "." is the only decimal point. Whole
// numbers are a sign and digits within the signed 32-bit range. Empty text is neither.
std::optional<double> ReadDecimal(std::string_view text);
std::optional<std::int32_t> ReadWholeNumber(std::string_view text);

} // namespace editing
