#include "viewing/ViewerOptions.h"

#include "core/Cp1252.h"
#include "core/Settings.h"
#include "ui/WindowAppearance.h"
#include "viewing/InventoryModel.h"
#include "viewing/ViewerSettings.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QTableView>

#include <algorithm>
#include <vector>

namespace viewing {
namespace {

// Room a cell leaves around its text, and the line at its right.
constexpr int kCellPadding = 7;
constexpr int kIndicatorWidth = 18;

// The current-row marker: a small triangle beside the current row, nothing else.
class RowIndicatorHeader : public QHeaderView {
public:
    explicit RowIndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
        setSectionsClickable(false);
        setHighlightSections(false);
    }

    QSize sizeHint() const override { return {kIndicatorWidth, QHeaderView::sizeHint().height()}; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        if (logicalIndex != currentIndex().row()) return;
        painter->save();
        painter->setClipRect(rect);
        painter->setRenderHint(QPainter::Antialiasing);
        const int half = std::max(3, std::min(rect.width(), rect.height()) / 3);
        const QPointF centre = QRectF(rect).center();
        const QPointF triangle[] = {{centre.x() - half / 2.0, centre.y() - half},
                                    {centre.x() + half / 2.0 + 1, centre.y()},
                                    {centre.x() - half / 2.0, centre.y() + half}};
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().color(QPalette::ButtonText));
        painter->drawPolygon(triangle, 3);
        painter->restore();
    }

    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QHeaderView::currentChanged(current, previous);
        viewport()->update();
    }
};

RowIndicatorHeader* rowIndicator(QTableView& grid) {
    if (auto* header = dynamic_cast<RowIndicatorHeader*>(grid.verticalHeader())) return header;
    const QHeaderView* old = grid.verticalHeader();
    auto* header = new RowIndicatorHeader(&grid);
    // Rows keep the fixed height the model needs to be read lazily.
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setDefaultSectionSize(old->defaultSectionSize());
    grid.setVerticalHeader(header);
    return header;
}

GridDelegate* gridDelegate(QTableView& grid) {
    if (auto* delegate = qobject_cast<GridDelegate*>(grid.itemDelegate())) return delegate;
    auto* delegate = new GridDelegate(&grid);
    grid.setItemDelegate(delegate);
    return delegate;
}

Qt::Alignment titleAlignment(int setting) {
    switch (setting) {
    case 1:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case 3:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignCenter;
    }
}

// The title row (and the indicator column beside the rows) in the title color, raised.
QString titleStyle(const QColor& background, const QColor& text) {
    return QStringLiteral("QHeaderView::section { background-color: %1; color: %2;"
                          " border: 1px solid %3; border-top-color: %4; border-left-color: %4;"
                          " padding: 0px 3px; }")
        .arg(background.name(), text.name(), background.darker(160).name(),
             background.lighter(140).name());
}

} // namespace

QFont FontFromSetting(const core::FontSpec& stored) {
    QFont font(core::fromTableText(stored.name));
    font.setPointSize(stored.size > 0 ? stored.size : 10);
    font.setBold(stored.bold);
    font.setItalic(stored.italic);
    font.setUnderline(stored.underline);
    font.setStrikeOut(stored.strikeout);
    return font;
}

int ColumnPixels(int characters, const QFont& font) {
    return characters * QFontMetrics(font).averageCharWidth() + kCellPadding;
}

void ApplyViewerOptions(QTableView& grid, InventoryModel& model, const core::Settings& settings,
                        GridPickLists pickLists) {
    // Options: tabbing between columns and the selection shown always; titles, indicator and
    // lines as the user chose; cells edited in place or whole rows selected.
    grid.setTabKeyNavigation(true);
    grid.setShowGrid(false); // the delegate draws each kind of line on its own
    GridDelegate* delegate = gridDelegate(grid);
    delegate->setPickLists(std::move(pickLists));
    delegate->setLines(settings.GridColumnLines, settings.GridRowLines);

    QHeaderView* titles = grid.horizontalHeader();
    titles->setVisible(settings.GridShowTitles);
    titles->setSectionResizeMode(QHeaderView::Fixed); // never resized with the mouse
    titles->setSectionsMovable(false);
    titles->setHighlightSections(false);
    RowIndicatorHeader* indicator = rowIndicator(grid);
    indicator->setVisible(settings.GridRowIndicator);

    model.setFieldEditing(settings.GridFieldEditing);
    if (model.fieldEditing()) {
        grid.setSelectionBehavior(QAbstractItemView::SelectItems);
        grid.setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    } else {
        grid.setSelectionBehavior(QAbstractItemView::SelectRows);
        grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
    }

    // Fonts and colors. The combo boxes are made in the grid and take its font and colors.
    const QFont cellFont = FontFromSetting(settings.GridFont);
    grid.setFont(cellFont);
    QPalette palette = grid.palette();
    palette.setColor(QPalette::Base, ui::colorFromSetting(settings.GridCellColor));
    palette.setColor(QPalette::Text, ui::colorFromSetting(settings.GridFont.color));
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    grid.setPalette(palette);
    indicator->setDefaultSectionSize(QFontMetrics(cellFont).height() + 6);

    const QColor titleColor = ui::colorFromSetting(settings.GridTitleColor);
    const QColor titleText = ui::colorFromSetting(settings.GridTitleFont.color);
    titles->setFont(FontFromSetting(settings.GridTitleFont));
    titles->setDefaultAlignment(titleAlignment(settings.GridTitleAlignment));
    titles->setStyleSheet(titleStyle(titleColor, titleText));
    indicator->setStyleSheet(titleStyle(titleColor, titleText));

    // Columns: titles, order and widths. Starting the views over loses the current cell, so
    // it is done only when the columns change, and the row is put back.
    std::vector<QString> names;
    for (int number = 1; number <= core::kFieldCount; ++number)
        names.push_back(core::fromTableText(settings.FieldDisplayNames[number]));
    model.setDisplayNames(std::move(names));
    std::vector<int> columns = ShownColumns(settings);
    if (columns != model.columns()) {
        const QModelIndex current = grid.currentIndex();
        const int currentField = current.isValid() ? model.catalogueNumber(current.column()) : 0;
        model.setColumns(std::move(columns));
        if (current.isValid() && !model.columns().empty()) {
            const int column = std::max(0, model.columnOf(currentField));
            grid.setCurrentIndex(model.index(current.row(), column));
        }
    }
    for (int column = 0; column < model.columnCount(); ++column) {
        const int width = settings.FieldWidths[model.catalogueNumber(column)];
        grid.setColumnWidth(
            column,
            ColumnPixels(width >= 1 && width <= kLongestWidth ? width : kFallbackWidth, cellFont));
    }
    grid.viewport()->update();
}

} // namespace viewing
