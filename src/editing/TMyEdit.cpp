#include "editing/TMyEdit.h"

#include "core/Cp1252.h"
#include "core/FieldCatalogue.h"
#include "core/MessageService.h"
#include "core/Settings.h"
#include "core/TextFormat.h"
#include "editing/PickLists.h"
#include "ui_TMyEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <system_error>

using editing::PickList;

namespace {

// Catalogue numbers of the columns the window edits.
enum Field {
    kItem = 1,
    kBrand = 2,
    kModel = 3,
    kSerial = 4,
    kLocation = 5,
    kDescription = 6,
    kBoughtFrom = 7,
    kIDMarks = 8,
    kQuantity = 9,
    kPurchDate = 10,
    kCost = 11,
    kCategory = 12,
    kRepCost = 13,
    kWarranty = 14,
    kWarDate = 15,
    kWarNotes = 16,
    kOwner = 17,
    kValue = 18,
    kUserDef1 = 19,
    kUserDef4 = 22,
};

// The order Enter walks through the fields, page by page; from the last it returns to the first.
constexpr int kEnterOrder[] = {
    kItem,     kBrand,     kModel,      kSerial, kIDMarks, kDescription, kCategory,
    kLocation, kOwner,     kQuantity,   kValue,  kCost,    kRepCost,     kWarDate,
    kWarNotes, kPurchDate, kBoughtFrom, 19,      20,       21,           22};

// The order ValuesChanged compares the controls in.
constexpr int kCompareOrder[] = {
    kItem, kBrand, kModel,   kSerial,   kIDMarks,  kDescription, kCategory, kLocation,  kOwner,
    kCost, kValue, kRepCost, kQuantity, kWarranty, kWarDate,     kWarNotes, kPurchDate, kBoughtFrom,
    19,    20,     21,       22};

constexpr int kMoneyWidth = 12;
const char16_t* const kDateMask = u"!99/99/9999;1;_";

int pageOf(int field) {
    switch (field) {
    case kQuantity:
    case kValue:
    case kCost:
    case kRepCost:
        return 1;
    case kWarranty:
    case kWarDate:
    case kWarNotes:
    case kPurchDate:
    case kBoughtFrom:
        return 2;
    default:
        return field >= kUserDef1 ? 3 : 0;
    }
}

bool isDate(int field) {
    return field == kWarDate || field == kPurchDate;
}

// Removes the character 32 only, as every text routine of the program does.
QString trimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.sliced(first, last - first);
}

// Numbers are plain ASCII; anything else fails to read as one anyway.
std::string numberBytes(const QString& text) {
    return text.toLatin1().toStdString();
}

bool isBlankDate(const QString& trimmed) {
    return trimmed == QLatin1String("/  /") || trimmed == QLatin1String("-  -") ||
           trimmed == QLatin1String(".  .");
}

// A date box holds blanks where nothing was typed; the date itself is the rest.
QString dateWithoutBlanks(const QString& text) {
    QString date = text;
    date.remove(QLatin1Char(' '));
    return date;
}

// A stored date as its box shows it: in the order and with the separator of the current
// format, every position of the mask filled (two-digit day and month, four-digit year), so
// that no century is left to guess when it is stored again.
QString dateForBox(const dbase::Date& date, const dbase::DateFormat& format) {
    if (date.isEmpty()) return {};
    const QString day = QStringLiteral("%1").arg(date.day, 2, 10, QLatin1Char('0'));
    const QString month = QStringLiteral("%1").arg(date.month, 2, 10, QLatin1Char('0'));
    const QString year = QStringLiteral("%1").arg(date.year, 4, 10, QLatin1Char('0'));
    const QChar separator = QLatin1Char(format.separator);
    switch (format.order) {
    case dbase::DateFormat::Order::DayMonthYear:
        return day + separator + month + separator + year;
    case dbase::DateFormat::Order::YearMonthDay:
        return year + separator + month + separator + day;
    case dbase::DateFormat::Order::MonthDayYear:
        break;
    }
    return month + separator + day + separator + year;
}

// The first character of the text that the table's code page has no place for.
QString firstForeignCharacter(const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (!core::toTableText(one)) return one;
    }
    return {};
}

QString fromEngine(const std::exception& error) {
    return QString::fromLocal8Bit(error.what());
}

core::Message errorMessage(const QString& text) {
    return {.caption = QStringLiteral("Error"),
            .text = text,
            .buttons = core::MessageButtons::Ok,
            .icon = core::MessageIcon::Error};
}

core::Message warningQuestion(const QString& text, core::MessageButtons buttons) {
    return {.caption = QStringLiteral("Warning"),
            .text = text,
            .buttons = buttons,
            .defaultButton = core::MessageButton::No,
            .icon = core::MessageIcon::Warning,
            .sound = core::MessageSound::Question};
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Numbers as typed

namespace editing {

std::optional<double> ReadDecimal(std::string_view text) {
    const std::string trimmed = core::TrimBlanks(text);
    const std::string_view s = trimmed;
    size_t i = 0;
    const auto digits = [&] {
        const size_t from = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        return i - from;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const size_t whole = digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        if (digits() == 0) return std::nullopt; // "1." has no digit after the point
    } else if (whole == 0) {
        return std::nullopt;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (digits() == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;

    // from_chars reads no "+" and follows no locale.
    std::string_view number = s;
    if (number.front() == '+') number.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> ReadWholeNumber(std::string_view text) {
    const std::string trimmed = core::TrimBlanks(text);
    std::string_view s = trimmed;
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && (s.front() == '+' || s.front() == '-')) return std::nullopt;
    }
    if (s.empty()) return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

} // namespace editing

// ---------------------------------------------------------------------------------------------
// Creation

TMyEdit::TMyEdit(Services services, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TMyEdit>()), settings_(services.settings),
      messages_(services.messages), table_(services.table), pickLists_(services.pickLists),
      recordsChanged_(std::move(services.recordsChanged)),
      currentChanged_(std::move(services.currentChanged)), showHelp_(std::move(services.showHelp)) {
    ui->setupUi(this);
    // A fixed border with a close box and no minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    QFont design(QStringLiteral("Arial"));
    design.setPixelSize(12);
    setFont(design);
    QFont headline = design;
    headline.setPixelSize(14);
    headline.setBold(true);
    ui->TotLabel->setFont(headline);
    QFont itemLine = design;
    itemLine.setBold(true);
    for (QLabel* line : {ui->WorthItem, ui->WarrantyItem, ui->OtherItem})
        line->setFont(itemLine);
    setFixedSize(size());

    connect(ui->MenuNew, &QAction::triggered, this, &TMyEdit::MenuNewClick);
    connect(ui->MenuClear, &QAction::triggered, this, &TMyEdit::DoClear);
    connect(ui->MenuUpdate, &QAction::triggered, this, &TMyEdit::DoAnUpdate);
    connect(ui->MenuUpdateExit, &QAction::triggered, this, &TMyEdit::DoUpdateAndExit);
    connect(ui->MenuPrevious, &QAction::triggered, this, &TMyEdit::DoPreviousRecord);
    connect(ui->MenuNext, &QAction::triggered, this, &TMyEdit::DoNextRecord);
    connect(ui->MenuExit, &QAction::triggered, this, &TMyEdit::DoExit);
    connect(ui->MenuCut, &QAction::triggered, this, &TMyEdit::MenuCutClick);
    connect(ui->MenuCopy, &QAction::triggered, this, &TMyEdit::MenuCopyClick);
    connect(ui->MenuPaste, &QAction::triggered, this, &TMyEdit::MenuPasteClick);
    connect(ui->MenuDelete, &QAction::triggered, this, &TMyEdit::MenuDeleteClick);
    connect(ui->MenuHelp, &QAction::triggered, this, &TMyEdit::MenuHelpClick);
    connect(ui->UpdateExitButton, &QPushButton::clicked, this, &TMyEdit::DoUpdateAndExit);
    connect(ui->UpdateButton, &QPushButton::clicked, this, &TMyEdit::DoAnUpdate);
    connect(ui->ClearButton, &QPushButton::clicked, this, &TMyEdit::DoClear);
    connect(ui->CancelButton, &QPushButton::clicked, this, &TMyEdit::DoExit);
    connect(ui->PrevButton, &QPushButton::clicked, this, &TMyEdit::DoPreviousRecord);
    connect(ui->NextButton, &QPushButton::clicked, this, &TMyEdit::DoNextRecord);
    connect(ui->BlankWarDate, &QPushButton::clicked, this,
            [this] { ui->WarDate->setText(dateMask_.layOut(u"")); });
    connect(ui->BlankPurchDate, &QPushButton::clicked, this,
            [this] { ui->PurchDate->setText(dateMask_.layOut(u"")); });

    // The window sees every key before the focused control does.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    FormCreate();
}

TMyEdit::~TMyEdit() = default;

void TMyEdit::FormCreate() {
    ui::SaveDimensions(this, designed_, messages_);
    pickLists_.LoadAllList();
    for (int field = 1; field <= core::kFieldCount; ++field) {
        QWidget* control = fieldControl(field);
        QLineEdit* box = qobject_cast<QLineEdit*>(control);
        if (auto* combo = qobject_cast<QComboBox*>(control)) box = combo->lineEdit();
        if (!box || isDate(field) || field == kQuantity) continue;
        const bool money = field == kCost || field == kValue || field == kRepCost;
        box->setMaxLength(money ? kMoneyWidth : core::FieldWidth(field));
    }
    setDateMask();
    setItemLines();
    applyBrowseMode();
}

// The date boxes take the current date separator in place of each "/" of their mask.
void TMyEdit::setDateMask() {
    dateSeparator_ = table_.dateFormat().separator;
    dateMask_ = ui::InputMask::fromEditMask(kDateMask, QLatin1Char(dateSeparator_));
    for (QLineEdit* box : {ui->WarDate, ui->PurchDate})
        dateMask_.applyTo(*box);
}

// Browse mode: the window shows records and moves between them, and changes nothing.
void TMyEdit::applyBrowseMode() {
    const bool browse = settings_.BrowseMode;
    for (QAction* action : {ui->MenuNew, ui->MenuClear, ui->MenuUpdate, ui->MenuUpdateExit,
                            ui->MenuCut, ui->MenuCopy, ui->MenuPaste, ui->MenuDelete})
        action->setEnabled(!browse);
    for (QPushButton* button : {ui->UpdateExitButton, ui->UpdateButton, ui->ClearButton,
                                ui->BlankWarDate, ui->BlankPurchDate})
        button->setEnabled(!browse);
    for (int field = 1; field <= core::kFieldCount; ++field) {
        QWidget* control = fieldControl(field);
        if (auto* box = qobject_cast<QLineEdit*>(control)) box->setReadOnly(browse);
        if (auto* combo = qobject_cast<QComboBox*>(control)) combo->lineEdit()->setReadOnly(browse);
    }
    // The check box keeps its colors but takes no clicks and no focus.
    ui->Warranty->setAttribute(Qt::WA_TransparentForMouseEvents, browse);
    ui->Warranty->setFocusPolicy(browse ? Qt::NoFocus : Qt::StrongFocus);
}

// ---------------------------------------------------------------------------------------------
// Showing and closing

int TMyEdit::run(int editMode) {
    editMode_ = editMode;
    exec();
    return storedCount_;
}

void TMyEdit::setVisible(bool visible) {
    if (visible && !isVisible()) FormShow();
    QDialog::setVisible(visible);
}

void TMyEdit::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TMyEdit::FormShow() {
    storedCount_ = 0;
    const ui::Appearance look = ui::Appearance::fromSettings(settings_);
    ui::ShowSequence(this, look, {.designed = &designed_, .moveUp = true});

    setLabels();
    ui->MyTabbedNoteBook->setCurrentIndex(0);
    SetColors();

    // The date format may have changed since the last showing.
    if (dateSeparator_ != table_.dateFormat().separator) setDateMask();
    fillCombos();
    applyBrowseMode();

    if (editMode_ == AddMode) {
        DoClear();
    } else {
        loadCurrentOrClear();
    }
    SaveValues();
    ui->Item->setFocus();
}

void TMyEdit::FormClose() {
    pickLists_.SaveAllLists();
}

void TMyEdit::setLabels() {
    const std::pair<QWidget*, int> captions[] = {
        {ui->ItemLabel, kItem},         {ui->BrandLabel, kBrand},
        {ui->ModelLabel, kModel},       {ui->SerialLabel, kSerial},
        {ui->IDMarksLabel, kIDMarks},   {ui->CommentsLabel, kDescription},
        {ui->CategoryLabel, kCategory}, {ui->LocationLabel, kLocation},
        {ui->OwnerLabel, kOwner},       {ui->CostLabel, kCost},
        {ui->ValueLabel, kValue},       {ui->RepCostLabel, kRepCost},
        {ui->Warranty, kWarranty},      {ui->WarDateLabel, kWarDate},
        {ui->WarNotesLabel, kWarNotes}, {ui->PurchDateLabel, kPurchDate},
        {ui->BoughtLabel, kBoughtFrom}, {ui->UserDef1Lab, 19},
        {ui->UserDef2Lab, 20},          {ui->userDef3Lab, 21},
        {ui->UserDef4Lab, 22}};
    for (const auto& [control, field] : captions) {
        // A display name is shown as it is: an "&" in it is no mnemonic.
        if (auto* label = qobject_cast<QLabel*>(control)) {
            label->setTextFormat(Qt::PlainText);
            label->setText(displayName(field));
        } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
            check->setText(displayName(field).replace(QLatin1Char('&'), QLatin1String("&&")));
        }
    }
    ui->QuantityLabel->setText(QStringLiteral("Quantity"));
    // Screen readers name each box as its label reads.
    for (int field = 1; field <= core::kFieldCount; ++field) {
        fieldControl(field)->setAccessibleName(field == kQuantity ? QStringLiteral("Quantity")
                                                                  : displayName(field));
    }
}

void TMyEdit::setItemLines() {
    const QString line = displayName(kItem) + QStringLiteral(": ") + ui->Item->text();
    for (QLabel* label : {ui->WorthItem, ui->WarrantyItem, ui->OtherItem}) {
        label->setTextFormat(Qt::PlainText);
        label->setText(line);
    }
}

void TMyEdit::ItemExit() {
    setItemLines();
}

void TMyEdit::SetColors() {
    const ui::WindowColors colors = ui::WindowColors::fromSettings(settings_.EditWindowColors);
    ui::PaintControl(this, colors, ui::ColorPart::Window);
    // The notebook's pages are the window's surface too.
    for (int page = 0; page < ui->MyTabbedNoteBook->count(); ++page)
        ui::PaintControl(ui->MyTabbedNoteBook->widget(page), colors, ui::ColorPart::Window);
    for (QLabel* label : findChildren<QLabel*>())
        ui::PaintControl(label, colors,
                         label == ui->TotLabel ? ui::ColorPart::Headline : ui::ColorPart::Label);
    for (int field = 1; field <= core::kFieldCount; ++field) {
        QWidget* control = fieldControl(field);
        if (qobject_cast<QComboBox*>(control))
            ui::PaintControl(control, colors, ui::ColorPart::Combo);
        else if (qobject_cast<QCheckBox*>(control))
            ui::PaintControl(control, colors, ui::ColorPart::Check);
        else
            ui::PaintControl(control, colors, ui::ColorPart::Edit);
    }
}

void TMyEdit::MenuHelpClick() {
    if (showHelp_) showHelp_(QStringLiteral("Input Window"));
}

// ---------------------------------------------------------------------------------------------
// The controls and their fields

QWidget* TMyEdit::fieldControl(int field) const {
    switch (field) {
    case kItem:
        return ui->Item;
    case kBrand:
        return ui->Brand;
    case kModel:
        return ui->Model;
    case kSerial:
        return ui->Serial;
    case kLocation:
        return ui->Location;
    case kDescription:
        return ui->Comments;
    case kBoughtFrom:
        return ui->Bought;
    case kIDMarks:
        return ui->IDMarks;
    case kQuantity:
        return ui->Quantity;
    case kPurchDate:
        return ui->PurchDate;
    case kCost:
        return ui->Cost;
    case kCategory:
        return ui->Category;
    case kRepCost:
        return ui->RepCost;
    case kWarranty:
        return ui->Warranty;
    case kWarDate:
        return ui->WarDate;
    case kWarNotes:
        return ui->WarNotes;
    case kOwner:
        return ui->TheOwner;
    case kValue:
        return ui->Value;
    case 19:
        return ui->UserDef1;
    case 20:
        return ui->UserDef2;
    case 21:
        return ui->UserDef3;
    case 22:
        return ui->UserDef4;
    default:
        return nullptr;
    }
}

QString TMyEdit::fieldText(int field) const {
    QWidget* control = fieldControl(field);
    if (auto* check = qobject_cast<QCheckBox*>(control))
        return check->isChecked() ? QStringLiteral("Yes") : QStringLiteral("No");
    if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText();
    auto* box = static_cast<QLineEdit*>(control);
    return isDate(field) ? dateMask_.readBox(*box) : box->text();
}

void TMyEdit::setFieldText(int field, const QString& text) {
    QWidget* control = fieldControl(field);
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
        check->setChecked(text == QLatin1String("Yes"));
        return;
    }
    if (isDate(field)) {
        static_cast<QLineEdit*>(control)->setText(dateMask_.layOut(text));
        return;
    }
    QLineEdit* box = qobject_cast<QLineEdit*>(control);
    auto* combo = qobject_cast<QComboBox*>(control);
    if (combo) box = combo->lineEdit();
    // A stored value longer than the box takes (an amount with many digits) is shown whole:
    // cutting it would store a different value on the next update.
    if (field != kQuantity) {
        const bool money = field == kCost || field == kValue || field == kRepCost;
        const int designed = money ? kMoneyWidth : core::FieldWidth(field);
        box->setMaxLength(std::max<int>(designed, static_cast<int>(text.size())));
    }
    if (combo) {
        combo->setCurrentIndex(-1);
        combo->setEditText(text);
    } else {
        box->setText(text);
    }
}

QString TMyEdit::displayName(int field) const {
    return core::fromTableText(settings_.FieldDisplayNames[field]);
}

void TMyEdit::focusField(int field) {
    QWidget* control = fieldControl(field);
    if (!control) return;
    ui->MyTabbedNoteBook->setCurrentIndex(pageOf(field));
    control->setFocus();
}

// The combo boxes list the edit copies of the pick lists, which the list maintenance may have
// replaced since the last showing.
void TMyEdit::fillCombos() {
    syncCombo(ui->Brand, pickLists_.edit(PickList::Brand));
    syncCombo(ui->Location, pickLists_.edit(PickList::Location));
    syncCombo(ui->Bought, pickLists_.edit(PickList::PurchasedFrom));
    syncCombo(ui->Category, pickLists_.edit(PickList::Category));
    syncCombo(ui->TheOwner, pickLists_.edit(PickList::Owner));
}

void TMyEdit::syncCombo(QComboBox* combo, const std::vector<std::string>& entries) {
    const QString typed = combo->currentText();
    bool same = combo->count() <= static_cast<int>(entries.size());
    for (int i = 0; same && i < combo->count(); ++i)
        same = combo->itemText(i) == core::fromTableText(entries[static_cast<size_t>(i)]);
    if (!same) combo->clear();
    for (size_t i = static_cast<size_t>(combo->count()); i < entries.size(); ++i)
        combo->addItem(core::fromTableText(entries[i]));
    // Filling the list must not change what the box shows.
    combo->setCurrentIndex(-1);
    combo->setEditText(typed);
}

// ---------------------------------------------------------------------------------------------
// Loading, clearing, comparing

void TMyEdit::LoadInData() {
    for (int field = 1; field <= core::kFieldCount; ++field) {
        const int column = table_.fieldIndex(core::CatalogueName(field));
        if (isDate(field))
            setFieldText(field, dateForBox(table_.date(column), table_.dateFormat()));
        else
            setFieldText(field, core::fromTableText(table_.text(column)));
    }
    setItemLines();
    CalcTotals();
    loadedBytes_ = table_.record().bytes();
    loadedRecord_ = table_.bookmark();
}

// An empty table has no record to show: the window starts a new one instead.
void TMyEdit::loadCurrentOrClear() {
    if (table_.isEmpty()) {
        editMode_ = AddMode;
        DoClear();
    } else {
        LoadInData();
    }
}

void TMyEdit::DoClear() {
    for (int field : {kItem, kBrand, kModel, kSerial, kIDMarks, kDescription, kCategory, kLocation,
                      kOwner, kWarNotes, kBoughtFrom})
        setFieldText(field, QString());
    for (int field : {kCost, kValue, kRepCost})
        setFieldText(field, QStringLiteral("0"));
    setFieldText(kQuantity, QStringLiteral("1"));
    ui->Warranty->setChecked(false);
    ui->WarDate->setText(dateMask_.layOut(u""));
    ui->PurchDate->setText(dateMask_.layOut(u""));
    CalcTotals();
}

void TMyEdit::SaveValues() {
    for (int field = 1; field <= core::kFieldCount; ++field) {
        if (field != kWarranty) snapshot_.texts[static_cast<size_t>(field - 1)] = fieldText(field);
    }
    snapshot_.warranty = ui->Warranty->isChecked();
}

bool TMyEdit::ValuesChanged() const {
    for (const int field : kCompareOrder) {
        if (field == kWarranty) {
            if (ui->Warranty->isChecked() != snapshot_.warranty) return true;
            continue;
        }
        const QString& saved = snapshot_.texts[static_cast<size_t>(field - 1)];
        const QString now = fieldText(field);
        if (isDate(field) ? trimBlanks(now) != trimBlanks(saved) : now != saved) return true;
    }
    return false;
}

void TMyEdit::CalcTotals() {
    const auto quantity = editing::ReadWholeNumber(numberBytes(ui->Quantity->text()));
    const auto total = [&](QLineEdit* amount) {
        const auto value = editing::ReadDecimal(numberBytes(amount->text()));
        // Text that is not a number has no total; the update refuses it.
        if (!quantity || !value) return QString();
        return QString::fromStdString(core::FormatThousands(*quantity * *value, 1, 2) + " ");
    };
    ui->TotCostLabel->setText(total(ui->Cost));
    ui->TotRepCostLabel->setText(total(ui->RepCost));
    ui->TotValueLabel->setText(total(ui->Value));
}

// ---------------------------------------------------------------------------------------------
// Updating

void TMyEdit::refuse(const QString& text, int field) {
    messages_.show(errorMessage(text));
    focusField(field);
}

bool TMyEdit::DoUpdate() {
    // Dates: a box left blank stores no date; anything else must be a date of the current
    // format.
    const auto dateOk = [&](int field) {
        const QString text = trimBlanks(fieldText(field));
        return isBlankDate(text) ||
               table_.dateFormat().parse(numberBytes(dateWithoutBlanks(text))).has_value();
    };
    if (!dateOk(kWarDate)) {
        refuse(QStringLiteral("Invalid warranty date specified.  Please correct."), kWarDate);
        return false;
    }
    if (!dateOk(kPurchDate)) {
        refuse(QStringLiteral("Invalid purchase date specified.  Please correct."), kPurchDate);
        return false;
    }
    const std::pair<int, const char*> amounts[] = {
        {kCost, "Invalid cost specified.  Please correct."},
        {kValue, "Invalid value specified.  Please correct."},
        {kRepCost, "Invalid replacement cost specified.  Please correct."}};
    for (const auto& [field, message] : amounts) {
        if (!editing::ReadDecimal(numberBytes(fieldText(field)))) {
            refuse(QString::fromLatin1(message), field);
            return false;
        }
    }
    if (!editing::ReadWholeNumber(numberBytes(fieldText(kQuantity)))) {
        refuse(QStringLiteral("Invalid quantity specified.  Please correct."), kQuantity);
        return false;
    }
    // Text the table cannot hold is refused before anything is stored or listed: it would
    // otherwise be stored, and listed, with a character lost.
    for (const int field : kEnterOrder) {
        const QString foreign = firstForeignCharacter(fieldText(field));
        if (!foreign.isEmpty()) {
            refuse(QStringLiteral("%1 holds the character \"%2\", which this database cannot "
                                  "store.  Please correct.")
                       .arg(displayName(field), foreign),
                   field);
            return false;
        }
    }

    // The five combo texts join their pick lists, the edit copies and then the grid's.
    const std::pair<PickList, QComboBox*> lists[] = {{PickList::Brand, ui->Brand},
                                                     {PickList::Location, ui->Location},
                                                     {PickList::Category, ui->Category},
                                                     {PickList::Owner, ui->TheOwner},
                                                     {PickList::PurchasedFrom, ui->Bought}};
    for (const auto& [list, combo] : lists)
        pickLists_.AddToList(list, *core::toTableText(combo->currentText()));
    for (const auto& [list, combo] : lists)
        pickLists_.AddToListTwwDB(list, core::TrimBlanks(*core::toTableText(combo->currentText())));
    for (const auto& [list, combo] : lists)
        syncCombo(combo, pickLists_.edit(list));

    return storeRecord();
}

// Writes the controls into a new record (add and copy mode) or the loaded one (edit mode).
// Whatever goes wrong, the table is left as it was and the typing stays in the window.
bool TMyEdit::storeRecord() {
    const bool adding = editMode_ != EditMode;
    int field = 0; // the field being assigned, for the message
    try {
        if (adding) {
            table_.insert();
        } else {
            if (loadedRecord_ && table_.bookmark() != loadedRecord_)
                table_.gotoBookmark(loadedRecord_);
            table_.edit(); // locks the record and reads it from disk
            if (table_.record().isDeleted()) {
                table_.cancel();
                messages_.show(errorMessage(
                    QStringLiteral("This record was deleted by another user after it was "
                                   "loaded, so it cannot be updated.  Your entries are still in "
                                   "the window.")));
                return false;
            }
            if (table_.record().bytes() != loadedBytes_) {
                const core::MessageButton answer = messages_.show(warningQuestion(
                    QStringLiteral("This record was changed by another user after it was "
                                   "loaded.  Replace their changes with yours?"),
                    core::MessageButtons::YesNo));
                if (answer != core::MessageButton::Yes) {
                    table_.cancel();
                    return false;
                }
            }
        }
        for (field = 1; field <= core::kFieldCount; ++field) {
            const int column = table_.fieldIndex(core::CatalogueName(field));
            const QString text = trimBlanks(fieldText(field));
            if (field == kQuantity) {
                table_.setInteger(column, *editing::ReadWholeNumber(numberBytes(text)));
            } else if (field == kCost || field == kValue || field == kRepCost) {
                table_.setNumber(column, *editing::ReadDecimal(numberBytes(text)));
            } else if (isDate(field)) {
                table_.setText(column, isBlankDate(text) ? std::string()
                                                         : numberBytes(dateWithoutBlanks(text)));
            } else {
                table_.setText(column, *core::toTableText(text));
            }
        }
        field = 0;
        table_.post();
    } catch (const dbase::LockError& e) {
        reportStoreFailure(
            QStringLiteral("This record is being changed by another user and cannot be updated "
                           "now (%1).  Your entries are still in the window; please try again "
                           "later.")
                .arg(fromEngine(e)),
            field);
        return false;
    } catch (const std::exception& e) {
        reportStoreFailure(QStringLiteral("The record could not be stored: %1  Your entries are "
                                          "still in the window.")
                               .arg(fromEngine(e)),
                           field);
        return false;
    }
    editMode_ = EditMode;
    ++storedCount_;
    loadedBytes_ = table_.record().bytes();
    loadedRecord_ = table_.bookmark();
    if (recordsChanged_) recordsChanged_();
    return true;
}

void TMyEdit::reportStoreFailure(const QString& text, int field) {
    try {
        table_.cancel();
    } catch (const std::exception&) {
        // The record was not written; the message below says so.
    }
    messages_.show(errorMessage(text));
    if (field > 0) focusField(field);
}

void TMyEdit::DoAnUpdate() {
    if (DoUpdate()) SaveValues();
}

void TMyEdit::DoUpdateAndExit() {
    if (DoUpdate()) accept();
}

void TMyEdit::DoExit() {
    if (!settings_.BrowseMode && ValuesChanged()) {
        const core::MessageButton answer = messages_.show(
            warningQuestion(QStringLiteral("Data has changed.  Do you want to exit without "
                                           "updating?"),
                            core::MessageButtons::YesNo));
        if (answer != core::MessageButton::Yes) return;
    }
    reject();
}

// ---------------------------------------------------------------------------------------------
// Moving

void TMyEdit::DoPreviousRecord() {
    moveRecord(false);
}
void TMyEdit::DoNextRecord() {
    moveRecord(true);
}

void TMyEdit::moveRecord(bool forward) {
    if (!settings_.BrowseMode) {
        const QString direction = forward ? QStringLiteral("next") : QStringLiteral("previous");
        QString question;
        if (editMode_ != EditMode) {
            question = QStringLiteral("This record has not been updated yet.  Update this record "
                                      "before moving to the %1 record?")
                           .arg(direction);
        } else if (ValuesChanged()) {
            question =
                QStringLiteral("Data has changed.  Update this record before moving to the %1 "
                               "record?")
                    .arg(direction);
        }
        if (!question.isEmpty()) {
            const core::MessageButton answer =
                messages_.show(warningQuestion(question, core::MessageButtons::YesNoCancel));
            if (answer == core::MessageButton::Cancel) return;
            if (answer == core::MessageButton::Yes && !DoUpdate()) return;
        }
    }
    try {
        if (forward)
            table_.next();
        else
            table_.prior();
    } catch (const std::exception& e) {
        messages_.show(errorMessage(fromEngine(e)));
        return;
    }
    editMode_ = EditMode;
    loadCurrentOrClear();
    SaveValues();
    if (currentChanged_) currentChanged_();
}

void TMyEdit::MenuNewClick() {
    if (ValuesChanged()) {
        const core::MessageButton answer = messages_.show(warningQuestion(
            QStringLiteral("Data has changed.  Update this record before creating new one?"),
            core::MessageButtons::YesNoCancel));
        if (answer == core::MessageButton::Cancel) return;
        if (answer == core::MessageButton::Yes && !DoUpdate()) return;
    }
    DoClear();
    editMode_ = AddMode;
    SaveValues();
}

// ---------------------------------------------------------------------------------------------
// Keys and the clipboard

void TMyEdit::FormKeyPress() {
    QWidget* focused = focusWidget();
    if (focused && qobject_cast<QComboBox*>(focused->parentWidget()))
        focused = focused->parentWidget();
    const int count = static_cast<int>(std::size(kEnterOrder));
    for (int i = 0; i < count; ++i) {
        if (fieldControl(kEnterOrder[i]) != focused) continue;
        focusField(kEnterOrder[(i + 1) % count]);
        return;
    }
}

bool TMyEdit::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    // A combo box's list is a window of its own and keeps its keys.
    if (!widget || widget->window() != this) return QDialog::eventFilter(watched, event);

    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            FormKeyPress();
            return true;
        }
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            DoExit();
            return true;
        }
    } else if (event->type() == QEvent::ShortcutOverride) {
        // The window's commands win over a text box's own use of the same keys (Ctrl+E, Ctrl+U
        // and others move or delete in a text box on some desktops). The clipboard keys stay
        // with the box, which does the same as the Edit menu would.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction* action : {ui->MenuNew, ui->MenuClear, ui->MenuUpdate, ui->MenuUpdateExit,
                                ui->MenuPrevious, ui->MenuNext, ui->MenuHelp}) {
            if (action->isEnabled() && action->shortcut() == pressed) return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        if (widget == ui->Item || widget == ui->UserDef1 || widget == ui->UserDef2 ||
            widget == ui->UserDef3 || widget == ui->UserDef4) {
            ItemExit();
        } else if (widget == ui->Quantity || widget == ui->Value || widget == ui->Cost ||
                   widget == ui->RepCost) {
            CalcTotals();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TMyEdit::keyPressEvent(QKeyEvent* event) {
    // Keys that reach the window itself (no control has the focus) are taken the same way.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        FormKeyPress();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        DoExit();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The Edit menu serves the text boxes and the combo boxes; the date boxes and the check box are
// left alone.
QLineEdit* TMyEdit::clipboardBox() const {
    QWidget* focused = focusWidget();
    if (!focused) return nullptr;
    if (auto* combo = qobject_cast<QComboBox*>(focused)) return combo->lineEdit();
    if (auto* combo = qobject_cast<QComboBox*>(focused->parentWidget())) return combo->lineEdit();
    if (focused == ui->WarDate || focused == ui->PurchDate) return nullptr;
    return qobject_cast<QLineEdit*>(focused);
}

void TMyEdit::MenuCutClick() {
    if (QLineEdit* box = clipboardBox()) box->cut();
}

void TMyEdit::MenuCopyClick() {
    if (QLineEdit* box = clipboardBox()) box->copy();
}

void TMyEdit::MenuPasteClick() {
    if (QLineEdit* box = clipboardBox()) box->paste();
}

void TMyEdit::MenuDeleteClick() {
    QLineEdit* box = clipboardBox();
    if (box && box->hasSelectedText()) box->del();
}
