#pragma once

#include "Date.h"
#include "Error.h"
#include "KeyExpression.h"
#include "Record.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbase {

enum class ShareMode { Shared, Exclusive };
enum class Access { ReadOnly, ReadWrite };

// The kinds of column a new table is made of. The physical dBASE type and width of the
// integer, floating-point and date kinds are chosen by columnFor().
enum class ColumnKind { Character, Integer, Float, Date };

struct ColumnDef {
    std::string name;
    ColumnKind kind = ColumnKind::Character;
    int width = 0; // characters, for Character columns only
};

// The physical field a column kind is stored as:
//   Character  C, the given width (1..254)
//   Integer    N 11.0  (every signed 32-bit value, sign included)
//   Float      N 20.4  (15 digits before the point: money up to 12 digits with room to spare)
//   Date       D 8
FieldDef columnFor(const ColumnDef& column);

// A bookmark names a record for as long as the table stays open: take one with
// Table::bookmark(), return to it with Table::gotoBookmark(); nothing needs freeing.
struct Bookmark {
    uint32_t recno = 0; // 0 is "no record"
    explicit operator bool() const { return recno != 0; }
    friend bool operator==(const Bookmark&, const Bookmark&) = default;
};

// What a tag of the production index is built on.
struct IndexDefinition {
    std::string name;       // upper case, as the index stores it
    std::string expression; // the dBASE key expression
    KeyType keyType = KeyType::Character;
    int keyLength = 0;
    std::vector<int> fields; // the plain fields of a "field" or "field+field" key, else empty
    bool caseInsensitive = false;
};

// One open dBASE III/IV table (.DBF) with its production index (.MDX). The table has a cursor
// over its view: the records that are not marked deleted and that pass the filter, in the
// order of the selected index tag, or in record order when none is selected. Every failure
// throws dbase::Error with a message that names the file, field or value concerned.
//
// Sharing follows the dBASE convention with open-file-description locks, so that two Table
// objects of one process exclude each other just as two processes do: an exclusive open fails
// while anyone else has the file open, a shared open fails while someone holds it exclusively.
// Shared writers lock the record they edit and the header while they append.
class Table {
public:
    enum class State { Closed, Browse, Edit, Insert };
    using Filter = std::function<bool(const Record&)>;

    Table();
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Creates (or replaces) a table with these fields and no records. Writes a new file beside
    // the old and renames it over, so an existing table is either kept whole or replaced.
    static void create(const std::string& path, const std::vector<FieldDef>& fields);
    static void create(const std::string& path, const std::vector<ColumnDef>& columns);

    // Opens folder + name + ".DBF" (the name is used as given first, then matched without
    // regard to case, as other dBASE tools write lower-case names).
    void open(const std::string& folder, const std::string& name, ShareMode share, Access access);
    void openFile(const std::string& path, ShareMode share, Access access);
    void close();
    bool isOpen() const { return state_ != State::Closed; }
    State state() const { return state_; }
    const std::string& path() const { return path_; }
    bool isExclusive() const { return share_ == ShareMode::Exclusive; }
    bool isReadOnly() const { return access_ == Access::ReadOnly; }

    // Header facts.
    uint8_t version() const { return version_; }
    uint8_t languageDriver() const { return languageDriver_; }
    int codePage() const; // Windows code page number of the language driver, 0 if unknown
    bool hasProductionIndexFlag() const { return mdxFlag_ != 0; }
    uint32_t recordCount() const { return recordCount_; } // physical records, deleted included
    uint16_t headerLength() const { return headerLength_; }
    uint16_t recordLength() const { return recordLength_; }
    Date lastUpdate() const { return lastUpdate_; }

    // Fields.
    int fieldCount() const { return static_cast<int>(fields_->size()); }
    const std::vector<FieldDef>& fields() const { return *fields_; }
    const FieldDef& field(int index) const; // 0-based position
    int fieldIndex(std::string_view name) const; // case-insensitive; throws naming the field
    int findField(std::string_view name) const;  // -1 when missing

    // Short date format used by text reads and writes of date fields.
    void setDateFormat(const DateFormat& format);
    const DateFormat& dateFormat() const { return dateFormat_; }

    // Cursor. After first() on an empty view both bof() and eof() are true.
    void first();
    void last();
    void next();
    void prior();
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }
    bool isEmpty() const; // no record in the view
    uint32_t recno() const { return recno_; }
    bool isDeleted() const; // deletion mark of the current record buffer
    Bookmark bookmark() const { return Bookmark{recno_}; }
    void gotoBookmark(Bookmark bookmark);

    // Reads the records of the view after the cursor, without moving the cursor, until the
    // callback returns true; returns the bookmark of that record (empty when none did).
    Bookmark scanForward(const Filter& found);

    // For a pass over many records in index order (a report, an export): the records, which
    // then lie anywhere in the file, are read from a mapping of the file instead of one system
    // call each, several times faster. The pages read stay mapped into the process until the
    // pass ends (off again), which is why it is not the default.
    void setBulkReading(bool on);
    bool bulkReading() const { return bulkReading_; }

    // Counts the records in the view (a pass over the table when a filter is set).
    uint32_t countVisible();
    // Counts the records marked deleted.
    uint32_t countDeleted();
    // Reads every record; returns the number of the first one that does not start with a
    // deletion mark (blank or "*"), 0 when all do.
    uint32_t firstBadRecord();

    // The current record (the edit buffer while editing or inserting).
    const Record& record() const { return current_; }
    std::string text(int field) const;
    double number(int field) const;
    Date date(int field) const;

    // Editing. setText converts ("" clears the field); a value that does not convert or fit
    // throws naming field and value, and the field keeps its old value.
    void insert();
    void edit();
    void post();
    // Whether the last post changed the record's place in the current order: a new record, or
    // an edit that changed its key in the selected tag.
    bool movedInOrder() const { return movedInOrder_; }
    void cancel();
    void remove(); // sets the deletion mark; the cursor moves to the next record of the view
    void setText(int field, std::string_view text);
    void setInteger(int field, int64_t value);
    void setNumber(int field, double value);
    void setDate(int field, const Date& value);
    void clear(int field);

    // The filter asked about every candidate record; nullptr removes it. refresh() re-reads
    // the header (records other users added) and applies the filter again.
    void setFilter(Filter filter);
    void refresh();

    // Removes the records marked deleted, for good, and rebuilds every index tag. Needs
    // exclusive, read-write use. The new table is written beside the old one and renamed over.
    void pack();

    // The production index. Adding, deleting and rebuilding tags need exclusive, read-write
    // use; they write a new index file beside the old one and rename it over. Keys of every
    // tag follow inserts and edits; deleted records keep their keys, as in dBASE.
    std::vector<IndexDefinition> indexes() const;
    // Adds an expression tag (replacing a tag of the same name) and sets the table's
    // production index flag. The expression is checked first: nothing is written for one the
    // engine cannot compile.
    void addIndex(const std::string& name, const std::string& expression);
    // Deletes a tag; the index file goes with the last one and the flag is cleared.
    void deleteIndex(const std::string& name);
    // Builds every tag again from the records.
    void reindex();
    // Reads in the order of this tag from now on; "" for record order. The cursor stays on its
    // record.
    void selectIndex(const std::string& name);
    const std::string& selectedIndex() const { return selectedName_; }
    std::optional<IndexDefinition> selectedDefinition() const;
    // Key lookups on the selected tag. The value is the text of the key's first part: text for
    // a character key (a shorter text matches keys that begin with it in findNearest), a number
    // or a date in the short date format for the others. findKey goes to the first record whose
    // key equals the value (a character value padded with blanks), findNearest to the first at
    // or after it (at the end: the last record, returning false). Without a match findKey leaves
    // the cursor where it was.
    bool findKey(std::string_view value);
    bool findNearest(std::string_view value);
    // Why the production index cannot be used (unreadable, or a tag the engine cannot
    // evaluate); "" when it can. Reading in record order works all the same; changing records
    // does not, until addIndex() writes a new index.
    const std::string& indexProblem() const { return indexProblem_; }
    // Walks every tag and checks it against the records: the tree is sound, keys ascend, every
    // record has exactly one entry and its key is the one its fields give. Returns the first
    // fault, or "" when all is well.
    std::string verifyIndexes();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;

    void requireOpen() const;
    void requireWritable() const;
    void requireEditing(const char* operation) const;
    void loadHeader();
    bool readRecord(uint32_t recno, bool forceDisk = false, bool sequential = true);
    bool visible(uint32_t recno, bool sequential = true);
    void mapRecords();
    bool indexed() const { return selectedTag_ >= 0; }
    uint32_t firstInOrder(bool fromEnd);
    uint32_t stepInOrder(int step);
    uint32_t walkIndex(bool onEntry, int step);
    void locateCurrent();
    void checkIndexedRecord(uint32_t recno);
    void updateKeys(const std::string* before, uint32_t recno);
    void openIndex();
    std::string indexPath() const;
    void writeIndexFile(const std::vector<std::pair<std::string, std::string>>& definitions);
    void setIndexFlag(bool on);
    void requireExclusive(const char* operation) const;
    void requireIndexUsable() const;
    std::string keyForLookup(std::string_view value, bool pad) const;
    IndexDefinition definitionOf(int tag) const;
    void positionOn(uint32_t recno);
    void clearPosition();
    uint32_t scanFrom(uint32_t start, int step);
    void writeCurrent(uint32_t recno);
    uint32_t appendCurrent();
    void syncRecordCount();
    void writeHeaderUpdate();

    std::string path_;
    ShareMode share_ = ShareMode::Shared;
    Access access_ = Access::ReadOnly;
    State state_ = State::Closed;

    uint8_t version_ = 0;
    uint8_t languageDriver_ = 0;
    uint8_t mdxFlag_ = 0;
    uint32_t recordCount_ = 0;
    uint16_t headerLength_ = 0;
    uint16_t recordLength_ = 0;
    Date lastUpdate_;
    std::shared_ptr<const std::vector<FieldDef>> fields_;
    DateFormat dateFormat_;

    std::vector<KeyExpression> tagExpressions_; // one per tag of the index, in its order
    std::vector<std::string> tagProblems_;     // why a tag cannot be used until rebuilt
    std::string indexProblem_;                 // why the index as a whole cannot be used
    std::string collationProblem_;             // why it can be read but not kept
    int selectedTag_ = -1;
    std::string selectedName_;

    Record current_;
    std::string saved_; // the record as it was before edit(), for cancel()
    uint32_t recno_ = 0;
    bool bof_ = true;
    bool eof_ = true;
    Filter filter_;
    bool bulkReading_ = false;
    bool movedInOrder_ = false;
};

} // namespace dbase
