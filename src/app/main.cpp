// Vantorel Inventory: a catalogue of the possessions of a home or an office.

#include "app/TMain.h"
#include "core/Settings.h"
#include "ui/QtDialogService.h"
#include "ui/QtMessageService.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantorel Inventory"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vantorel Inventory"));

    core::Settings settings;
    ui::QtMessageService messages;
    ui::QtDialogService dialogs;
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    TMain main({settings, messages, dialogs, arguments});
    if (main.startupFailed()) return 1;
    main.createWindows();
    main.show();
    return QApplication::exec();
}
