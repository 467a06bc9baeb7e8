#pragma once

#include "core/MessageService.h"

class QMessageBox;
class QWidget;

namespace ui {

// The message service of the running program: a modal QMessageBox owned by the window the user
// is working in, after the message's sound.
class QtMessageService : public core::MessageService {
public:
    core::MessageButton show(const core::Message& message) override;
    void beep(core::MessageSound sound) override;

    // The window that owns a box shown now: the active modal window, else the active window
    // (none before the first window appears).
    static QWidget* currentOwner();
    // Sets the box up for the message: caption, plain text, buttons, default button and icon.
    static void prepare(QMessageBox& box, const core::Message& message);
};

} // namespace ui
