#pragma once

#include "dbase/Table.h"

#include <QString>

#include <optional>
#include <string>

// How an inventory table is found from a path the user chose, and the check that a .DBF file
// is an inventory table of this program.
namespace core {

class MessageService;

// A table as the engine opens it: by folder and table name.
struct TableLocation {
    QString folder;    // full path up to and including the last "/"
    QString tableName; // the file name without its ".DBF" extension

    // The production index file: folder + table name + ".MDX".
    QString indexPath() const;
};

// Expands the path to a full path and splits it into folder and table name. A final ".dbf"
// (any letter case) is dropped; a name without it is the table name as it stands, so that
// "MASTER", "master.dbf" and "MASTER.DBF" all name the table MASTER.
TableLocation LocateTable(const QString& path);

// The file of that name in the folder: the exact name if it exists, else the first file whose
// name matches it without regard to the case of a..z (other dBASE tools write ".mdx").
std::optional<QString> FindCompanionFile(const QString& folder, const QString& fileName);

// A file name as the operating system and the engine take it (the local 8-bit encoding).
std::string toNativePath(const QString& path);

// Opens the table at the location; engine failures throw dbase::Error.
void OpenTable(dbase::Table& table, const TableLocation& location, dbase::ShareMode share,
               dbase::Access access);

// True when the file at the path is an inventory table of this program: exactly the 22
// catalogue columns in catalogue order, names compared without regard to case. On false the
// user has been told. When the table's .MDX is missing its production-index flag is cleared
// first, so that the table can be opened without it. A file the engine cannot open throws
// dbase::Error and shows nothing.
bool CheckDBaseFormat(MessageService& messages, const QString& path);

// Clears the production-index flag in the header of the .DBF file at the path. A file that
// cannot be opened, or whose header is not a dBASE III/IV header, is left alone without a
// word; a failed write throws std::runtime_error naming the file.
void RemoveMDXByte(const QString& path);

} // namespace core
