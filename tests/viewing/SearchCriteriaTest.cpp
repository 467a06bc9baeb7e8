#include "viewing/SearchCriteria.h"

#include "core/FieldCatalogue.h"
#include "core/Settings.h"
#include "dbase/Table.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using viewing::SearchCriteria;
using viewing::SearchOperator;
using viewing::SearchPass;
using Op = SearchOperator;

constexpr int kBrand = 2;
constexpr int kQuantity = 9;
constexpr int kPurchDate = 10;
constexpr int kCost = 11;
constexpr int kCategory = 12;

// A record as catalogue number -> typed value.
using Fields = std::map<int, std::string>;
// A level as catalogue number -> (row operator, cell text).
using Level = std::map<int, std::pair<Op, QString>>;

// Real records in a scratch table, so that the criteria read them as the filter does.
class Records {
public:
    explicit Records(const std::vector<Fields>& records) {
        const std::string path = dir_.filePath(QStringLiteral("SEARCH.DBF")).toStdString();
        dbase::Table::create(path, core::InventoryColumns());
        table_.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        for (const Fields& fields : records) {
            table_.insert();
            for (const auto& [field, value] : fields)
                table_.setText(field - 1, value);
            table_.post();
        }
    }

    // Which records (1-based, in record order) pass.
    std::vector<int> passing(const SearchCriteria& criteria) {
        std::vector<int> result;
        int n = 0;
        for (table_.first(); !table_.eof(); table_.next()) {
            ++n;
            if (criteria.matches(table_.record())) result.push_back(n);
        }
        return result;
    }

    dbase::Table& table() { return table_; }

private:
    QTemporaryDir dir_;
    dbase::Table table_;
};

viewing::SearchOperators operatorsOf(const Level& level) {
    viewing::SearchOperators ops; // every row Equal unless the level says otherwise
    for (int f = 1; f <= core::kFieldCount; ++f)
        ops[f] = Op::Equal;
    for (const auto& [field, entry] : level)
        ops[field] = entry.first;
    return ops;
}

viewing::SearchPassResult add(SearchCriteria& criteria, const Level& level) {
    viewing::SearchCells cells;
    for (const auto& [field, entry] : level)
        cells[static_cast<size_t>(field - 1)] = entry.second;
    return criteria.addRows(cells, operatorsOf(level), dbase::DateFormat{});
}

const std::vector<Fields> kStock = {
    /*1*/ {{kBrand, "Sony"}, {kCost, "100"}, {kCategory, "Power Tools"}},
    /*2*/ {{kBrand, "SONY"}, {kCost, "150.5"}, {kCategory, "Kitchen"}, {kPurchDate, "3/15/2020"}},
    /*3*/ {{kBrand, "Edison"}, {kCost, "200"}, {kCategory, "tools"}, {kPurchDate, "1/1/2019"}},
    /*4*/ {{kBrand, "Philips"}, {kCost, "600"}, {kCategory, "Books"}, {kPurchDate, "6/30/2021"}},
    /*5*/ {{kBrand, "S*ny"}, {kQuantity, "3"}, {kCategory, "Music"}},
};

struct FilterCase {
    const char* name;
    std::vector<Level> levels;
    std::vector<int> expected;
};
void PrintTo(const FilterCase& c, std::ostream* out) {
    *out << c.name;
}

class SearchFilterTest : public testing::TestWithParam<FilterCase> {};

TEST_P(SearchFilterTest, PassesTheRecordsOfAnyLevel) {
    Records records(kStock);
    SearchCriteria criteria;
    for (const Level& level : GetParam().levels) {
        ASSERT_EQ(add(criteria, level).result, SearchPass::Taken);
        criteria.nextLevel();
    }
    EXPECT_EQ(records.passing(criteria), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchFilterTest,
    testing::Values(
        // "son" lies inside Sony, SONY and Edison; nothing else, and no exact match is needed.
        FilterCase{
            "containsIgnoresCase", {{{kBrand, {Op::Equal, QStringLiteral(" son ")}}}}, {1, 2, 3}},
        // "*" is a character like any other: only S*ny holds it.
        FilterCase{"noWildcards", {{{kBrand, {Op::Equal, QStringLiteral("s*")}}}}, {5}},
        // 100 < cost < 200 leaves 150.5 only: both ends are out.
        FilterCase{"betweenExcludesEnds",
                   {{{kCost, {Op::Between, QStringLiteral("> 100       AND < 200      ")}}}},
                   {2}},
        FilterCase{"equalNumber", {{{kCost, {Op::Equal, QStringLiteral("= 200")}}}}, {3}},
        // An empty cost reads as 0: record 5 is below 150 too.
        FilterCase{
            "lessNumberTakesEmpty", {{{kCost, {Op::Less, QStringLiteral("< 150")}}}}, {1, 5}},
        // Records 1 and 5 have no purchase date, which reads as before every date.
        FilterCase{"lessDateTakesEmpty",
                   {{{kPurchDate, {Op::Less, QStringLiteral("< 03/15/2020")}}}},
                   {1, 3, 5}},
        FilterCase{
            "greaterDate", {{{kPurchDate, {Op::Greater, QStringLiteral("> 3/15/2020")}}}}, {4}},
        FilterCase{"equalDateWithMaskBlanks",
                   {{{kPurchDate, {Op::Equal, QStringLiteral("= 3 /15/2020")}}}},
                   {2}},
        FilterCase{"betweenDates",
                   {{{kPurchDate, {Op::Between, QStringLiteral("> 1/1/2019 AND < 6/30/2021")}}}},
                   {2}},
        // Within a level every test must hold.
        FilterCase{"andWithinLevel",
                   {{{kBrand, {Op::Equal, QStringLiteral("son")}},
                     {kCost, {Op::Greater, QStringLiteral("> 120")}}}},
                   {2, 3}},
        // Category tools OR cost above 500.
        FilterCase{"orAcrossLevels",
                   {{{kCategory, {Op::Equal, QStringLiteral("tools")}}},
                    {{kCost, {Op::Greater, QStringLiteral("> 500")}}}},
                   {1, 3, 4}},
        // A failing first level does not spoil the second.
        FilterCase{"firstLevelFails",
                   {{{kBrand, {Op::Equal, QStringLiteral("nobody")}}},
                    {{kQuantity, {Op::Equal, QStringLiteral("= 3")}}}},
                   {5}}),
    [](const testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

TEST(SearchCriteriaTest, NoCriterionPassesNothing) {
    Records records(kStock);
    EXPECT_TRUE(records.passing(SearchCriteria{}).empty());
}

TEST(SearchCriteriaTest, EachCriterionAsTheListKeepsIt) {
    SearchCriteria criteria;
    ASSERT_EQ(add(criteria, {{kBrand, {Op::Equal, QStringLiteral("  sony b  ")}},
                             {kPurchDate, {Op::Equal, QStringLiteral("= 12/31/1899")}},
                             {kCost, {Op::Between, QStringLiteral("> 1.5 AND < 2E3")}}})
                  .result,
              SearchPass::Taken);
    ASSERT_EQ(criteria.count(), 4);
    EXPECT_EQ(criteria.at(1).text, "SONY B");
    EXPECT_EQ(criteria.at(1).op, Op::Contains);
    EXPECT_FALSE(criteria.at(1).levelEnd);
    // 31 December 1899 is day 1 (day 0 is the day before).
    EXPECT_EQ(criteria.at(2).text, "1");
    EXPECT_TRUE(criteria.at(2).isDate);
    EXPECT_EQ(criteria.at(3).op, Op::Greater);
    EXPECT_EQ(criteria.at(3).number, 1.5);
    EXPECT_EQ(criteria.at(4).op, Op::Less);
    EXPECT_EQ(criteria.at(4).number, 2000.0);
    EXPECT_TRUE(criteria.at(4).levelEnd);
}

struct RefusedCase {
    const char* name;
    Level level;
    int failingRow;
};
void PrintTo(const RefusedCase& c, std::ostream* out) {
    *out << c.name;
}

class RefusedRowTest : public testing::TestWithParam<RefusedCase> {};

// A row that does not read drops everything this pass took, and only that.
TEST_P(RefusedRowTest, DropsThePassAndNamesTheRow) {
    SearchCriteria criteria;
    ASSERT_EQ(add(criteria, {{kBrand, {Op::Equal, QStringLiteral("a")}}}).result,
              SearchPass::Taken);
    criteria.nextLevel();
    Level level = GetParam().level;
    level[1] = {Op::Equal, QStringLiteral("item")}; // taken before the bad row, then dropped
    const viewing::SearchPassResult result = add(criteria, level);
    EXPECT_EQ(result.result, SearchPass::Invalid);
    EXPECT_EQ(result.row, GetParam().failingRow);
    EXPECT_EQ(criteria.count(), 1);
    EXPECT_EQ(criteria.level(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedRowTest,
    testing::Values(
        RefusedCase{"notANumber", {{kCost, {Op::Equal, QStringLiteral("= 12a")}}}, kCost},
        RefusedCase{
            "commaIsNoDecimalPoint", {{kCost, {Op::Greater, QStringLiteral("> 1,5")}}}, kCost},
        RefusedCase{
            "pointWithoutDigits", {{kQuantity, {Op::Less, QStringLiteral("< 1.")}}}, kQuantity},
        // Typed "= 5", then the operator changed to between: no AND, one side only.
        RefusedCase{"betweenOneSide", {{kCost, {Op::Between, QStringLiteral("= 5")}}}, kCost},
        RefusedCase{
            "betweenUpperOnly", {{kCost, {Op::Between, QStringLiteral("> AND < 5")}}}, kCost},
        RefusedCase{
            "notADate", {{kPurchDate, {Op::Equal, QStringLiteral("= 13/45/2020")}}}, kPurchDate},
        RefusedCase{"betweenDateOneSide",
                    {{kPurchDate, {Op::Between, QStringLiteral(">   /  /     AND < 1/1/2020")}}},
                    kPurchDate},
        // A character no table can hold can never be found.
        RefusedCase{"outsideCodePage", {{kBrand, {Op::Equal, QStringLiteral("\u4e2d")}}}, kBrand}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

// Operators alone, untouched date masks and blanks give no criterion at all.
TEST(SearchCriteriaTest, EmptyRowsGiveNothing) {
    SearchCriteria criteria;
    const viewing::SearchPassResult result =
        add(criteria, {{kBrand, {Op::Equal, QStringLiteral("   ")}},
                       {kCost, {Op::Greater, QStringLiteral(">          ")}},
                       {kQuantity, {Op::Between, QStringLiteral(">  AND < ")}},
                       {kPurchDate, {Op::Equal, QStringLiteral("=   /  /    ")}},
                       {15, {Op::Between, QStringLiteral(">   /  /     AND <   /  /    ")}}});
    EXPECT_EQ(result.result, SearchPass::NothingEntered);
    EXPECT_EQ(criteria.count(), 0);
}

// 75 criteria are allowed; the 76th, wherever it falls, clears every level. A between row
// counts as two.
TEST(SearchCriteriaTest, SeventySixCriteriaClearEverything) {
    auto fill = [](SearchCriteria& criteria, int count) {
        // Up to eight text rows per level.
        while (count > 0) {
            Level level;
            for (int field = 1; field <= 8 && count > 0; ++field, --count)
                level[field] = {Op::Equal, QStringLiteral("x")};
            if (add(criteria, level).result != SearchPass::Taken) return false;
            criteria.nextLevel();
        }
        return true;
    };
    SearchCriteria full;
    ASSERT_TRUE(fill(full, 74));
    ASSERT_EQ(add(full, {{1, {Op::Equal, QStringLiteral("x")}}}).result, SearchPass::Taken);
    EXPECT_EQ(full.count(), 75);

    SearchCriteria single;
    ASSERT_TRUE(fill(single, 75));
    EXPECT_EQ(add(single, {{1, {Op::Equal, QStringLiteral("x")}}}).result, SearchPass::TooMany);
    EXPECT_EQ(single.count(), 0);
    EXPECT_EQ(single.level(), 1);

    SearchCriteria between;
    ASSERT_TRUE(fill(between, 74));
    EXPECT_EQ(add(between, {{kCost, {Op::Between, QStringLiteral("> 1 AND < 2")}}}).result,
              SearchPass::TooMany);
    EXPECT_EQ(between.count(), 0);
}

TEST(SearchCriteriaTest, LevelStopsAtTen) {
    SearchCriteria criteria;
    for (int i = 0; i < 12; ++i)
        criteria.nextLevel();
    EXPECT_EQ(criteria.level(), 10);
    EXPECT_EQ(viewing::CriteriaTitle(10), QStringLiteral(" SEARCH CRITERIA    (Level 10)"));
}

// The table's filter follows the search-on flag and the criteria as they are at each read.
TEST(SearchCriteriaTest, TableFilterFollowsTheSearchFlag) {
    Records records(kStock);
    core::Settings settings;
    SearchCriteria criteria;
    ASSERT_EQ(add(criteria, {{kCategory, {Op::Equal, QStringLiteral("TOOLS")}}}).result,
              SearchPass::Taken);
    records.table().setFilter(viewing::MakeSearchFilter(settings, criteria));
    EXPECT_EQ(records.table().countVisible(), 5u);
    settings.SearchActive = true;
    records.table().refresh();
    EXPECT_EQ(records.table().countVisible(), 2u);
    criteria.clear();
    EXPECT_EQ(records.table().countVisible(), 0u);
}

} // namespace
