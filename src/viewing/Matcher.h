#pragma once

#include <string>

namespace core {
class MessageService;
}
namespace dbase {
class Table;
}

namespace viewing {

// How a typed value matches a field's text. The numbers are the ones the settings of older
// versions used.
enum class MatchType { ExactMatch = 0, PartialMatchStart = 1, PartialMatchAny = 2 };

enum class LocateFrom { Beginning, NextRecord };

struct LocateRequest {
    LocateFrom from = LocateFrom::NextRecord;
    std::string column; // the field's column name
    std::string value;  // table text (Windows-1252 bytes)
    MatchType matchType = MatchType::PartialMatchStart;
    bool caseSensitive = false;
};

// Finds the next record whose value in one field matches a typed value, in the table's current
// order, and makes it the current record. Without a match the cursor stays where it was.
//
// A field's text is the engine's text of it (numbers in their shortest form, dates in the
// table's date format, logicals as True or False). An exact search on a number field compares
// numbers instead. When the table is ordered by a tag whose first part is the searched field,
// exact and beginning-of-text searches go through the index rather than reading the table.
class Matcher {
public:
    Matcher(dbase::Table& table, core::MessageService& messages);

    // True when a record matched; the table's cursor then stands on it. A column the table
    // does not have is reported (warning) and matches nothing.
    bool find(const LocateRequest& request);

    // Whether the last find answered from the index (for tests and timing).
    bool usedIndex() const { return usedIndex_; }

private:
    dbase::Table& table_;
    core::MessageService& messages_;
    bool usedIndex_ = false;
};

} // namespace viewing
