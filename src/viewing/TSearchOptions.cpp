#include "viewing/TSearchOptions.h"

#include "ui_TSearchOptions.h"

#include "core/Settings.h"
#include "ui/WindowAppearance.h"

TSearchOptions::TSearchOptions(const core::Settings& settings, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TSearchOptions>()), settings_(settings) {
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont design(QStringLiteral("Arial"));
    design.setPixelSize(12);
    setFont(design);
    QFont title = design;
    title.setBold(true);
    ui->FieldNameLabel->setFont(title);
    setFixedSize(size());
    ui->CancelButton->setAutoDefault(false);

    connect(ui->OkButton, &QPushButton::clicked, this, &TSearchOptions::OkButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &TSearchOptions::CancelButtonClick);
    // A double click chooses the entry, as a press of Ok after selecting it would.
    connect(ui->ListBox1, &QListWidget::itemDoubleClicked, this, &TSearchOptions::OkButtonClick);
}

TSearchOptions::~TSearchOptions() = default;

void TSearchOptions::setFieldName(const QString& name) {
    ui->FieldNameLabel->setText(name);
    ui->ListBox1->setAccessibleName(name);
}

void TSearchOptions::LoadList(const QStringList& entries, int selected) {
    ui->ListBox1->clear();
    ui->ListBox1->addItems(entries);
    if (selected >= 0 && selected < ui->ListBox1->count()) ui->ListBox1->setCurrentRow(selected);
}

int TSearchOptions::selectedIndex() const {
    const QListWidgetItem* item = ui->ListBox1->currentItem();
    return item && item->isSelected() ? ui->ListBox1->row(item) : -1;
}

QString TSearchOptions::selectedText() const {
    const int at = selectedIndex();
    return at < 0 ? QString() : ui->ListBox1->item(at)->text();
}

void TSearchOptions::OkButtonClick() {
    accept();
}

void TSearchOptions::CancelButtonClick() {
    reject();
}

void TSearchOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TSearchOptions::FormShow() {
    const ui::Appearance appearance = ui::Appearance::fromSettings(settings_);
    ui::ShowSequence(this, appearance);
    SetColors();
    ui->ListBox1->setFocus();
}

void TSearchOptions::SetColors() {
    const auto colors = ui::WindowColors::fromSettings(settings_.SearchWindowColors);
    ui::PaintControl(this, colors, ui::ColorPart::Window);
    ui::PaintControl(ui->ListBox1, colors, ui::ColorPart::List);
    ui::PaintControl(ui->FieldNameLabel, colors, ui::ColorPart::Label);
}
