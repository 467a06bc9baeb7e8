#pragma once

#include "core/MessageService.h"
#include "viewing/Matcher.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QWidget;
class TMyLocateDlg;
namespace core {
struct Settings;
}
namespace dbase {
class Table;
}

// The locate component: it lives for the whole run, remembers the last field, value and
// options, shows the locate window for Locate and repeats the last locate for Locate Next
// without a window. It searches the table it is bound to and moves that table's cursor only
// when a record matches.
class TMyLocateDialog {
public:
    enum TFieldSort { fsSortByFieldNo, fsSortByFieldName };
    enum TDefaultButton { dbFindFirst, dbFindNext };
    enum TFieldSelection { fsAllFields, fsVisibleFields };

    // A field as the window lists it: its title (the grid's caption) and whether the grid
    // shows it.
    struct FieldTitle {
        std::string column;
        QString title;
        bool visible = true;
    };
    // Titles of the table's fields, in any order; a field without one is listed by its column
    // name.
    using FieldTitles = std::function<std::vector<FieldTitle>()>;
    // Shows the window modally and returns its result. Tests drive the window here instead.
    using ModalRunner = std::function<int(TMyLocateDlg&)>;

    // owner: the window the locate window and its messages belong to.
    TMyLocateDialog(core::Settings& settings, core::MessageService& messages,
                    QWidget* owner = nullptr);
    ~TMyLocateDialog();
    TMyLocateDialog(const TMyLocateDialog&) = delete;
    TMyLocateDialog& operator=(const TMyLocateDialog&) = delete;

    // Properties.
    QString Caption = QStringLiteral("Locate Field Value");
    std::string SearchField; // column name of the last field searched
    viewing::MatchType MatchType = viewing::MatchType::PartialMatchStart;
    bool CaseSensitive = false;
    TFieldSort SortFields = fsSortByFieldName;
    TDefaultButton DefaultButton = dbFindNext;
    TFieldSelection FieldSelection = fsAllFields;
    bool ShowMessages = true;

    void SetDataSource(dbase::Table* table) { table_ = table; }
    dbase::Table* GetDataSource() const { return table_; }
    void setFieldTitles(FieldTitles titles) { titles_ = std::move(titles); }
    // Called after the cursor moved to a found record, for the grid to show it.
    void setOnFound(std::function<void()> onFound) { onFound_ = std::move(onFound); }
    void setModalRunner(ModalRunner runner) { runner_ = std::move(runner); }

    // Locate: shows the window; true when it closed on a match.
    bool Execute();
    // Locate Next: repeats the last locate from the record after the current one, or shows
    // the window when nothing has been looked for yet; true when a record was found.
    bool FindNext();

    // The last value typed (at most 255 characters).
    const QString& lastValue() const { return lastValue_; }

    // For the window: the fields to list, in the order the properties ask for, and one search
    // on the bound table that tells the grid when it moved.
    std::vector<FieldTitle> listedFields() const;
    bool find(viewing::LocateFrom from, const std::string& column, const QString& value,
              viewing::MatchType matchType, bool caseSensitive);
    core::Settings& settings() const { return settings_; }
    // The typed boxes of locate: "Information", "Warning" or "Error" with their icon.
    void tell(core::MessageIcon icon, const QString& text);

private:
    bool hasTable() const;

    core::Settings& settings_;
    core::MessageService& messages_;
    QWidget* owner_;
    dbase::Table* table_ = nullptr;
    FieldTitles titles_;
    std::function<void()> onFound_;
    ModalRunner runner_;
    QString lastValue_;
};
