#pragma once

#include "dbase/Table.h"

#include <QString>

#include <array>
#include <string_view>

// Creating an inventory table, testing whether another program holds one, and carrying the
// databases of the two earlier versions of the program into the open one.
namespace core {

class MessageService;

// The columns of the earlier layouts from the second column on; the first column of an old file
// is its own and is neither checked nor copied. As a column name only the first 10 characters
// count, so "Description" stands for the column Descriptio.
inline constexpr std::array<std::string_view, 18> kVersion2Columns{
    "Item",       "Brand",    "Model",    "Serial",    "Location", "Description",
    "BoughtFrom", "IDMarks",  "Quantity", "PurchDate", "Cost",     "Category",
    "RepCost",    "Warranty", "WarDate",  "WarNotes",  "Owner",    "Value",
};
inline constexpr std::array<std::string_view, 14> kVersion1Columns{
    "Item",    "Brand",    "Model",    "Serial",     "Room",      "Description", "BoughtFrom",
    "IDMarks", "Quantity", "PurchDay", "PurchMonth", "PurchYear", "Cost",        "Category",
};

// The old databases looked for in the program folder.
inline constexpr std::string_view kVersion2File = "H2LOG.DBF";
inline constexpr std::string_view kVersion1File = "HLOG.DBF";

// Creates an empty inventory table (the 22 catalogue columns, no index) at the path, replacing a
// file no one else holds. A file in use is left alone and the user is told; so is a failure of
// the engine, whose message is shown. Returns true only when the new, empty table is in place.
bool MakeNewDB(MessageService& messages, const QString& path);

// True when someone holds the table at the path (found by the table path rule) so that it
// cannot be opened for exclusive use. A missing file is not in use, and neither is one the
// engine refuses because it is damaged or not a table at all: no one holds it, and creating a
// new table over it must stay possible.
bool DBaseInUse(const QString& path);

// True when the file at the path has the version 2 (19 columns) or version 1 (15 columns)
// layout. Nothing is shown; a file the engine cannot open is simply not an old database. When
// its .MDX is missing the production-index flag is cleared first, as for an inventory table.
bool CheckDBaseFormatV2(const QString& path);
bool CheckDBaseFormatV1(const QString& path);

struct ConversionResult {
    int records = 0;           // records appended to the destination
    int datesNotConverted = 0; // version 1 records whose day, month and year form no date
};

// Appends every record of the old file to the destination, the open inventory table. Either
// every record arrives or none does: when a record cannot be converted (a value the destination
// refuses, a write that fails) the records already appended are deleted again and the engine's
// error is thrown, so the old file can be converted again later without doubling anything.
//
// Version 2 copies its 18 columns to catalogue fields 1 to 18 by position, dates as dates and
// everything else through its text. Version 1 copies its named columns and composes the
// purchase date from day, month ("Jan".."Dec", exactly so, or a number) and year read as
// month/day/year, whatever date format the destination uses; a record whose parts form no date
// keeps an empty purchase date and the conversion goes on.
ConversionResult ConvertV2(const QString& oldPath, dbase::Table& destination);
ConversionResult ConvertV1(const QString& oldPath, dbase::Table& destination);

// The start-up look for H2LOG.DBF and then HLOG.DBF in the program folder: each one with its
// old layout is offered for conversion into the destination, and deleted (its .DBF only) once
// every record has been converted. A failed conversion is reported, keeps the old file and ends
// the look. Returns the number of records added.
int CheckForConversion(MessageService& messages, const QString& programDirectory,
                       dbase::Table& destination);

} // namespace core
