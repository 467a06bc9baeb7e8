#pragma once

#include "dbase/Table.h"

#include <QString>

#include <functional>

namespace core {
class MessageService;
}

// The commands that need the main table for their sole use (a new sort order, pack, rebuild
// indexes) all follow one protocol: close the main table, open it exclusively, do the work,
// close it and open it shared again, then let the grid catch up. The main window lends them
// its table and these steps.
struct MainTableHost {
    dbase::Table& table;  // the main table
    QString databasePath; // LastDatabase
    // Closes the main table.
    std::function<void()> closeMainTable;
    // Opens the main table shared again, its sort index selected (built when missing), and
    // makes the grid count its rows anew. May throw dbase::Error.
    std::function<void()> openMainTableShared;
    std::function<void()> SetViewerOptions;
};

// "<command> requires exclusive use of the DBase File.  Make sure ...": what the user is told
// when another program or copy holds the database.
QString ExclusiveUseMessage(const QString& command);

// Opens the (closed) main table at the database path for exclusive, read-write use. Throws
// dbase::LockError when someone else has the file open.
void OpenMainTableExclusive(MainTableHost& host);

enum class MaintenanceResult {
    Declined, // the user answered No
    Refused,  // someone else holds the database; the user has been told
    Done,
};

// Tools, Pack Database: removes the records marked deleted for good and rebuilds every index
// tag. Tools, Rebuild Indexes: builds every index tag again from the records. Both ask first;
// when someone else holds the database they say so and leave the table open shared. In every
// case the main table is open shared again afterwards; an engine error during the work itself
// is thrown on once the table is open again.
MaintenanceResult MenuPackClick(MainTableHost& host, core::MessageService& messages);
MaintenanceResult MenuRebuildClick(MainTableHost& host, core::MessageService& messages);
