#include "viewing/GridDelegate.h"

#include "core/Cp1252.h"
#include "core/FieldCatalogue.h"
#include "core/TextFormat.h"
#include "viewing/InventoryModel.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

namespace viewing {
namespace {

constexpr int kWarranty = 14;
// What a box may hold beyond the text fields, whose width is their limit: a date in its
// longest format, and the numbers as long as the edit window lets them be typed.
constexpr int kDateLength = 10;
constexpr int kMoneyLength = 20;
constexpr int kQuantityLength = 10;

const QColor kLineColor(128, 128, 128);

int catalogueNumberOf(const QModelIndex& index) {
    const auto* model = qobject_cast<const InventoryModel*>(index.model());
    return model ? model->catalogueNumber(index.column()) : 0;
}

int longestInput(int catalogueNumber) {
    switch (core::KindOfField(catalogueNumber)) {
    case core::FieldKind::Text:
        return core::FieldWidth(catalogueNumber);
    case core::FieldKind::WholeNumber:
        return kQuantityLength;
    case core::FieldKind::Money:
        return kMoneyLength;
    case core::FieldKind::Date:
        return kDateLength;
    }
    return kMoneyLength;
}

// The names the main window's combo boxes have always had, for anyone looking at the widgets.
QString comboName(int catalogueNumber) {
    switch (catalogueNumber) {
    case 2:
        return QStringLiteral("MyComboBrand");
    case 5:
        return QStringLiteral("MyComboLocation");
    case 7:
        return QStringLiteral("MyComboBought");
    case 12:
        return QStringLiteral("MyComboCategory");
    case 17:
        return QStringLiteral("MyComboOwner");
    default:
        return {};
    }
}

bool isCheckable(const QAbstractItemModel* model, const QModelIndex& index) {
    const Qt::ItemFlags flags = model->flags(index);
    return (flags & Qt::ItemIsUserCheckable) && (flags & Qt::ItemIsEnabled);
}

} // namespace

GridDelegate::GridDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void GridDelegate::setLines(bool betweenColumns, bool betweenRows) {
    columnLines_ = betweenColumns;
    rowLines_ = betweenRows;
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const int number = catalogueNumberOf(index);
    if (number == 0 || number == kWarranty) return nullptr;
    if (core::HasPickList(number)) {
        auto* combo = new QComboBox(parent);
        combo->setObjectName(comboName(number));
        combo->setEditable(true);
        // A typed value is stored as typed; the list grows only through offer().
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Values that differ only in case are different entries, so completion must not
        // change the case of what is typed.
        if (QCompleter* completer = combo->completer())
            completer->setCaseSensitivity(Qt::CaseSensitive);
        if (lists_.entries)
            for (const std::string& entry : lists_.entries(number))
                combo->addItem(core::fromTableText(entry));
        combo->lineEdit()->setMaxLength(core::FieldWidth(number));
        return combo;
    }
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setMaxLength(longestInput(number));
    return editor;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (!combo) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QString text = index.data(Qt::EditRole).toString();
    const int listed = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (listed >= 0)
        combo->setCurrentIndex(listed);
    else
        combo->setEditText(text);
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (!combo) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    const QString text = combo->currentText();
    if (!model->setData(index, text, Qt::EditRole) || !lists_.offer) return;
    if (const auto bytes = core::toTableText(text)) {
        const std::string value = core::TrimBlanks(*bytes);
        if (!value.empty()) lists_.offer(catalogueNumberOf(index), value);
    }
}

QRect GridDelegate::checkBoxRect(const QStyleOptionViewItem& option) {
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int width = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget);
    const int height = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget);
    return QStyle::alignedRect(option.direction, Qt::AlignCenter, QSize(width, height),
                               option.rect);
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    if (catalogueNumberOf(index) == kWarranty) {
        // Only the box: the cell's background and selection as any cell, no text.
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QVariant state = index.data(Qt::CheckStateRole);
        cell.text.clear();
        cell.features &=
            ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasCheckIndicator);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
        if (state.isValid()) {
            QStyleOptionViewItem box = option;
            box.rect = checkBoxRect(option);
            box.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_HasFocus);
            box.state |= state.toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
            style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
        }
    } else {
        QStyledItemDelegate::paint(painter, option, index);
    }
    if (!columnLines_ && !rowLines_) return;
    painter->save();
    painter->setPen(kLineColor);
    const QRect& r = option.rect;
    if (columnLines_) painter->drawLine(r.topRight(), r.bottomRight());
    if (rowLines_) painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->restore();
}

bool GridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                               const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (catalogueNumberOf(index) != kWarranty) return false;
    if (!isCheckable(model, index)) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton ||
            !checkBoxRect(option).contains(mouse->position().toPoint()))
            return false;
        // The press and a double click are taken, so that only the release ticks the box.
        if (event->type() != QEvent::MouseButtonRelease) return true;
        break;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Space && key != Qt::Key_Select) return false;
        break;
    }
    default:
        return false;
    }
    const bool ticked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    return model->setData(index, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

} // namespace viewing
