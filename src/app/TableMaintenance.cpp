#include "app/TableMaintenance.h"

#include "core/InventoryFile.h"
#include "core/MessageService.h"

namespace {

core::Message error(const QString& text) {
    return {.caption = QStringLiteral("Error"),
            .text = text,
            .buttons = core::MessageButtons::Ok,
            .icon = core::MessageIcon::Error};
}

bool confirmed(core::MessageService& messages, const QString& question) {
    return messages.show({.caption = QStringLiteral("Confirm"),
                          .text = question,
                          .buttons = core::MessageButtons::YesNo,
                          .icon = core::MessageIcon::Question}) == core::MessageButton::Yes;
}

void reopenShared(MainTableHost& host) {
    host.closeMainTable();
    host.openMainTableShared();
    host.SetViewerOptions();
}

MaintenanceResult withSoleUse(MainTableHost& host, core::MessageService& messages,
                              const QString& question, const QString& refused,
                              const std::function<void(dbase::Table&)>& work) {
    if (!confirmed(messages, question)) return MaintenanceResult::Declined;
    host.closeMainTable();
    try {
        OpenMainTableExclusive(host);
    } catch (const dbase::Error&) {
        // Open again before telling the user, so that the grid behind the box has its table.
        host.closeMainTable();
        host.openMainTableShared();
        host.SetViewerOptions();
        messages.show(error(refused));
        return MaintenanceResult::Refused;
    }
    try {
        work(host.table);
    } catch (...) {
        // The engine rewrites its files beside the old ones, so the table is whole either way:
        // give it back to the grid before the error is reported.
        reopenShared(host);
        throw;
    }
    reopenShared(host);
    return MaintenanceResult::Done;
}

} // namespace

QString ExclusiveUseMessage(const QString& command) {
    return command +
           QStringLiteral(
               " requires exclusive use of the DBase File.  Make sure that the DBase File "
               "is not in use by another program  or that no other users are running "
               "the software or that no other copies of the software are in use.");
}

void OpenMainTableExclusive(MainTableHost& host) {
    core::OpenTable(host.table, core::LocateTable(host.databasePath), dbase::ShareMode::Exclusive,
                    dbase::Access::ReadWrite);
}

MaintenanceResult MenuPackClick(MainTableHost& host, core::MessageService& messages) {
    return withSoleUse(
        host, messages,
        QStringLiteral(
            "Deleted items are not permanently removed from the database until packing occurs.  "
            "Packing simply removes them to free up space.  Continue?"),
        QStringLiteral("Unable to pack table.  ") + ExclusiveUseMessage(QStringLiteral("Packing")),
        [](dbase::Table& table) { table.pack(); });
}

MaintenanceResult MenuRebuildClick(MainTableHost& host, core::MessageService& messages) {
    return withSoleUse(
        host, messages,
        QStringLiteral(
            "It is possible for your index files to become corrupted.  As a result, some items may "
            "not show up in the viewer or in reports.  This will rebuild your index files "
            "correctly.  Continue?"),
        QStringLiteral("Unable to reindex table.  ") +
            ExclusiveUseMessage(QStringLiteral("Reindexing")),
        [](dbase::Table& table) { table.reindex(); });
}
