#include "viewing/InventoryModel.h"

#include "core/FieldCatalogue.h"
#include "dbase/Table.h"

#include <QMetaObject>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace viewing {
namespace {

constexpr int kWarrantyField = 14; // "Yes" or "No"; a check box is drawn for it later
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
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
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
