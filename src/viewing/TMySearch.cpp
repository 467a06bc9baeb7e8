#include "viewing/TMySearch.h"

#include "ui_TMySearch.h"

#include "core/Cp1252.h"
#include "core/FieldCatalogue.h"
#include "core/MessageService.h"
#include "core/Settings.h"
#include "dbase/Table.h"
#include "ui/InputMask.h"
#include "viewing/TSearchOptions.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include <cmath>
#include <optional>

namespace {

using viewing::SearchOperator;

constexpr int kFields = core::kFieldCount;
constexpr int kNameColumn = 0;
constexpr int kButtonColumn = 1;
constexpr int kCriteriaColumn = 2;

// Designed sizes of the grid, zoomed with the window.
constexpr int kNameWidth = 200;
constexpr int kButtonWidth = 20;
constexpr int kCriteriaWidth = 378;
constexpr int kRowHeight = 18;

const QColor kButtonGray(128, 128, 128);

// The editor of a criterion cell: number and date rows go through the edit mask of the row's
// operator; a text row takes no more characters than its field holds.
class CriterionDelegate : public QStyledItemDelegate {
public:
    using MaskFor = std::function<std::optional<ui::InputMask>(int catalogueNumber)>;

    CriterionDelegate(MaskFor maskFor, QObject* parent)
        : QStyledItemDelegate(parent), maskFor_(std::move(maskFor)) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        auto* box = qobject_cast<QLineEdit*>(editor);
        if (!box) return editor;
        const int field = index.row() + 1;
        if (const std::optional<ui::InputMask> mask = maskFor_(field))
            mask->applyTo(*box);
        else
            box->setMaxLength(core::FieldWidth(field));
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* box = qobject_cast<QLineEdit*>(editor);
        const std::optional<ui::InputMask> mask = maskFor_(index.row() + 1);
        if (!box || !mask) {
            QStyledItemDelegate::setEditorData(editor, index);
            return;
        }
        box->setText(mask->layOut(index.data().toString()));
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* box = qobject_cast<QLineEdit*>(editor);
        const std::optional<ui::InputMask> mask = maskFor_(index.row() + 1);
        if (!box || !mask) {
            QStyledItemDelegate::setModelData(editor, model, index);
            return;
        }
        model->setData(index, mask->readBox(*box));
    }

private:
    MaskFor maskFor_;
};

QTableWidgetItem* fixedItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

core::Message errorMessage(const QString& text) {
    return core::Message{.caption = QStringLiteral("Error"),
                         .text = text,
                         .buttons = core::MessageButtons::Ok,
                         .icon = core::MessageIcon::Error};
}

// The hourglass while the table is read again through the filter.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

TMySearch::TMySearch(Services services, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TMySearch>()), services_(std::move(services)) {
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont design(QStringLiteral("Arial"));
    design.setPixelSize(12);
    setFont(design);
    setFixedSize(size());
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    setUpGrid();

    connect(ui->OkButton, &QPushButton::clicked, this, &TMySearch::OkButtonClick);
    connect(ui->ExitButton, &QPushButton::clicked, this, &TMySearch::ExitButtonClick);
    connect(ui->ClearButton, &QPushButton::clicked, this, &TMySearch::ClearButtonClick);
    connect(ui->MoreButton, &QPushButton::clicked, this, &TMySearch::MoreButtonClick);
    connect(ui->HelpButton, &QPushButton::clicked, this, &TMySearch::HelpButtonClick);
    // The view reports a click only when press and release fall on the same cell.
    connect(ui->SearchGrid, &QTableWidget::cellClicked, this, &TMySearch::SearchGridMouseUp);
    ui->SearchGrid->installEventFilter(this);

    FormCreate();
}

TMySearch::~TMySearch() = default;

void TMySearch::FormCreate() {
    ui::SaveDimensions(this, designed_, services_.messages);
    for (int field = 1; field <= kFields; ++field)
        operators_[field] = SearchOperator::Equal;
}

void TMySearch::setUpGrid() {
    QTableWidget* grid = ui->SearchGrid;
    grid->setColumnCount(3);
    grid->setRowCount(kFields);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionsClickable(false);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                          QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    grid->setHorizontalHeaderItem(kNameColumn, new QTableWidgetItem(QStringLiteral(" FIELD")));
    grid->setHorizontalHeaderItem(kButtonColumn, new QTableWidgetItem(QString()));
    grid->setHorizontalHeaderItem(kCriteriaColumn, new QTableWidgetItem(viewing::CriteriaTitle(1)));
    grid->setItemDelegateForColumn(
        kCriteriaColumn, new CriterionDelegate(
                             [this](int field) -> std::optional<ui::InputMask> {
                                 if (!viewing::IsNumberRow(field) && !viewing::IsDateRow(field))
                                     return std::nullopt;
                                 return ui::InputMask::fromEditMask(
                                     viewing::CriterionEditMask(field, operators_[field]),
                                     QLatin1Char(services_.table.dateFormat().separator));
                             },
                             grid));

    for (int row = 0; row < kFields; ++row) {
        const int field = row + 1;
        grid->setItem(row, kNameColumn, fixedItem(QString()));
        QTableWidgetItem* button = fixedItem(QString());
        if (viewing::RowHasOptions(field)) {
            button->setText(QStringLiteral("..."));
            button->setTextAlignment(Qt::AlignCenter);
            button->setBackground(kButtonGray);
        }
        grid->setItem(row, kButtonColumn, button);
        auto* criterion = new QTableWidgetItem(QString());
        criterion->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        grid->setItem(row, kCriteriaColumn, criterion);
    }
}

// ---------------------------------------------------------------------------------------------
// Showing and closing

bool TMySearch::run() {
    exec();
    return services_.settings.SearchActive;
}

void TMySearch::setVisible(bool visible) {
    if (visible && !isVisible()) FormShow();
    QDialog::setVisible(visible);
}

void TMySearch::FormShow() {
    const core::Settings& settings = services_.settings;
    const ui::Appearance look = ui::Appearance::fromSettings(settings);
    ui::ShowSequence(this, look, {.designed = &designed_, .moveUp = true});

    // Each showing starts a new query; the criteria in force stay until it starts.
    typed_.clear();
    QTableWidget* grid = ui->SearchGrid;
    const double zoom = ui::ZoomPercent(settings.ScaleFactor) / 100.0;
    const auto zoomed = [zoom](int pixels) { return static_cast<int>(std::lround(pixels * zoom)); };
    grid->setColumnWidth(kNameColumn, zoomed(kNameWidth));
    grid->setColumnWidth(kButtonColumn, zoomed(kButtonWidth));
    grid->setColumnWidth(kCriteriaColumn, zoomed(kCriteriaWidth));
    grid->verticalHeader()->setMinimumSectionSize(1);
    // Cut, not rounded: 22 rounded-up rows would outgrow the zoomed grid and hide the last.
    grid->verticalHeader()->setDefaultSectionSize(static_cast<int>(kRowHeight * zoom));
    grid->horizontalHeader()->setFont(grid->font());
    grid->horizontalHeader()->setFixedHeight(zoomed(kRowHeight + 2));
    for (int row = 0; row < kFields; ++row) {
        const int field = row + 1;
        const QString name = core::fromTableText(settings.FieldDisplayNames[field]);
        grid->item(row, kNameColumn)->setText(QLatin1Char(' ') + name);
        grid->item(row, kButtonColumn)
            ->setData(Qt::AccessibleTextRole, viewing::RowHasOptions(field)
                                                  ? QStringLiteral("Options for ") + name
                                                  : QString());
    }
    emptyCriteriaColumn();
    showLevel();
    ui->MoreButton->setEnabled(true);
    SetColors();
    grid->setCurrentCell(0, kCriteriaColumn);
    grid->scrollToTop();
    grid->setFocus();
}

void TMySearch::SetColors() {
    const auto colors = ui::WindowColors::fromSettings(services_.settings.SearchWindowColors);
    ui::PaintControl(this, colors, ui::ColorPart::Window);
    ui::PaintControl(ui->SearchGrid, colors, ui::ColorPart::List);
}

void TMySearch::reject() {
    // The close box and Escape leave as "E&xit" does: the search stays as it was.
    ui->MoreButton->setEnabled(true);
    QDialog::reject();
}

void TMySearch::ExitButtonClick() {
    reject();
}

void TMySearch::HelpButtonClick() {
    if (services_.showHelp) services_.showHelp(QStringLiteral("Search Window"));
}

// ---------------------------------------------------------------------------------------------
// The criteria

void TMySearch::emptyCriteriaColumn() {
    commitEdit();
    for (int row = 0; row < kFields; ++row)
        ui->SearchGrid->item(row, kCriteriaColumn)->setText(QString());
}

void TMySearch::showLevel() {
    ui->SearchGrid->horizontalHeaderItem(kCriteriaColumn)
        ->setText(viewing::CriteriaTitle(typed_.level()));
}

// A cell still being typed in counts as typed.
void TMySearch::commitEdit() {
    QTableWidget* grid = ui->SearchGrid;
    // The grid holds no widgets of its own, so a widget at the current cell is its editor.
    QWidget* editor = grid->indexWidget(grid->currentIndex());
    if (!editor) return;
    QAbstractItemDelegate* delegate = grid->itemDelegateForColumn(kCriteriaColumn);
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TMySearch::error(const QString& text) {
    services_.messages.show(errorMessage(text));
}

bool TMySearch::SaveFields() {
    commitEdit();
    viewing::SearchCells cells;
    for (int row = 0; row < kFields; ++row)
        cells[static_cast<size_t>(row)] = ui->SearchGrid->item(row, kCriteriaColumn)->text();
    const viewing::SearchPassResult pass =
        typed_.addRows(cells, operators_, services_.table.dateFormat());
    switch (pass.result) {
    case viewing::SearchPass::Taken:
        return true;
    case viewing::SearchPass::TooMany:
        error(viewing::TooManyCriteriaMessage());
        emptyCriteriaColumn();
        typed_.clear();
        ui->MoreButton->setEnabled(true);
        showLevel();
        ui->SearchGrid->setFocus();
        return false;
    case viewing::SearchPass::Invalid:
        error(viewing::InvalidCriteriaMessage());
        makeRowCurrent(pass.row, false);
        return false;
    case viewing::SearchPass::NothingEntered:
        break;
    }
    error(viewing::NoCriteriaMessage());
    ui->SearchGrid->setFocus();
    return false;
}

void TMySearch::ClearSearch() {
    emptyCriteriaColumn();
    typed_.clear();
    ui->MoreButton->setEnabled(true);
    showLevel();
    ui->SearchGrid->setFocus();
}

void TMySearch::ClearButtonClick() {
    ClearSearch();
}

void TMySearch::MoreButtonClick() {
    if (SaveFields()) {
        emptyCriteriaColumn();
        const int level = typed_.nextLevel();
        showLevel();
        if (level >= viewing::SearchCriteria::kMaxLevel) ui->MoreButton->setEnabled(false);
    }
    ui->SearchGrid->setFocus();
}

void TMySearch::OkButtonClick() {
    ui->MoreButton->setEnabled(true);
    if (!SaveFields()) return;
    inForce_ = typed_;
    if (Doit()) {
        accept();
        return;
    }
    services_.messages.show(core::Message{
        .caption = QStringLiteral("Notice"),
        .text = QStringLiteral("No valid matches found.  Search criteria will be cleared."),
        .buttons = core::MessageButtons::Ok,
        .icon = core::MessageIcon::Information});
    inForce_.clear();
    ClearSearch();
}

bool TMySearch::Doit() {
    const WaitCursor wait;
    core::Settings& settings = services_.settings;
    if (settings.SearchActive && services_.reopenTable) services_.reopenTable();
    if (services_.enableEndSearch)
        services_.enableEndSearch();
    else
        settings.SearchActive = true;
    services_.table.refresh();
    if (!services_.table.isEmpty()) return true;
    if (services_.endSearch)
        services_.endSearch();
    else
        settings.SearchActive = false;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Row options

void TMySearch::SearchGridMouseUp(int row, int column) {
    if (column == kButtonColumn && row >= 0 && row < kFields) openOptions(row + 1);
}

bool TMySearch::eventFilter(QObject* watched, QEvent* event) {
    // F4 opens the options of the current row, for those who work from the keyboard.
    if (watched == ui->SearchGrid && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F4 && ui->SearchGrid->currentRow() >= 0) {
        openOptions(ui->SearchGrid->currentRow() + 1);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TMySearch::openOptions(int field) {
    if (!viewing::RowHasOptions(field)) return;
    commitEdit();
    const bool operatorRow = viewing::IsNumberRow(field) || viewing::IsDateRow(field);
    TSearchOptions options(services_.settings, this);
    options.setFieldName(core::fromTableText(services_.settings.FieldDisplayNames[field]));
    if (operatorRow) {
        options.LoadList({QStringLiteral(" = "), QStringLiteral(" > "), QStringLiteral(" < "),
                          QStringLiteral(" > X < ")},
                         static_cast<int>(operators_[field]) - 1);
    } else {
        QStringList entries;
        if (services_.pickEntries)
            for (const std::string& entry : services_.pickEntries(field))
                entries.push_back(core::fromTableText(entry));
        options.LoadList(entries);
    }
    if (options.exec() != QDialog::Accepted) return;

    if (operatorRow) {
        const int chosen = options.selectedIndex();
        if (chosen < 0) return;
        operators_[field] = static_cast<SearchOperator>(chosen + 1);
        // The cell editor takes the new mask only when the row is entered again.
        makeRowCurrent(field, true);
        return;
    }
    if (const QString entry = options.selectedText(); !entry.isEmpty())
        ui->SearchGrid->item(field - 1, kCriteriaColumn)->setText(entry);
    makeRowCurrent(field, false);
}

void TMySearch::makeRowCurrent(int field, bool moveAwayFirst) {
    QTableWidget* grid = ui->SearchGrid;
    const int row = field - 1;
    if (moveAwayFirst && grid->currentRow() == row)
        grid->setCurrentCell(row == kFields - 1 ? row - 1 : row + 1, kCriteriaColumn);
    grid->setCurrentCell(row, kCriteriaColumn);
    grid->setFocus();
}
