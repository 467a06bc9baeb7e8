#include "viewing/TMyLocateDialog.h"

#include "core/Cp1252.h"
#include "core/MessageService.h"
#include "dbase/Table.h"
#include "viewing/TMyLocateDlg.h"

#include <algorithm>

namespace {

// Fields whose value has a text to compare: not memos, raw bytes or pictures.
bool searchable(char type) {
    return type == 'C' || type == 'N' || type == 'F' || type == 'D' || type == 'L';
}

bool sameColumn(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
        return up(x) == up(y);
    });
}

} // namespace

TMyLocateDialog::TMyLocateDialog(core::Settings& settings, core::MessageService& messages,
                                 QWidget* owner)
    : settings_(settings), messages_(messages), owner_(owner) {}

TMyLocateDialog::~TMyLocateDialog() = default;

void TMyLocateDialog::tell(core::MessageIcon icon, const QString& text) {
    QString caption;
    switch (icon) {
    case core::MessageIcon::Error:
        caption = QStringLiteral("Error");
        break;
    case core::MessageIcon::Warning:
        caption = QStringLiteral("Warning");
        break;
    default:
        caption = QStringLiteral("Information");
        break;
    }
    messages_.show({.caption = caption, .text = text, .icon = icon});
}

bool TMyLocateDialog::hasTable() const {
    return table_ && table_->isOpen();
}

std::vector<TMyLocateDialog::FieldTitle> TMyLocateDialog::listedFields() const {
    std::vector<FieldTitle> listed;
    if (!hasTable()) return listed;
    const std::vector<FieldTitle> titles = titles_ ? titles_() : std::vector<FieldTitle>{};
    for (const dbase::FieldDef& field : table_->fields()) {
        if (!searchable(field.type)) continue;
        FieldTitle entry{.column = field.name, .title = core::fromTableText(field.name)};
        const auto titled = std::find_if(titles.begin(), titles.end(), [&](const FieldTitle& t) {
            return sameColumn(t.column, field.name);
        });
        if (titled != titles.end()) {
            entry.visible = titled->visible;
            // A field the grid hides goes by its column name.
            if (entry.visible) entry.title = titled->title;
        }
        if (FieldSelection == fsVisibleFields && !entry.visible) continue;
        entry.title.replace(QLatin1Char('~'), QLatin1Char(' '));
        listed.push_back(std::move(entry));
    }
    if (SortFields == fsSortByFieldName)
        std::stable_sort(listed.begin(), listed.end(),
                         [](const FieldTitle& a, const FieldTitle& b) {
                             return QString::compare(a.title, b.title, Qt::CaseInsensitive) < 0;
                         });
    return listed;
}

bool TMyLocateDialog::find(viewing::LocateFrom from, const std::string& column,
                           const QString& value, viewing::MatchType matchType, bool caseSensitive) {
    if (!hasTable() || column.empty()) return false;
    // A character the table cannot hold is in none of its records.
    const std::optional<std::string> bytes = core::toTableText(value);
    if (!bytes) return false;
    viewing::Matcher matcher(*table_, messages_);
    const bool found = matcher.find({.from = from,
                                     .column = column,
                                     .value = *bytes,
                                     .matchType = matchType,
                                     .caseSensitive = caseSensitive});
    if (found && onFound_) onFound_();
    return found;
}

bool TMyLocateDialog::Execute() {
    if (!hasTable()) {
        tell(core::MessageIcon::Error,
             QStringLiteral("DataSource does not reference an active DataSet"));
        return false;
    }
    TMyLocateDlg dlg(*this, owner_);
    dlg.fillFields();
    dlg.setDefaultButton(DefaultButton == dbFindNext);
    if (!SearchField.empty() && dlg.selectField(SearchField))
        dlg.setValue(lastValue_);
    else
        dlg.setValue(QString());
    dlg.setOptions(MatchType, CaseSensitive);
    dlg.setWindowTitle(Caption);

    const int result = runner_ ? runner_(dlg) : dlg.exec();

    // Whichever way the window closed, Locate Next goes on from what it held.
    MatchType = dlg.matchType();
    CaseSensitive = dlg.caseSensitive();
    lastValue_ = dlg.value().left(255);
    SearchField = dlg.selectedColumn();
    return result == QDialog::Accepted;
}

bool TMyLocateDialog::FindNext() {
    if (!hasTable()) {
        tell(core::MessageIcon::Warning,
             QStringLiteral("DataSource does not refer to an active table!"));
        return false;
    }
    if (lastValue_.isEmpty()) {
        DefaultButton = dbFindNext;
        return Execute();
    }
    const bool found =
        find(viewing::LocateFrom::NextRecord, SearchField, lastValue_, MatchType, CaseSensitive);
    if (!found && ShowMessages)
        tell(core::MessageIcon::Information, QStringLiteral("No more matches found"));
    return found;
}
