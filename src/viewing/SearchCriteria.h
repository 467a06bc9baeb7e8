#pragma once

#include "core/Settings.h"
#include "dbase/Date.h"
#include "dbase/Table.h"

#include <QString>

#include <array>
#include <string>
#include <vector>

// The query by example of the search window, without the window: the text typed beside each
// field turned into simple tests, and the test of one candidate record. The tests of one level
// are joined by AND, the levels by OR.
namespace viewing {

// Row operators of number and date rows, and the operators of a criterion. A between row
// becomes a greater-than and a less-than criterion; text rows always give "contains".
enum class SearchOperator { Equal = 1, Greater = 2, Less = 3, Between = 4, Contains = 5 };

struct SearchCriterion {
    std::string text; // text: upper case; number: as typed; date: the day number
    double number = 0;
    dbase::Date date{};
    int field = 0; // catalogue number 1..22
    SearchOperator op = SearchOperator::Contains;
    bool levelEnd = false;
    bool isDate = false;
};

// What one pass over the criteria column gave.
enum class SearchPass {
    Taken,          // at least one criterion taken; the last one closes the level
    NothingEntered, // no row gave a criterion; nothing changed
    Invalid,        // a row did not read; this pass's criteria are dropped
    TooMany,        // the limit was passed; every criterion and level is cleared
};

struct SearchPassResult {
    SearchPass result = SearchPass::NothingEntered;
    int row = 0; // the row that did not read (Invalid), else 0
};

// The typed text of each row (index 0 is row 1, catalogue number 1) and the row operators.
using SearchCells = std::array<QString, core::kFieldCount>;
using SearchOperators = core::FieldArray<SearchOperator>;

class SearchCriteria {
public:
    static constexpr int kMaxCriteria = 75;
    static constexpr int kMaxLevel = 10;

    int count() const { return static_cast<int>(criteria_.size()); }
    const SearchCriterion& at(int number) const; // 1..count
    int level() const { return level_; }
    bool isEmpty() const { return criteria_.empty(); }

    // No criterion, level 1.
    void clear();
    // Moves to the next level, at most to level 10; returns the new level.
    int nextLevel();

    // Turns the rows into criteria and adds them to the list (SaveFields). Dates are read in
    // the short date format.
    SearchPassResult addRows(const SearchCells& cells, const SearchOperators& operators,
                             const dbase::DateFormat& format);

    // The test of one candidate record (BuildFilter): true when every criterion of at least
    // one level holds. No criterion: false. Fields are found in the record by column name.
    bool matches(const dbase::Record& record) const;

private:
    std::vector<SearchCriterion> criteria_;
    int level_ = 1;
    // The record's column of each catalogue number, for the field list last seen.
    mutable const dbase::FieldDef* resolvedFor_ = nullptr;
    mutable std::array<int, core::kFieldCount + 1> columns_{};
    void resolveColumns(const dbase::Record& record) const;
};

// The messages of a pass, exactly as the user sees them (caption "Error").
QString InvalidCriteriaMessage();
QString TooManyCriteriaMessage();
QString NoCriteriaMessage();
// The criteria column's title for a level: " SEARCH CRITERIA    (Level n)".
QString CriteriaTitle(int level);

// The edit mask of a row's criterion cell in the program's mask notation, by its field kind
// and operator. Text rows take as many optional characters as the field is wide.
QString CriterionEditMask(int field, SearchOperator op);

// Whether a row offers options behind its button: number, date and pick-list rows.
bool RowHasOptions(int field);
bool IsNumberRow(int field);
bool IsDateRow(int field);

// The inventory table's filter callback (MyTableFilter): while the search is on, a record
// passes when it meets the criteria; otherwise every record passes. The settings and criteria
// are read at each call, so the callback is installed once per opening of the table.
dbase::Table::Filter MakeSearchFilter(const core::Settings& settings,
                                      const SearchCriteria& criteria);

} // namespace viewing
