#include "core/DatabaseFiles.h"

#include "core/FieldCatalogue.h"
#include "core/InventoryFile.h"
#include "core/MessageService.h"
#include "core/TextFormat.h"

#include <QFile>
#include <QFileInfo>

#include <exception>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace core {
namespace {

constexpr size_t kColumnNameLength = 10;

std::string_view columnName(std::string_view name) {
    return name.substr(0, kColumnNameLength);
}

QString engineText(const std::exception& error) {
    return QString::fromLocal8Bit(error.what());
}

void showError(MessageService& messages, const QString& text) {
    messages.show({
        .caption = QStringLiteral("Error"),
        .text = text,
        .buttons = MessageButtons::Ok,
        .icon = MessageIcon::Error,
    });
}

// The .DBF file the table path rule leads to, if there is one.
std::optional<QString> tableFile(const TableLocation& location) {
    return FindCompanionFile(location.folder, location.tableName + QStringLiteral(".DBF"));
}

// Opens the old file read-only and compares columns 2 onwards with the layout's names.
bool hasOldLayout(const QString& path, std::span<const std::string_view> names) {
    try {
        const TableLocation location = LocateTable(path);
        if (!FindCompanionFile(location.folder, location.tableName + QStringLiteral(".MDX"))) {
            if (const auto file = tableFile(location)) RemoveMDXByte(*file);
        }
        dbase::Table old;
        OpenTable(old, location, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
        if (old.fieldCount() != static_cast<int>(names.size()) + 1) return false;
        for (size_t i = 0; i < names.size(); ++i) {
            if (UpperAscii(old.field(static_cast<int>(i) + 1).name) !=
                UpperAscii(columnName(names[i])))
                return false;
        }
        return true;
    } catch (const std::runtime_error&) {
        // A file that cannot be read as a table is no old database of ours, and at start-up
        // there is no one to ask about it.
        return false;
    }
}

// Copies one value; dates go as dates, so no date format (and no two-digit year) comes between.
void copyValue(const dbase::Table& from, int fromField, dbase::Table& to, int toField) {
    if (from.field(fromField).type == 'D' && to.field(toField).type == 'D') {
        to.setDate(toField, from.date(fromField));
    } else {
        to.setText(toField, from.text(fromField));
    }
}

struct FieldPair {
    int from;
    int to;
};

// Marks the records appended so far as deleted; returns why that failed, or "" when it did not.
std::string takeBack(dbase::Table& destination, const std::vector<uint32_t>& added) {
    try {
        for (auto recno = added.rbegin(); recno != added.rend(); ++recno) {
            destination.gotoBookmark(dbase::Bookmark{*recno});
            destination.remove();
        }
        return {};
    } catch (const std::exception& error) {
        return error.what();
    }
}

// Appends one destination record per record of the old file, each filled by the filler that
// `prepare` makes for the opened old table. All or nothing: on the first failure the records
// appended before are deleted again and the failure is thrown.
template <typename Prepare>
ConversionResult appendRecords(const QString& oldPath, dbase::Table& destination, Prepare prepare) {
    dbase::Table old;
    OpenTable(old, LocateTable(oldPath), dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    auto fill = prepare(old);
    ConversionResult result;
    std::vector<uint32_t> added;
    try {
        for (old.first(); !old.eof(); old.next()) {
            const uint32_t before = destination.recno();
            destination.insert();
            try {
                fill(old, result);
                destination.post();
            } catch (...) {
                // post() may fail after the record was written (its index keys, say): then the
                // cursor is on the new record and it must go with the others.
                if (destination.state() == dbase::Table::State::Insert) {
                    destination.cancel();
                } else if (destination.recno() != before) {
                    added.push_back(destination.recno());
                }
                throw;
            }
            added.push_back(destination.recno());
            ++result.records;
        }
    } catch (const std::exception& failure) {
        const std::string problem = takeBack(destination, added);
        if (!problem.empty()) {
            throw dbase::Error(
                std::string(failure.what()) +
                ".  The records converted before could not be removed again: " + problem);
        }
        throw;
    }
    return result;
}

// Day, month and year of a version 1 record read as "m/d/y" with "/": the month name or
// number, then the day, then the year (two digits by the destination's century window).
std::optional<dbase::Date> version1Date(const std::string& day, const std::string& month,
                                        const std::string& year, int pivotYear) {
    static constexpr std::array<std::string_view, 12> kMonths{
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    auto part = [](const std::string& text) {
        return TrimBlanks(std::string_view(text).substr(0, 4));
    };
    std::string m = part(month);
    for (size_t i = 0; i < kMonths.size(); ++i) {
        if (m == kMonths[i]) m = std::to_string(i + 1);
    }
    const dbase::DateFormat monthDayYear{.separator = '/',
                                         .order = dbase::DateFormat::Order::MonthDayYear,
                                         .fourDigitYear = false,
                                         .pivotYear = pivotYear};
    return monthDayYear.parse(m + "/" + part(day) + "/" + part(year));
}

struct OldDatabase {
    std::string_view file;
    const char* version;
    bool (*check)(const QString&);
    ConversionResult (*convert)(const QString&, dbase::Table&);
};

// Offers the old database, if it is there with its layout, and converts it on Yes. Returns the
// records added, or nullopt when the conversion failed (the user has been told).
std::optional<int> offerConversion(MessageService& messages, const QString& folder,
                                   const OldDatabase& database, dbase::Table& destination) {
    const QString name = QString::fromLatin1(database.file);
    const auto path = FindCompanionFile(folder, name);
    if (!path || !database.check(*path)) return 0;
    const MessageButton answer = messages.show({
        .caption = QStringLiteral("Convert"),
        .text = QStringLiteral("A database from a previous version (") +
                QString::fromLatin1(database.version) +
                QStringLiteral(") has been detected.  Would you like to convert it now?  NOTE: "
                               "After conversion the old file will be deleted.  You may wish to "
                               "make a copy of \"") +
                name + QStringLiteral("\" first."),
        .buttons = MessageButtons::YesNo,
        .icon = MessageIcon::Question,
    });
    if (answer != MessageButton::Yes) return 0;

    int added = 0;
    try {
        added = database.convert(*path, destination).records;
    } catch (const std::exception& error) {
        showError(messages, engineText(error));
        return std::nullopt;
    }
    // A file left behind would be offered, and its records added, once more at the next start.
    QFile old(*path);
    if (!old.remove()) {
        showError(messages, QStringLiteral("The old database \"") + name +
                                QStringLiteral("\" has been converted but could not be deleted: ") +
                                old.errorString() +
                                QStringLiteral(".  Delete it yourself, or it will be offered for "
                                               "conversion again."));
    }
    return added;
}

} // namespace

bool MakeNewDB(MessageService& messages, const QString& path) {
    if (QFileInfo::exists(path) && DBaseInUse(path)) {
        showError(messages, QStringLiteral("The table \"") + path +
                                QStringLiteral("\" is currently in use by another program.  New "
                                               "table creation will be aborted."));
        return false;
    }
    try {
        dbase::Table::create(toNativePath(QFileInfo(path).absoluteFilePath()), InventoryColumns());
    } catch (const std::exception& error) {
        // The engine replaces a file whole or not at all: a file still there is the old table,
        // not the new one asked for.
        showError(messages, engineText(error));
        return false;
    }
    return QFileInfo::exists(path);
}

bool DBaseInUse(const QString& path) {
    const TableLocation location = LocateTable(path);
    const auto file = tableFile(location);
    if (!file) return false;
    try {
        dbase::Table check;
        OpenTable(check, location, dbase::ShareMode::Exclusive, dbase::Access::ReadOnly);
        check.close();
        return false;
    } catch (const dbase::LockError&) {
        return true;
    } catch (const dbase::Error&) {
        return false; // damaged, not held: it may be replaced
    }
}

bool CheckDBaseFormatV2(const QString& path) {
    return hasOldLayout(path, kVersion2Columns);
}

bool CheckDBaseFormatV1(const QString& path) {
    return hasOldLayout(path, kVersion1Columns);
}

ConversionResult ConvertV2(const QString& oldPath, dbase::Table& destination) {
    return appendRecords(oldPath, destination, [&](const dbase::Table& old) {
        std::vector<FieldPair> pairs;
        for (size_t i = 0; i < kVersion2Columns.size(); ++i) {
            pairs.push_back({old.fieldIndex(columnName(kVersion2Columns[i])),
                             destination.fieldIndex(CatalogueName(static_cast<int>(i) + 1))});
        }
        return [&destination, pairs](const dbase::Table& record, ConversionResult&) {
            for (const FieldPair& pair : pairs)
                copyValue(record, pair.from, destination, pair.to);
        };
    });
}

ConversionResult ConvertV1(const QString& oldPath, dbase::Table& destination) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 11> kCopied{{
        {"Item", "Item"},
        {"Brand", "Brand"},
        {"Model", "Model"},
        {"Serial", "Serial"},
        {"Room", "Location"},
        {"Description", "Descriptio"},
        {"BoughtFrom", "BoughtFrom"},
        {"IDMarks", "IDMarks"},
        {"Quantity", "Quantity"},
        {"Cost", "Cost"},
        {"Category", "Category"},
    }};
    return appendRecords(oldPath, destination, [&](const dbase::Table& old) {
        std::vector<FieldPair> pairs;
        for (const auto& [from, to] : kCopied) {
            pairs.push_back(
                {old.fieldIndex(columnName(from)), destination.fieldIndex(columnName(to))});
        }
        const int day = old.fieldIndex("PurchDay");
        const int month = old.fieldIndex("PurchMonth");
        const int year = old.fieldIndex("PurchYear");
        const int purchased = destination.fieldIndex("PurchDate");
        return [&destination, pairs, day, month, year, purchased](const dbase::Table& record,
                                                                  ConversionResult& result) {
            for (const FieldPair& pair : pairs)
                copyValue(record, pair.from, destination, pair.to);
            const auto date = version1Date(record.text(day), record.text(month), record.text(year),
                                           destination.dateFormat().pivotYear);
            if (date) {
                destination.setDate(purchased, *date);
            } else {
                ++result.datesNotConverted;
            }
        };
    });
}

int CheckForConversion(MessageService& messages, const QString& programDirectory,
                       dbase::Table& destination) {
    static constexpr std::array<OldDatabase, 2> kOldDatabases{{
        {kVersion2File, "2.X", CheckDBaseFormatV2, ConvertV2},
        {kVersion1File, "1.X", CheckDBaseFormatV1, ConvertV1},
    }};
    QString folder = programDirectory;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    int added = 0;
    for (const OldDatabase& database : kOldDatabases) {
        const std::optional<int> converted =
            offerConversion(messages, folder, database, destination);
        if (!converted) break;
        added += *converted;
    }
    return added;
}

} // namespace core
