#pragma once

#include "editing/PickLists.h"

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class TMyEditBox;
}
namespace core {
class MessageService;
struct Settings;
} // namespace core

// The list maintenance window: the user adds, deletes and keeps entries of one pick list. It
// works on a copy; OK puts the copy into both in-memory lists and writes the list's file,
// Cancel forgets it.
class TMyEditBox : public QDialog {
public:
    // Fills the window from the edit copy of the list. titleWord names the list in the caption
    // ("Brand" gives Edit "Brand" List); longestEntry is the most the user may type for an entry.
    TMyEditBox(editing::PickLists& lists, editing::PickList list, const QString& titleWord,
               int longestEntry, const core::Settings& settings, core::MessageService& messages,
               QWidget* parent = nullptr);
    ~TMyEditBox() override;

    // Shows the window modally for the list; true when the user left it with OK.
    static bool editList(QWidget* parent, editing::PickLists& lists, editing::PickList list,
                         const QString& titleWord, int longestEntry, const core::Settings& settings,
                         core::MessageService& messages);

    // The entries the window holds now, as the table's bytes.
    editing::Entries entries() const;

    void AddButtonClick();
    void DeleteButtonClick();
    void OkButtonClick();
    void CancelButtonClick();
    void SetColors();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    std::unique_ptr<Ui::TMyEditBox> ui;
    editing::PickLists& lists_;
    editing::PickList list_;
    const core::Settings& settings_;
    core::MessageService& messages_;
    bool shown_ = false;
};
