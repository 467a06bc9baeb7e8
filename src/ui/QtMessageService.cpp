#include "ui/QtMessageService.h"

#include <QApplication>
#include <QMessageBox>

namespace ui {

namespace {

using core::MessageButton;
using core::MessageButtons;

QMessageBox::StandardButton standardButton(MessageButton button) {
    switch (button) {
    case MessageButton::Ok:
        return QMessageBox::Ok;
    case MessageButton::Cancel:
        return QMessageBox::Cancel;
    case MessageButton::Yes:
        return QMessageBox::Yes;
    case MessageButton::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButtons standardButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon boxIcon(core::MessageIcon icon) {
    switch (icon) {
    case core::MessageIcon::None:
        return QMessageBox::NoIcon;
    case core::MessageIcon::Information:
        return QMessageBox::Information;
    case core::MessageIcon::Warning:
        return QMessageBox::Warning;
    case core::MessageIcon::Error:
        return QMessageBox::Critical;
    case core::MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// A box closed without a button (Escape, the close box) counts as the way out it offers.
MessageButton escapeAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageButton::Ok;
    case MessageButtons::YesNo:
        return MessageButton::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
        return MessageButton::Cancel;
    }
    return MessageButton::Ok;
}

} // namespace

QWidget* QtMessageService::currentOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

void QtMessageService::prepare(QMessageBox& box, const core::Message& message) {
    box.setWindowTitle(message.caption);
    // Messages are shown exactly as written, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(message.text);
    box.setIcon(boxIcon(message.icon));
    box.setStandardButtons(standardButtons(message.buttons));
    box.setDefaultButton(standardButton(core::initialButton(message)));
}

core::MessageButton QtMessageService::show(const core::Message& message) {
    beep(message.sound);
    QMessageBox box(currentOwner());
    prepare(box, message);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return MessageButton::Ok;
    case QMessageBox::Cancel:
        return MessageButton::Cancel;
    case QMessageBox::Yes:
        return MessageButton::Yes;
    case QMessageBox::No:
        return MessageButton::No;
    default:
        return escapeAnswer(message.buttons);
    }
}

void QtMessageService::beep(core::MessageSound sound) {
    // The desktop has one bell; the kinds of sound differ only where the platform had more.
    if (sound != core::MessageSound::None) QApplication::beep();
}

} // namespace ui
