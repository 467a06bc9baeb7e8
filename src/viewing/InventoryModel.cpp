#include "viewing/InventoryModel.h"

#include "core/FieldCatalogue.h"
#include "core/MessageService.h"
#include "dbase/Table.h"
#include "viewing/CellInput.h"

#include <QMetaObject>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace viewing {
namespace {

constexpr int kWarrantyField = 14; // "Yes" or "No", shown and edited as a check box
constexpr int kFillSteps = 4096;   // records walked per idle slice: a few milliseconds
constexpr int kFillRetryMs = 250;  // while the table is being edited or lent out

std::vector<int> catalogueOrder() {
    std::vector<int> numbers(core::kFieldCount);
    for (int i = 0; i < core::kFieldCount; ++i)
        numbers[static_cast<size_t>(i)] = i + 1;
    return numbers;
}

bool isNumber(int catalogueNumber) {
    const core::FieldKind kind = core::KindOfField(catalogueNumber);
    return kind == core::FieldKind::WholeNumber || kind == core::FieldKind::Money;
}

} // namespace

InventoryModel::InventoryModel(dbase::Table& table, std::vector<QString> displayNames,
                               QObject* parent)
    : QAbstractTableModel(parent), table_(table), rows_(std::make_unique<RowCache>(table)),
      columns_(catalogueOrder()) {
    setDisplayNames(std::move(displayNames));
    fillTimer_.setSingleShot(true);
    connect(&fillTimer_, &QTimer::timeout, this, &InventoryModel::fillSome);
    recount(false);
}

InventoryModel::~InventoryModel() = default;

// ---------------------------------------------------------------------------------------------
// The model

int InventoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_->count();
}

int InventoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant InventoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.model() != this || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return {};
    const int number = columns_[static_cast<size_t>(index.column())];
    if (role == Qt::TextAlignmentRole)
        return isNumber(number) ? QVariant(int{Qt::AlignRight | Qt::AlignVCenter}) : QVariant();
    if (role == Qt::CheckStateRole) {
        if (number != kWarrantyField) return {};
        const QVariant text = data(index, Qt::DisplayRole);
        if (!text.isValid()) return {};
        return text.toString() == QLatin1String("Yes") ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};

    const RowCache::Row* row = readRow(index.row());
    if (!row || row->recno == 0) return {};
    const int field = fieldOf_[static_cast<size_t>(number)];
    const QString text = field >= 0 && static_cast<size_t>(field) < row->texts.size()
                             ? row->texts[static_cast<size_t>(field)]
                             : QString();
    if (number == kWarrantyField)
        return text == QLatin1String("Yes") ? QStringLiteral("Yes") : QStringLiteral("No");
    return text;
}

QVariant InventoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= columnCount()) return {};
    return displayNames_[static_cast<size_t>(columns_[static_cast<size_t>(section)] - 1)];
}

Qt::ItemFlags InventoryModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (fieldEditing_ && table_.isOpen() && !table_.isReadOnly()) {
        // The warranty is ticked, never typed.
        flags |= catalogueNumber(index.column()) == kWarrantyField ? Qt::ItemIsUserCheckable
                                                                   : Qt::ItemIsEditable;
    }
    return flags;
}

bool InventoryModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.model() != this ||
        !(flags(index) & Qt::ItemIsEditable || flags(index) & Qt::ItemIsUserCheckable))
        return false;
    const int number = catalogueNumber(index.column());
    QString text;
    if (number == kWarrantyField) {
        if (role == Qt::CheckStateRole)
            text = value.toInt() == Qt::Checked ? QStringLiteral("Yes") : QStringLiteral("No");
        else if (role == Qt::EditRole)
            text = value.toString() == QLatin1String("Yes") ? QStringLiteral("Yes")
                                                            : QStringLiteral("No");
        else
            return false;
    } else {
        if (role != Qt::EditRole) return false;
        text = value.toString();
    }
    // Closing an editor hands its text back even when nothing was typed: nothing to store.
    if (text == data(index, Qt::EditRole).toString()) return true;

    const CellInput input = CheckCellInput(number, text, table_.dateFormat());
    if (!input.ok) {
        refuse(input.message);
        return false;
    }
    return storeField(index.row(), number, input.value);
}

void InventoryModel::setFieldEditing(bool on) {
    if (fieldEditing_ == on) return;
    fieldEditing_ = on;
    // Views ask for the flags again when they next look; the check boxes repaint now.
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

bool InventoryModel::storeField(int row, int catalogueNumber, const std::string& value) {
    const int field = fieldOf_[static_cast<size_t>(catalogueNumber)];
    if (field < 0) return false;
    try {
        if (!rows_->moveTo(row)) return false;
        table_.edit();
        try {
            table_.setText(field, value);
            table_.post();
        } catch (...) {
            // The record keeps what it held; the lock taken by edit() goes with the cancel.
            if (table_.state() == dbase::Table::State::Edit) table_.cancel();
            throw;
        }
    } catch (const dbase::Error& e) {
        refuse(QString::fromLocal8Bit(e.what()));
        return false;
    }
    try {
        refresh();
    } catch (const dbase::Error& e) {
        reportFailure(e.what());
    }
    emit recordStored();
    return true;
}

void InventoryModel::refuse(const QString& message) {
    if (!messages_) return;
    messages_->show({.caption = QStringLiteral("Error"),
                     .text = message,
                     .buttons = core::MessageButtons::Ok,
                     .icon = core::MessageIcon::Error});
}

// ---------------------------------------------------------------------------------------------
// Columns

void InventoryModel::setColumns(std::vector<int> catalogueNumbers) {
    std::array<bool, core::kFieldCount + 1> seen{};
    for (const int number : catalogueNumbers) {
        if (number < 1 || number > core::kFieldCount)
            throw std::invalid_argument("catalogue number out of range");
        if (seen[static_cast<size_t>(number)]) throw std::invalid_argument("field shown twice");
        seen[static_cast<size_t>(number)] = true;
    }
    // The rows hold every field, so only the views start over.
    beginResetModel();
    columns_ = std::move(catalogueNumbers);
    endResetModel();
}

int InventoryModel::catalogueNumber(int column) const {
    return column >= 0 && column < columnCount() ? columns_[static_cast<size_t>(column)] : 0;
}

int InventoryModel::columnOf(int catalogueNumber) const {
    const auto it = std::find(columns_.begin(), columns_.end(), catalogueNumber);
    return it != columns_.end() ? static_cast<int>(it - columns_.begin()) : -1;
}

void InventoryModel::setDisplayNames(std::vector<QString> displayNames) {
    if (displayNames.size() != static_cast<size_t>(core::kFieldCount))
        throw std::invalid_argument("a display name for each of the 22 fields is needed");
    displayNames_ = std::move(displayNames);
    if (columnCount() > 0) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

// The fields are found by name, so a table whose columns are in another order still shows
// each under its own title.
void InventoryModel::mapFields() {
    for (int number = 1; number <= core::kFieldCount; ++number) {
        fieldOf_[static_cast<size_t>(number)] =
            table_.isOpen() ? table_.findField(core::CatalogueName(number)) : -1;
    }
}

// ---------------------------------------------------------------------------------------------
// Keeping up with the table

void InventoryModel::reset() {
    recount(false);
}

void InventoryModel::refresh() {
    recount(true);
}

void InventoryModel::recordEdited(bool moved) {
    rows_->forgetRows(moved);
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    scheduleFill();
}

void InventoryModel::recount(bool keepViewsIfSameCount) {
    fillTimer_.stop();
    auto fresh = std::make_unique<RowCache>(table_, rows_->counters());
    fresh->setSuspended(suspended_);
    try {
        fresh->reset();
    } catch (...) {
        // Whatever was shown is stale now: show nothing rather than rows that are wrong.
        beginResetModel();
        rows_ = std::make_unique<RowCache>(table_, fresh->counters());
        rows_->setSuspended(suspended_);
        endResetModel();
        throw;
    }
    failureReported_ = false;
    if (keepViewsIfSameCount && fresh->count() == rows_->count()) {
        rows_ = std::move(fresh);
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    } else {
        beginResetModel();
        mapFields();
        rows_ = std::move(fresh);
        endResetModel();
    }
    scheduleFill();
}

int InventoryModel::rowOfCurrent() {
    return rows_->rowOfCurrent();
}

bool InventoryModel::moveTo(int row) {
    return rows_->moveTo(row);
}

void InventoryModel::setSuspended(bool suspended) {
    suspended_ = suspended;
    rows_->setSuspended(suspended);
    if (!suspended) scheduleFill();
}

void InventoryModel::setBackgroundFill(bool on) {
    backgroundFill_ = on;
    if (on)
        scheduleFill();
    else
        fillTimer_.stop();
}

void InventoryModel::scheduleFill() {
    if (backgroundFill_) fillTimer_.start(0);
}

void InventoryModel::fillSome() {
    if (!table_.isOpen() || rows_->allPlaced()) return;
    if (!rows_->canWalk()) {
        fillTimer_.start(kFillRetryMs);
        return;
    }
    bool more = false;
    try {
        more = rows_->fillAnchors(kFillSteps);
    } catch (const dbase::Error& e) {
        reportFailure(e.what());
    }
    if (more) fillTimer_.start(0);
}

// ---------------------------------------------------------------------------------------------
// Reading for the views

const RowCache::Row* InventoryModel::readRow(int row) const {
    try {
        return rows_->row(row);
    } catch (const dbase::Error& e) {
        reportFailure(e.what());
        return rows_->heldRow(row);
    }
}

void InventoryModel::reportFailure(const char* message) const {
    if (failureReported_) return;
    failureReported_ = true;
    auto* self = const_cast<InventoryModel*>(this);
    const QString text = QString::fromLocal8Bit(message);
    QMetaObject::invokeMethod(
        self, [self, text] { emit self->readFailed(text); }, Qt::QueuedConnection);
}

} // namespace viewing
