#include "viewing/TViewConfig.h"

#include "ui_TViewConfig.h"

#include "core/Cp1252.h"
#include "core/DialogService.h"
#include "core/FieldCatalogue.h"
#include "core/MessageService.h"
#include "core/Settings.h"
#include "core/TextFormat.h"
#include "ui/WindowAppearance.h"
#include "viewing/ViewerOptions.h"
#include "viewing/ViewerSettings.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kFields = core::kFieldCount;
constexpr int kNamesPage = 5;
constexpr int kShowPage = 2;
constexpr int kCatalogueRole = Qt::UserRole; // the order grid's rows carry their field

// Designed sizes of the field grids, zoomed with the window.
constexpr int kFieldColumn = 200;
constexpr int kShortColumn = 100; // "DISPLAY IT", "WIDTH"
constexpr int kNameColumn = 200;  // "NAME TO USE"
constexpr int kRowHeight = 22;
// Beside the columns: room for the frame and the scroll bar.
constexpr int kGridMargin = 20;

QString fromBytes(const std::string& bytes) {
    return core::fromTableText(bytes);
}

const core::Message& cannotStore() {
    static const core::Message message{
        .caption = QStringLiteral("Error"),
        .text = QStringLiteral("The text contains characters that cannot be stored."),
        .buttons = core::MessageButtons::Ok,
        .icon = core::MessageIcon::Error,
    };
    return message;
}

// A display name is typed into the grid no longer than it can be kept.
class NameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(static_cast<int>(core::kDisplayNameLength));
        return editor;
    }
};

QTableWidgetItem* fixedItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QTableWidgetItem* editableItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    return item;
}

QString cellText(const QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

TViewConfig::TViewConfig(core::Settings& settings, core::MessageService& messages,
                         core::DialogService& dialogs, HelpFunction help, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TViewConfig>()), settings_(settings),
      messages_(messages), dialogs_(dialogs), help_(std::move(help)) {
    ui->setupUi(this);
    // A dialog border: the window keeps its designed size (zoomed), the user does not drag it.
    setFixedSize(size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont windowFont(QStringLiteral("Arial"));
    windowFont.setPixelSize(14);
    setFont(windowFont);

    setUpGrid(ui->FieldsToDisplay, kFieldColumn, kShortColumn);
    setUpGrid(ui->FieldWidthGrid, kFieldColumn, kShortColumn);
    setUpGrid(ui->FieldNameGrid, kFieldColumn, kNameColumn);
    setUpGrid(ui->FieldOrderGrid, kFieldColumn, 0);
    ui->FieldsToDisplay->setHorizontalHeaderLabels(
        {QStringLiteral("FIELD"), QStringLiteral("DISPLAY IT")});
    ui->FieldWidthGrid->setHorizontalHeaderLabels(
        {QStringLiteral("FIELD"), QStringLiteral("WIDTH")});
    ui->FieldNameGrid->setHorizontalHeaderLabels(
        {QStringLiteral("FIELD"), QStringLiteral("NAME TO USE")});
    ui->FieldOrderGrid->horizontalHeader()->hide();
    ui->FieldNameGrid->setItemDelegateForColumn(1, new NameDelegate(ui->FieldNameGrid));
    for (QTableWidget* grid : {ui->FieldsToDisplay, ui->FieldOrderGrid})
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (QTableWidget* grid : {ui->FieldWidthGrid, ui->FieldNameGrid})
        grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);

    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    ui->TitleShape->setAutoFillBackground(true);
    ui->CellColorShape->setAutoFillBackground(true);

    connect(ui->ExitButton, &QPushButton::clicked, this, &TViewConfig::ExitButtonClick);
    connect(ui->HelpButton, &QPushButton::clicked, this, &TViewConfig::HelpButtonClick);
    connect(ui->ShowGridTitle, &QCheckBox::clicked, this, &TViewConfig::ShowGridTitleClick);
    connect(ui->ColumnLines, &QCheckBox::clicked, this, &TViewConfig::ColumnLinesClick);
    connect(ui->RowLines, &QCheckBox::clicked, this, &TViewConfig::RowLinesClick);
    connect(ui->RowIndicator, &QCheckBox::clicked, this, &TViewConfig::RowIndicatorClick);
    connect(ui->FieldEditing, &QCheckBox::clicked, this, &TViewConfig::FieldEditingClick);
    connect(ui->TitleLeft, &QRadioButton::clicked, this, &TViewConfig::TitleLeftClick);
    connect(ui->TitleCenter, &QRadioButton::clicked, this, &TViewConfig::TitleCenterClick);
    connect(ui->TitleRight, &QRadioButton::clicked, this, &TViewConfig::TitleRightClick);
    connect(ui->Button1, &QPushButton::clicked, this, &TViewConfig::Button1Click);
    connect(ui->NewColorBUtton, &QPushButton::clicked, this, &TViewConfig::NewColorBUttonClick);
    connect(ui->TitleFontButton, &QPushButton::clicked, this, &TViewConfig::TitleFontButtonClick);
    connect(ui->NewFontButton, &QPushButton::clicked, this, &TViewConfig::NewFontButtonClick);
    connect(ui->FieldsToDisplay, &QTableWidget::cellDoubleClicked, this,
            &TViewConfig::FieldsToDisplayDblClick);
    connect(ui->OrderUp, &QPushButton::clicked, this, &TViewConfig::OrderUpClick);
    connect(ui->OrderDown, &QPushButton::clicked, this, &TViewConfig::OrderDownClick);
    connect(ui->OrderDefaults, &QPushButton::clicked, this, &TViewConfig::OrderDefaultsClick);

    FormCreate();
}

TViewConfig::~TViewConfig() = default;

void TViewConfig::run(QWidget* parent, core::Settings& settings, core::MessageService& messages,
                      core::DialogService& dialogs, HelpFunction help) {
    TViewConfig window(settings, messages, dialogs, std::move(help), parent);
    window.exec();
}

const QString& TViewConfig::helpKeyword(int page) {
    static const std::array<QString, 6> keywords = {
        QStringLiteral("Viewer Configuration Title"), QStringLiteral("Viewer Configuration Look"),
        QStringLiteral("Viewer Configuration Show"),  QStringLiteral("Viewer Configuration Widths"),
        QStringLiteral("Viewer Configuration Order"), QStringLiteral("Viewer Configuration Names"),
    };
    return keywords[static_cast<size_t>(std::clamp(page, 0, 5))];
}

// ---------------------------------------------------------------------------------------------
// Creating and showing

void TViewConfig::setUpGrid(QTableWidget* grid, int firstWidth, int secondWidth) {
    grid->setColumnCount(secondWidth > 0 ? 2 : 1);
    grid->setRowCount(kFields);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionsClickable(false);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    grid->setColumnWidth(0, firstWidth);
    if (secondWidth > 0) grid->setColumnWidth(1, secondWidth);
}

void TViewConfig::FormCreate() {
    ui->ShowGridTitle->setChecked(settings_.GridShowTitles);
    ui->ColumnLines->setChecked(settings_.GridColumnLines);
    ui->RowLines->setChecked(settings_.GridRowLines);
    ui->RowIndicator->setChecked(settings_.GridRowIndicator);
    ui->FieldEditing->setChecked(settings_.GridFieldEditing);
}

void TViewConfig::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TViewConfig::FormShow() {
    const ui::Appearance appearance = ui::Appearance::fromSettings(settings_);
    ui::ShowSequence(this, appearance, {.moveUp = true});

    // The field grids: columns and rows at the zoom, the grid as wide as its columns and the
    // margin.
    const double zoom = ui::ZoomPercent(settings_.ScaleFactor) / 100.0;
    const auto zoomed = [zoom](int pixels) { return static_cast<int>(std::lround(pixels * zoom)); };
    for (QTableWidget* grid :
         {ui->FieldsToDisplay, ui->FieldWidthGrid, ui->FieldNameGrid, ui->FieldOrderGrid}) {
        const int second = grid == ui->FieldNameGrid    ? kNameColumn
                           : grid == ui->FieldOrderGrid ? 0
                                                        : kShortColumn;
        grid->setColumnWidth(0, zoomed(kFieldColumn));
        if (second > 0) grid->setColumnWidth(1, zoomed(second));
        grid->verticalHeader()->setDefaultSectionSize(zoomed(kRowHeight));
        // The title row has a font of its own from the platform: it takes the grid's.
        grid->horizontalHeader()->setFont(grid->font());
        grid->resize(zoomed(kFieldColumn) + zoomed(second) + kGridMargin, grid->height());
    }

    showFonts();
    QPalette title = ui->TitleShape->palette();
    title.setColor(QPalette::Window, ui::colorFromSetting(settings_.GridTitleColor));
    ui->TitleShape->setPalette(title);
    QPalette cell = ui->CellColorShape->palette();
    cell.setColor(QPalette::Window, ui::colorFromSetting(settings_.GridCellColor));
    ui->CellColorShape->setPalette(cell);
    ui->TitleLeft->setChecked(settings_.GridTitleAlignment == 1);
    ui->TitleCenter->setChecked(settings_.GridTitleAlignment == 2);
    ui->TitleRight->setChecked(settings_.GridTitleAlignment == 3);

    fillGrids();
    SetColors();
    ui->MyTabbedPage->setCurrentIndex(kShowPage);
}

void TViewConfig::showFonts() {
    const auto describe = [](const core::FontSpec& font) {
        return QString::fromStdString(core::FormatThousands(font.size, 1, 0)) +
               QStringLiteral("pt ") + fromBytes(font.name);
    };
    ui->TitleFont->setText(describe(settings_.GridTitleFont));
    ui->GridFont->setText(describe(settings_.GridFont));
}

void TViewConfig::fillGrids() {
    for (int number = 1; number <= kFields; ++number) {
        const int row = number - 1;
        const QString name = fromBytes(settings_.FieldDisplayNames[number]);
        ui->FieldWidthGrid->setItem(row, 0, fixedItem(name));
        ui->FieldWidthGrid->setItem(row, 1,
                                    editableItem(QString::fromStdString(
                                        core::FormatFixed(settings_.FieldWidths[number], 1, 0))));
        ui->FieldsToDisplay->setItem(row, 0, fixedItem(name));
        ui->FieldsToDisplay->setItem(row, 1,
                                     fixedItem(settings_.DisplayFields[number]
                                                   ? QStringLiteral("Yes")
                                                   : QStringLiteral("No")));
        ui->FieldNameGrid->setItem(row, 0,
                                   fixedItem(QString::fromLatin1(core::CatalogueName(number))));
        ui->FieldNameGrid->setItem(row, 1, editableItem(name));
    }
    fillOrder(viewing::FieldsInOrder(settings_));
}

// Each row shows a field's display name as it was when the window opened, and knows which
// field it is, so that renaming a field while moving it cannot lose its place.
void TViewConfig::fillOrder(const std::vector<int>& numbers) {
    for (size_t row = 0; row < numbers.size(); ++row) {
        const int number = numbers[row];
        QTableWidgetItem* item = fixedItem(fromBytes(settings_.FieldDisplayNames[number]));
        item->setData(kCatalogueRole, number);
        ui->FieldOrderGrid->setItem(static_cast<int>(row), 0, item);
    }
}

void TViewConfig::SetColors() {
    const auto colors = ui::WindowColors::fromSettings(settings_.ConfigureWindowColors);
    ui::PaintControl(this, colors, ui::ColorPart::Window);
    for (int page = 0; page < ui->MyTabbedPage->count(); ++page)
        ui::PaintControl(ui->MyTabbedPage->widget(page), colors, ui::ColorPart::Window);
    ui::PaintControls({ui->BackgroundLabel, ui->TitleFontLabel, ui->AlignmentLabel,
                       ui->GridOptionsLabel, ui->CellColorLabel, ui->CellFontLabel, ui->FieldLabel,
                       ui->OrderingLabel},
                      colors, ui::ColorPart::Headline);
    ui::PaintControl(ui->ShowNote, colors, ui::ColorPart::Label);
    ui::PaintControls(
        {ui->ShowGridTitle, ui->ColumnLines, ui->RowLines, ui->RowIndicator, ui->FieldEditing},
        colors, ui::ColorPart::Check);
    ui::PaintControls({ui->TitleLeft, ui->TitleCenter, ui->TitleRight}, colors,
                      ui::ColorPart::Radio);
    ui::PaintControls({ui->TitleFont, ui->GridFont}, colors, ui::ColorPart::Edit);
    ui::PaintControls(
        {ui->FieldsToDisplay, ui->FieldWidthGrid, ui->FieldOrderGrid, ui->FieldNameGrid}, colors,
        ui::ColorPart::List);
}

// ---------------------------------------------------------------------------------------------
// Changes that take effect at once

void TViewConfig::ShowGridTitleClick() {
    settings_.GridShowTitles = ui->ShowGridTitle->isChecked();
}

void TViewConfig::ColumnLinesClick() {
    settings_.GridColumnLines = ui->ColumnLines->isChecked();
}

void TViewConfig::RowLinesClick() {
    settings_.GridRowLines = ui->RowLines->isChecked();
}

void TViewConfig::RowIndicatorClick() {
    settings_.GridRowIndicator = ui->RowIndicator->isChecked();
}

void TViewConfig::FieldEditingClick() {
    settings_.GridFieldEditing = ui->FieldEditing->isChecked();
}

void TViewConfig::TitleLeftClick() {
    settings_.GridTitleAlignment = 1;
}

void TViewConfig::TitleCenterClick() {
    settings_.GridTitleAlignment = 2;
}

void TViewConfig::TitleRightClick() {
    settings_.GridTitleAlignment = 3;
}

void TViewConfig::Button1Click() {
    chooseColor(settings_.GridTitleColor, ui->TitleShape);
}

void TViewConfig::NewColorBUttonClick() {
    chooseColor(settings_.GridCellColor, ui->CellColorShape);
}

void TViewConfig::chooseColor(std::int32_t& setting, QFrame* shape) {
    const auto chosen = dialogs_.getColor({.title = {}, .color = ui::colorFromSetting(setting)});
    if (!chosen) return;
    setting = ui::settingFromColor(*chosen);
    QPalette palette = shape->palette();
    palette.setColor(QPalette::Window, ui::colorFromSetting(setting));
    shape->setPalette(palette);
}

void TViewConfig::TitleFontButtonClick() {
    chooseFont(settings_.GridTitleFont);
}

void TViewConfig::NewFontButtonClick() {
    chooseFont(settings_.GridFont);
}

void TViewConfig::chooseFont(core::FontSpec& setting) {
    const auto chosen = dialogs_.getFont({.title = {},
                                          .font = viewing::FontFromSetting(setting),
                                          .color = ui::colorFromSetting(setting.color),
                                          .showEffects = true});
    if (!chosen) return;
    const QFont& font = chosen->font;
    // A family whose name the settings file cannot hold keeps the font it replaces.
    if (const auto name = core::toTableText(font.family())) setting.name = *name;
    if (font.pointSize() > 0) setting.size = font.pointSize();
    setting.color = ui::settingFromColor(chosen->color);
    setting.bold = font.bold();
    setting.italic = font.italic();
    setting.underline = font.underline();
    setting.strikeout = font.strikeOut();
    showFonts();
}

void TViewConfig::FieldsToDisplayDblClick() {
    QTableWidget* grid = ui->FieldsToDisplay;
    const int row = grid->currentRow();
    if (grid->currentColumn() != 1 || row < 0 || row >= kFields) return;
    QTableWidgetItem* item = grid->item(row, 1);
    if (!item) return;
    item->setText(item->text() != QLatin1String("Yes") ? QStringLiteral("Yes")
                                                       : QStringLiteral("No"));
}

void TViewConfig::swapOrderRows(int row, int other) {
    QTableWidget* grid = ui->FieldOrderGrid;
    QTableWidgetItem* first = grid->takeItem(row, 0);
    QTableWidgetItem* second = grid->takeItem(other, 0);
    grid->setItem(row, 0, second);
    grid->setItem(other, 0, first);
    grid->setCurrentCell(other, 0);
}

void TViewConfig::OrderUpClick() {
    const int row = ui->FieldOrderGrid->currentRow();
    if (row > 0) swapOrderRows(row, row - 1);
}

void TViewConfig::OrderDownClick() {
    const int row = ui->FieldOrderGrid->currentRow();
    if (row >= 0 && row < kFields - 1) swapOrderRows(row, row + 1);
}

void TViewConfig::OrderDefaultsClick() {
    const core::MessageButton answer = messages_.show(
        {.caption = QStringLiteral("Re-Order"),
         .text = QStringLiteral(
             "This will set the order of fields to the program defaults.  Continue?"),
         .buttons = core::MessageButtons::YesNo,
         .icon = core::MessageIcon::Question});
    if (answer != core::MessageButton::Yes) return;
    std::vector<int> catalogueOrder(kFields);
    for (int i = 0; i < kFields; ++i)
        catalogueOrder[static_cast<size_t>(i)] = i + 1;
    fillOrder(catalogueOrder);
}

void TViewConfig::HelpButtonClick() {
    if (help_) help_(helpKeyword(ui->MyTabbedPage->currentIndex()));
}

// ---------------------------------------------------------------------------------------------
// Closing

void TViewConfig::ExitButtonClick() {
    close();
}

void TViewConfig::reject() {
    close();
}

void TViewConfig::closeEvent(QCloseEvent* event) {
    if (!stored_) {
        if (!FormCloseQuery()) {
            event->ignore();
            return;
        }
        FormClose();
        stored_ = true;
    }
    event->accept();
    // Not QDialog::closeEvent: that would reject(), which comes back here.
    done(QDialog::Accepted);
}

// A width or name still being typed counts as typed.
void TViewConfig::commitOpenEditors() {
    for (QTableWidget* grid : {ui->FieldWidthGrid, ui->FieldNameGrid}) {
        const QModelIndex current = grid->currentIndex();
        if (!current.isValid()) continue;
        if (QWidget* editor = grid->indexWidget(current)) {
            QAbstractItemDelegate* delegate = grid->itemDelegateForIndex(current);
            emit delegate->commitData(editor);
            emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
}

bool TViewConfig::FormCloseQuery() {
    commitOpenEditors();
    std::array<QString, kFields> names;
    for (int row = 0; row < kFields; ++row)
        names[static_cast<size_t>(row)] = cellText(ui->FieldNameGrid, row, 1);
    const auto refuse = [this](int row) {
        ui->MyTabbedPage->setCurrentIndex(kNamesPage);
        ui->FieldNameGrid->setFocus();
        if (row >= 0) ui->FieldNameGrid->setCurrentCell(row, 1);
        return false;
    };
    if (const auto duplicate = viewing::FirstDuplicateName(names)) {
        messages_.show({.caption = QStringLiteral("Error"),
                        .text = QStringLiteral("Two field names have the same name \"") +
                                *duplicate + QStringLiteral("\".  Please change one."),
                        .buttons = core::MessageButtons::Ok,
                        .icon = core::MessageIcon::Error});
        return refuse(-1);
    }
    for (int row = 0; row < kFields; ++row) {
        if (!core::toTableText(names[static_cast<size_t>(row)])) {
            messages_.show(cannotStore());
            return refuse(row);
        }
    }
    return true;
}

void TViewConfig::FormClose() {
    for (int number = 1; number <= kFields; ++number) {
        const int row = number - 1;
        const QString name = cellText(ui->FieldNameGrid, row, 1)
                                 .left(static_cast<qsizetype>(core::kDisplayNameLength));
        settings_.FieldDisplayNames[number] = core::toTableText(name).value_or(std::string());

        QTableWidgetItem* widthCell = ui->FieldWidthGrid->item(row, 1);
        const auto typed = core::toTableText(widthCell ? widthCell->text() : QString());
        const std::optional<int> width = viewing::WidthFromText(typed.value_or(std::string()));
        settings_.FieldWidths[number] = width.value_or(viewing::kFallbackWidth);
        if (!width && widthCell) widthCell->setText(QString::number(viewing::kFallbackWidth));

        settings_.DisplayFields[number] =
            cellText(ui->FieldsToDisplay, row, 1) == QLatin1String("Yes");
    }
    for (int row = 0; row < kFields; ++row) {
        const QTableWidgetItem* item = ui->FieldOrderGrid->item(row, 0);
        const int number = item ? item->data(kCatalogueRole).toInt() : 0;
        if (number >= 1 && number <= kFields) settings_.FieldOrder[number] = row + 1;
    }
}
