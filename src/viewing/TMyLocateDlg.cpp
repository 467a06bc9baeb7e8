#include "viewing/TMyLocateDlg.h"

#include "ui_TMyLocateDlg.h"

#include "core/Settings.h"
#include "ui/WindowAppearance.h"
#include "viewing/TMyLocateDialog.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace {

constexpr int kColumnRole = Qt::UserRole; // each entry carries its field's column name

} // namespace

TMyLocateDlg::TMyLocateDlg(TMyLocateDialog& locate, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TMyLocateDlg>()), locate_(locate) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    ui->PartialMatchStartBtn->setChecked(true);
    ui->FieldNameComboBox->installEventFilter(this);
    connect(ui->FirstButton, &QPushButton::clicked, this, &TMyLocateDlg::FindFirst);
    connect(ui->NextButton, &QPushButton::clicked, this, &TMyLocateDlg::FindNextBtnClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->FieldNameComboBox, &QComboBox::activated, this,
            &TMyLocateDlg::FieldNameComboBoxChange);
    // Only the button asked for is pressed by Enter; the others are pressed when focused.
    for (QPushButton* button : {ui->FirstButton, ui->NextButton, ui->BitBtn1})
        button->setAutoDefault(false);
    ui->SearchValue->setFocus();
}

TMyLocateDlg::~TMyLocateDlg() = default;

void TMyLocateDlg::fillFields() {
    ui->FieldNameComboBox->clear();
    for (const TMyLocateDialog::FieldTitle& field : locate_.listedFields())
        ui->FieldNameComboBox->addItem(field.title, QString::fromLatin1(field.column));
    ui->FieldNameComboBox->setCurrentIndex(-1);
}

void TMyLocateDlg::setDefaultButton(bool next) {
    nextIsDefault_ = next;
    ui->NextButton->setDefault(next);
    ui->FirstButton->setDefault(!next);
}

bool TMyLocateDlg::selectField(const std::string& column) {
    const int entry = ui->FieldNameComboBox->findData(QString::fromLatin1(column), kColumnRole,
                                                      Qt::MatchFixedString);
    if (entry < 0) return false;
    ui->FieldNameComboBox->setCurrentIndex(entry);
    return true;
}

void TMyLocateDlg::setOptions(viewing::MatchType matchType, bool caseSensitive) {
    ui->CaseSensitiveCheckBox->setChecked(caseSensitive);
    switch (matchType) {
    case viewing::MatchType::ExactMatch:
        ui->ExactMatchBtn->setChecked(true);
        break;
    case viewing::MatchType::PartialMatchStart:
        ui->PartialMatchStartBtn->setChecked(true);
        break;
    case viewing::MatchType::PartialMatchAny:
        ui->PartialMatchAnyBtn->setChecked(true);
        break;
    }
}

void TMyLocateDlg::setValue(const QString& value) {
    ui->SearchValue->setText(value);
}

std::string TMyLocateDlg::selectedColumn() const {
    const int entry = ui->FieldNameComboBox->currentIndex();
    if (entry < 0) return {};
    return ui->FieldNameComboBox->itemData(entry, kColumnRole).toString().toStdString();
}

QString TMyLocateDlg::value() const {
    return ui->SearchValue->text();
}

viewing::MatchType TMyLocateDlg::matchType() const {
    if (ui->ExactMatchBtn->isChecked()) return viewing::MatchType::ExactMatch;
    if (ui->PartialMatchAnyBtn->isChecked()) return viewing::MatchType::PartialMatchAny;
    return viewing::MatchType::PartialMatchStart;
}

bool TMyLocateDlg::caseSensitive() const {
    return ui->CaseSensitiveCheckBox->isChecked();
}

void TMyLocateDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TMyLocateDlg::FormShow() {
    const core::Settings& settings = locate_.settings();
    const ui::Appearance appearance = ui::Appearance::fromSettings(settings);
    ui::ShowSequence(this, appearance);
    SetColors();
    ui->SearchValue->setFocus();
}

void TMyLocateDlg::SetColors() {
    const auto colors = ui::WindowColors::fromSettings(locate_.settings().ConfigureWindowColors);
    ui::PaintControl(this, colors, ui::ColorPart::Window);
    ui::PaintControls({ui->GroupBox1, ui->GroupBox2, ui->GroupBox3}, colors, ui::ColorPart::Label);
    ui::PaintControls({ui->ExactMatchBtn, ui->PartialMatchStartBtn, ui->PartialMatchAnyBtn}, colors,
                      ui::ColorPart::Radio);
    ui::PaintControl(ui->CaseSensitiveCheckBox, colors, ui::ColorPart::Check);
    ui::PaintControl(ui->SearchValue, colors, ui::ColorPart::Edit);
    ui::PaintControl(ui->FieldNameComboBox, colors, ui::ColorPart::Combo);
}

void TMyLocateDlg::locate(viewing::LocateFrom from) {
    const bool found = locate_.find(from, selectedColumn(), value(), matchType(), caseSensitive());
    if (found) {
        accept();
        return;
    }
    locate_.tell(core::MessageIcon::Information, from == viewing::LocateFrom::Beginning
                                                     ? QStringLiteral("No matches found")
                                                     : QStringLiteral("No more matches found"));
}

void TMyLocateDlg::FindFirst() {
    locate(viewing::LocateFrom::Beginning);
}

void TMyLocateDlg::FindNextBtnClick() {
    locate(viewing::LocateFrom::NextRecord);
}

void TMyLocateDlg::FieldNameComboBoxChange() {
    ui->SearchValue->clear();
    if (!ui->FieldNameComboBox->view()->isVisible()) ui->SearchValue->setFocus();
}

void TMyLocateDlg::FieldNameComboBoxEnter() {
    // Enter in the field list must not search.
    ui->NextButton->setDefault(false);
    ui->FirstButton->setDefault(false);
}

void TMyLocateDlg::FieldNameComboBoxExit() {
    setDefaultButton(nextIsDefault_);
}

bool TMyLocateDlg::FieldNameComboBoxKeyDown(int key) {
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) ||
        !ui->FieldNameComboBox->view()->isVisible())
        return false;
    ui->FieldNameComboBox->hidePopup();
    ui->SearchValue->setFocus();
    return true;
}

bool TMyLocateDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->FieldNameComboBox) {
        switch (event->type()) {
        case QEvent::FocusIn:
            FieldNameComboBoxEnter();
            break;
        case QEvent::FocusOut:
            FieldNameComboBoxExit();
            break;
        case QEvent::KeyPress:
            if (FieldNameComboBoxKeyDown(static_cast<QKeyEvent*>(event)->key())) return true;
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
