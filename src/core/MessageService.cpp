#include "core/MessageService.h"

#include <stdexcept>
#include <string>

namespace core {

bool offers(MessageButtons buttons, MessageButton button) {
    switch (buttons) {
    case MessageButtons::Ok:
        return button == MessageButton::Ok;
    case MessageButtons::OkCancel:
        return button == MessageButton::Ok || button == MessageButton::Cancel;
    case MessageButtons::YesNo:
        return button == MessageButton::Yes || button == MessageButton::No;
    case MessageButtons::YesNoCancel:
        return button != MessageButton::Ok;
    }
    return false;
}

MessageButton initialButton(const Message& message) {
    if (message.defaultButton) return *message.defaultButton;
    switch (message.buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        return MessageButton::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageButton::Yes;
    }
    return MessageButton::Ok;
}

MessageService::~MessageService() = default;

void ScriptedMessageService::clear() {
    answers_.clear();
    messages_.clear();
    beeps_.clear();
}

MessageButton ScriptedMessageService::show(const Message& message) {
    messages_.push_back(message);
    if (message.defaultButton && !offers(message.buttons, *message.defaultButton)) {
        throw std::logic_error("default button not offered by message: " +
                               message.text.toStdString());
    }
    if (message.buttons == MessageButtons::Ok) return MessageButton::Ok;
    if (answers_.empty()) {
        throw std::logic_error("no answer queued for question: " + message.text.toStdString());
    }
    const MessageButton answer = answers_.front();
    answers_.pop_front();
    if (!offers(message.buttons, answer)) {
        throw std::logic_error("queued answer not offered by question: " +
                               message.text.toStdString());
    }
    return answer;
}

} // namespace core
