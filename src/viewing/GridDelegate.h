#pragma once

#include <QStyledItemDelegate>

#include <functional>
#include <string>
#include <vector>

namespace viewing {

// The grid's copies of the five pick lists, as the main window keeps them. A plain interface,
// so that the grid needs nothing of the edit window's code.
struct GridPickLists {
    // The grid's copy of the list of a field (catalogue number 2, 5, 7, 12 or 17), as the
    // table's bytes. Asked each time a combo box opens, so it always shows the list as it is.
    std::function<std::vector<std::string>(int catalogueNumber)> entries;
    // A value stored through the field's combo box, without blanks around it: the list adds it
    // when it is not listed exactly.
    std::function<void(int catalogueNumber, const std::string& value)> offer;
};

// Draws and edits the cells of the viewer grid: the five pick-list fields in editable combo
// boxes over their lists, the warranty as a check box ticked for "Yes", every other field in a
// box that takes no more than the field holds; and the lines between columns and between rows,
// each drawn only when the user wants it. Works with an InventoryModel.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit GridDelegate(QObject* parent = nullptr);

    void setPickLists(GridPickLists lists) { lists_ = std::move(lists); }
    void setLines(bool betweenColumns, bool betweenRows);
    bool columnLines() const { return columnLines_; }
    bool rowLines() const { return rowLines_; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // Where the warranty's check box stands in its cell: in the middle.
    static QRect checkBoxRect(const QStyleOptionViewItem& option);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    GridPickLists lists_;
    bool columnLines_ = true;
    bool rowLines_ = true;
};

} // namespace viewing
