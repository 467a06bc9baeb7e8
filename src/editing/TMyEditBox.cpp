#include "editing/TMyEditBox.h"

#include "core/Cp1252.h"
#include "core/MessageService.h"
#include "core/Settings.h"
#include "core/TextFormat.h"
#include "ui/WindowAppearance.h"
#include "ui_TMyEditBox.h"

#include <QByteArray>
#include <QListWidgetItem>
#include <QPushButton>

#include <algorithm>

namespace {

// Each entry keeps its bytes beside the text shown, so that OK gives back exactly what was read.
constexpr int kBytesRole = Qt::UserRole;

const core::Message& cannotStore() {
    static const core::Message message{
        .caption = QStringLiteral("Error"),
        .text = QStringLiteral("The text contains characters that cannot be stored."),
        .buttons = core::MessageButtons::Ok,
        .icon = core::MessageIcon::Error,
    };
    return message;
}

void appendEntry(QListWidget* list, const std::string& bytes) {
    auto* item = new QListWidgetItem(core::fromTableText(bytes));
    item->setData(kBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    list->addItem(item);
}

} // namespace

TMyEditBox::TMyEditBox(editing::PickLists& lists, editing::PickList list, const QString& titleWord,
                       int longestEntry, const core::Settings& settings,
                       core::MessageService& messages, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TMyEditBox>()), lists_(lists), list_(list),
      settings_(settings), messages_(messages) {
    ui->setupUi(this);
    // A dialog border: the window keeps its designed size (zoomed), the user does not drag it.
    setFixedSize(size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont windowFont(QStringLiteral("Arial"));
    windowFont.setPixelSize(14);
    setFont(windowFont);

    // Enter in the entry box must not close the window with OK, so no button is a default one.
    for (QPushButton* button : {ui->AddButton, ui->DeleteButton, ui->OkButton, ui->CancelButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(ui->AddButton, &QPushButton::clicked, this, &TMyEditBox::AddButtonClick);
    connect(ui->DeleteButton, &QPushButton::clicked, this, &TMyEditBox::DeleteButtonClick);
    connect(ui->OkButton, &QPushButton::clicked, this, &TMyEditBox::OkButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &TMyEditBox::CancelButtonClick);

    ui->TheList->setSortingEnabled(false);
    ui->TheList->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const std::string& entry : lists_.edit(list_))
        appendEntry(ui->TheList, entry);

    setWindowTitle(QStringLiteral("Edit \"") + titleWord + QStringLiteral("\" List"));
    ui->AddInfo->setMaxLength(longestEntry);
    ui->AddInfo->clear();
}

TMyEditBox::~TMyEditBox() = default;

bool TMyEditBox::editList(QWidget* parent, editing::PickLists& lists, editing::PickList list,
                          const QString& titleWord, int longestEntry,
                          const core::Settings& settings, core::MessageService& messages) {
    TMyEditBox box(lists, list, titleWord, longestEntry, settings, messages, parent);
    return box.exec() == QDialog::Accepted;
}

editing::Entries TMyEditBox::entries() const {
    editing::Entries result;
    result.reserve(static_cast<size_t>(ui->TheList->count()));
    for (int i = 0; i < ui->TheList->count(); ++i) {
        const QByteArray bytes = ui->TheList->item(i)->data(kBytesRole).toByteArray();
        result.emplace_back(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    return result;
}

void TMyEditBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TMyEditBox::FormShow() {
    const ui::Appearance appearance = ui::Appearance::fromSettings(settings_);
    ui::ShowSequence(this, appearance);
    SetColors();
    ui->TheList->setFocus();
    if (ui->TheList->count() > 0) ui->TheList->setCurrentRow(0);
}

void TMyEditBox::SetColors() {
    const auto colors = ui::WindowColors::fromSettings(settings_.ConfigureWindowColors);
    ui::PaintControl(this, colors, ui::ColorPart::Window);
    ui::PaintControl(ui->AddInfo, colors, ui::ColorPart::Edit);
    ui::PaintControl(ui->TheList, colors, ui::ColorPart::List);
}

void TMyEditBox::AddButtonClick() {
    const std::optional<std::string> bytes = core::toTableText(ui->AddInfo->text());
    if (!bytes) {
        // Left in the box, so that the user can put right what cannot be stored.
        messages_.show(cannotStore());
        ui->AddInfo->setFocus();
        return;
    }
    const std::string value = core::TrimBlanks(*bytes);
    // Typed entries may repeat: only the lists that grow by themselves keep entries unique.
    if (!value.empty()) appendEntry(ui->TheList, value);
    ui->AddInfo->clear();
    ui->AddInfo->setFocus();
}

void TMyEditBox::DeleteButtonClick() {
    const QList<QListWidgetItem*> selected = ui->TheList->selectedItems();
    if (selected.isEmpty()) return;
    const int row = ui->TheList->row(selected.first());
    delete ui->TheList->takeItem(row);
    const int count = ui->TheList->count();
    if (count == 0) {
        ui->TheList->setCurrentRow(-1);
        ui->TheList->clearSelection();
        return;
    }
    ui->TheList->setCurrentRow(std::min(row, count - 1));
}

void TMyEditBox::OkButtonClick() {
    lists_.Replace(list_, entries());
    // Written now, not only when the edit window next closes: a list kept with OK must not be
    // lost because the program ended first. A file that cannot be written is left as it was.
    lists_.SaveList(list_);
    accept();
}

void TMyEditBox::CancelButtonClick() {
    reject();
}
