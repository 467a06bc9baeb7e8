#include "app/TMySortOrder.h"

#include "core/Cp1252.h"
#include "core/DatabaseFiles.h"
#include "core/FieldCatalogue.h"
#include "core/MessageService.h"
#include "core/Settings.h"
#include "ui/WindowAppearance.h"
#include "ui_TMySortOrder.h"

#include <QComboBox>
#include <QPushButton>

#include <algorithm>

namespace {

const char* const kSortTag = "NewIndex";

core::Message error(const QString& text) {
    return {.caption = QStringLiteral("Error"),
            .text = text,
            .buttons = core::MessageButtons::Ok,
            .icon = core::MessageIcon::Error};
}

} // namespace

TMySortOrder::TMySortOrder(SortOrderHost host, core::MessageService& messages, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TMySortOrder>()), host_(host), messages_(messages) {
    ui->setupUi(this);
    // A dialog border: the window keeps its designed size (zoomed), the user does not drag it.
    setFixedSize(size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont windowFont(QStringLiteral("Arial"));
    windowFont.setPixelSize(17);
    setFont(windowFont);

    connect(ui->OkButton, &QPushButton::clicked, this, &TMySortOrder::OkButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &TMySortOrder::CancelButtonClick);
    FormCreate();
}

TMySortOrder::~TMySortOrder() = default;

bool TMySortOrder::run(QWidget* parent, SortOrderHost host, core::MessageService& messages) {
    TMySortOrder window(host, messages, parent);
    return window.exec() == QDialog::Accepted;
}

QComboBox* TMySortOrder::comboBox(int level) const {
    switch (level) {
    case 1:
        return ui->ComboBox1;
    case 2:
        return ui->ComboBox2;
    case 3:
        return ui->ComboBox3;
    case 4:
        return ui->ComboBox4;
    default:
        return nullptr;
    }
}

core::SortLevels TMySortOrder::chosenLevels() const {
    core::SortLevels levels{};
    for (int level = 1; level <= 4; ++level)
        levels[static_cast<size_t>(level - 1)] = std::max(0, comboBox(level)->currentIndex());
    return levels;
}

// Item index = sort level: "<NONE>" is 0, the fields follow in catalogue order.
void TMySortOrder::FormCreate() {
    QStringList items{QStringLiteral("<NONE>")};
    for (int n = 1; n <= core::kFieldCount; ++n)
        items.push_back(core::fromTableText(host_.settings.FieldDisplayNames[n]));
    for (int level = 1; level <= 4; ++level) {
        comboBox(level)->clear();
        comboBox(level)->addItems(items);
    }
}

void TMySortOrder::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TMySortOrder::FormShow() {
    const core::Settings& settings = host_.settings;
    const ui::Appearance appearance = ui::Appearance::fromSettings(settings);
    ui::ShowSequence(this, appearance);
    for (int level = 1; level <= 4; ++level) {
        // A level the settings file got wrong shows as none, which is how the sort key treats it.
        const int value = settings.SortLevels[static_cast<size_t>(level - 1)];
        comboBox(level)->setCurrentIndex(value >= 1 && value <= core::kFieldCount ? value : 0);
    }
    SetColors();
}

void TMySortOrder::SetColors() {
    const auto colors = ui::WindowColors::fromSettings(host_.settings.ConfigureWindowColors);
    ui::PaintControl(this, colors, ui::ColorPart::Window);
    ui::PaintControls({ui->LabelSort1, ui->LabelSort2, ui->LabelSort3, ui->LabelSort4}, colors,
                      ui::ColorPart::Label);
}

void TMySortOrder::CancelButtonClick() {
    reject();
}

// Steps 4 to 7 of OK, with the table open for this program's sole use.
void TMySortOrder::replaceSortIndex() {
    OpenMainTableExclusive(host_.main);
    host_.settings.SortLevels = chosenLevels();
    host_.sortExpression = core::BuildSortString(host_.settings.SortLevels);
    dbase::Table& table = host_.main.table;
    table.selectIndex({});
    // No sort order: the old tag may stay in the index, it is simply not used. Otherwise the
    // tag is replaced in one write; an expression the engine refuses leaves the old tag whole.
    if (!host_.sortExpression.empty()) {
        table.addIndex(kSortTag, host_.sortExpression);
        table.selectIndex(kSortTag);
    }
    // The settings file takes the new order at once; a file that cannot be written keeps the
    // old one, which the program does not report.
    core::SaveSettings(host_.settings, host_.settingsPath);
}

void TMySortOrder::OkButtonClick() {
    MainTableHost& main = host_.main;
    main.closeMainTable();
    if (core::DBaseInUse(main.databasePath)) {
        // The table is open again before the box shows, so the grid behind it can still paint.
        main.openMainTableShared();
        main.SetViewerOptions();
        messages_.show(error(ExclusiveUseMessage(QStringLiteral("Creating a new sort order"))));
        return;
    }

    const core::SortLevels oldLevels = host_.settings.SortLevels;
    const std::string oldExpression = host_.sortExpression;
    try {
        replaceSortIndex();
    } catch (const dbase::Error&) {
        host_.settings.SortLevels = oldLevels;
        host_.sortExpression = oldExpression;
        main.closeMainTable();
        main.openMainTableShared();
        main.SetViewerOptions();
        messages_.show(error(
            QStringLiteral("Error in implementing sort order.  New sort order not implemented.")));
        return;
    }
    main.closeMainTable();
    main.openMainTableShared();
    main.SetViewerOptions();
    accept();
}
