#pragma once

#include "core/DialogService.h"

#include <memory>

class QPrinter;

namespace ui {

// The dialog service of the running program: Qt's file, font, color and print dialogs, owned
// by the window the user is working in.
class QtDialogService : public core::DialogService {
public:
    // The printer whose settings the printer setup changes; without one the service keeps its
    // own, which printer() hands to whoever prints.
    explicit QtDialogService(QPrinter* printer = nullptr);
    ~QtDialogService() override;

    QPrinter& printer() { return *printer_; }

    QString getOpenFileName(const core::FileDialogRequest& request) override;
    QString getSaveFileName(const core::FileDialogRequest& request) override;
    std::optional<core::FontChoice> getFont(const core::FontDialogRequest& request) override;
    std::optional<QColor> getColor(const core::ColorDialogRequest& request) override;
    bool printerSetup() override;

private:
    std::unique_ptr<QPrinter> ownPrinter_;
    QPrinter* printer_;
};

} // namespace ui
