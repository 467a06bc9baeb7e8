#pragma once

#include "core/FieldCatalogue.h"
#include "viewing/RowCache.h"

#include <QAbstractTableModel>
#include <QString>
#include <QTimer>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace core {
class MessageService;
}

namespace viewing {

// The records of the open inventory table as the viewer grid shows them: one row per record of
// the table's current view (its order, its filter, deleted records left out), one column per
// shown field. Rows are read from the table when a view asks for them and only then (see
// RowCache): a table of a million records opens as fast as one of a hundred.
//
// The view must ask for the rows it paints and no others. For a QTableView that means fixed
// row heights (the vertical header's resize mode Fixed or Interactive, never ResizeToContents,
// and no resizeRowsToContents()) and column widths set from the settings rather than measured
// from the contents. The model gives no size hints of its own.
//
// The table belongs to the main window; the model borrows its cursor to read and puts it back,
// and it must be told whenever the view changes (reset()) or its records do (refresh()).
// Operations called by the program pass the engine's errors on as dbase::Error; reading for a
// view cannot, so a failure there leaves the cells blank and is reported once through
// readFailed(), from the event loop rather than from inside a paint.
class InventoryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // displayNames: the titles of the 22 fields, in catalogue order. All 22 fields are shown,
    // in catalogue order, until setColumns() says otherwise.
    InventoryModel(dbase::Table& table, std::vector<QString> displayNames,
                   QObject* parent = nullptr);
    ~InventoryModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Stores a cell typed in the grid (EditRole; CheckStateRole for the warranty's check box)
    // while field editing is on. The value is checked as the edit window checks it, then the
    // record is changed through the engine: edit, the one field, post. A refused value or a
    // failure of the engine (a record another user holds, a value the field cannot take) is
    // reported through the message service and leaves the record as it was.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Whether cells may be edited (the grid's field editing). Never on a read-only table.
    void setFieldEditing(bool on);
    bool fieldEditing() const { return fieldEditing_; }
    // Where refused edits are reported; none: they are refused without a word.
    void setMessageService(core::MessageService* messages) { messages_ = messages; }

    // Columns: the shown fields by catalogue number (1..22), left to right. Throws
    // std::invalid_argument for a number out of range or given twice.
    void setColumns(std::vector<int> catalogueNumbers);
    const std::vector<int>& columns() const { return columns_; }
    int catalogueNumber(int column) const;
    int columnOf(int catalogueNumber) const; // -1 when the field is not shown
    // Throws std::invalid_argument unless there are 22 names.
    void setDisplayNames(std::vector<QString> displayNames);

    // The table's view is another: a database opened or closed, the order or the filter
    // changed. Counts the rows again; views lose their current item and selection.
    void reset();
    // Records were added, changed or deleted (by this program or, after Table::refresh(), by
    // others). Counts the rows again; while the count stays the same the views keep their
    // selection and scroll position and only repaint.
    void refresh();
    // One record was edited and no record added, deleted or hidden by a filter: the count
    // stands and need not be read again (on a large table that is most of a refresh). `moved`:
    // its place in the order changed (Table::movedInOrder), so the rows' positions are learnt
    // again; otherwise every row keeps its place.
    void recordEdited(bool moved);

    // The row of the table's current record; -1 when it has none or the record is not in the
    // view. Costs at most a short walk once the rows around it are known.
    int rowOfCurrent();
    // Puts the table's cursor on the record of this row; false when it cannot.
    bool moveTo(int row);

    // While suspended the model leaves the table alone and shows only the rows it holds:
    // for a command that walks the table's cursor itself and lets the event loop run.
    void setSuspended(bool suspended);
    bool isSuspended() const { return suspended_; }

    // Whether the model learns the positions of all rows in idle time after each count, so
    // that later jumps anywhere are short walks. On by default.
    void setBackgroundFill(bool on);
    bool backgroundFill() const { return backgroundFill_; }

    const RowCache& rows() const { return *rows_; }

signals:
    void readFailed(const QString& message);
    // A cell was stored: the record may stand at another row now. The table's cursor is on it.
    void recordStored();

private:
    void recount(bool keepViewsIfSameCount);
    void mapFields();
    const RowCache::Row* readRow(int row) const;
    void reportFailure(const char* message) const;
    bool storeField(int row, int catalogueNumber, const std::string& value);
    void refuse(const QString& message);
    void scheduleFill();
    void fillSome();

    dbase::Table& table_;
    std::unique_ptr<RowCache> rows_;
    std::vector<QString> displayNames_;                // by catalogue number - 1
    std::vector<int> columns_;                         // catalogue numbers
    std::array<int, core::kFieldCount + 1> fieldOf_{}; // the table's field of each catalogue number
    bool suspended_ = false;
    bool backgroundFill_ = true;
    bool fieldEditing_ = false;
    core::MessageService* messages_ = nullptr;
    mutable bool failureReported_ = false;
    QTimer fillTimer_;
};

} // namespace viewing
