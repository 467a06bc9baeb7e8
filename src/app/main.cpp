// Vantorel Inventory: opens the default database (creating an empty one at the first start)
// and reports how many records it holds.

#include "core/DataFolders.h"
#include "core/FieldCatalogue.h"
#include "core/InventoryFile.h"
#include "core/MessageService.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <exception>

namespace {

// Until the program has windows, messages go to the terminal.
class TerminalMessages : public core::MessageService {
public:
    core::MessageButton show(const core::Message& message) override {
        QTextStream(stderr) << message.caption << ": " << message.text << Qt::endl;
        return core::initialButton(message);
    }
    void beep(core::MessageSound) override {}
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vantorel Inventory 95"));
    QTextStream out(stdout);
    try {
        const QString path = core::DefaultDatabasePath();
        if (!QFileInfo::exists(path))
            dbase::Table::create(core::toNativePath(path), core::InventoryColumns());
        TerminalMessages messages;
        if (!core::CheckDBaseFormat(messages, path)) return 1;
        dbase::Table table;
        core::OpenTable(table, core::LocateTable(path), dbase::ShareMode::Shared,
                        dbase::Access::ReadOnly);
        out << path << ": " << table.countVisible() << " records" << Qt::endl;
    } catch (const std::exception& e) {
        QTextStream(stderr) << "Error: " << QString::fromLocal8Bit(e.what()) << Qt::endl;
        return 1;
    }
    return 0;
}
