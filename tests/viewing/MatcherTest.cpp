// The locate matcher on real tables in a scratch folder: match types, case, numbers, dates,
// the index shortcut and the scan, and where the cursor stands afterwards.

#include "viewing/Matcher.h"

#include "core/MessageService.h"
#include "dbase/Table.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using viewing::LocateFrom;
using viewing::LocateRequest;
using viewing::MatchType;

constexpr int kItem = 0;
constexpr int kBrand = 1;

struct Row {
    const char* item;
    const char* brand;
    const char* cost;
    const char* date; // m/d/yyyy
    bool warranty;
};

// Record order differs from brand order, so index order and record order disagree.
const std::vector<Row> kRows = {
    {"Radio", "Sony", "5.00", "3/4/2020", true},        // 1
    {"Phonograph", "Edison", "5.5", "1/2/1999", false}, // 2
    {"Lamp", "Acme", "50", "", false},                  // 3
    {"Television", "Sony", "120.75", "", true},         // 4
    {"Kettle", "sony", "", "", false},                  // 5
    {"Toaster", "Acme", "-3", "", false},               // 6
};

class MatcherTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        path_ = folder_.filePath(QStringLiteral("GOODS.DBF")).toStdString();
        std::vector<dbase::FieldDef> fields = {
            dbase::columnFor({"ITEM", dbase::ColumnKind::Character, 20}),
            dbase::columnFor({"BRAND", dbase::ColumnKind::Character, 20}),
            dbase::columnFor({"COST", dbase::ColumnKind::Float}),
            dbase::columnFor({"PURCHDATE", dbase::ColumnKind::Date}),
            dbase::FieldDef{.name = "WARRANTY", .type = 'L', .width = 1},
        };
        dbase::Table::create(path_, fields);
        dbase::Table t;
        t.openFile(path_, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
        for (const Row& row : kRows) {
            t.insert();
            t.setText(0, row.item);
            t.setText(1, row.brand);
            t.setText(2, row.cost);
            t.setText(3, row.date);
            t.setText(4, row.warranty ? "T" : "F");
            t.post();
        }
        t.addIndex("BRAND", "BRAND");
        t.addIndex("UBRAND", "Upper(BRAND)");
        t.addIndex("COST", "COST");
        t.close();
        table_.openFile(path_, dbase::ShareMode::Shared, dbase::Access::ReadWrite);
        table_.first();
    }

    bool find(LocateFrom from, const std::string& column, const std::string& value,
              MatchType type = MatchType::PartialMatchStart, bool caseSensitive = false) {
        return matcher_.find({.from = from,
                              .column = column,
                              .value = value,
                              .matchType = type,
                              .caseSensitive = caseSensitive});
    }
    std::string item() const { return table_.text(kItem); }
    void goTo(const std::string& wanted) {
        for (table_.first(); !table_.eof(); table_.next())
            if (item() == wanted) return;
        FAIL() << "no record " << wanted;
    }

    QTemporaryDir folder_;
    std::string path_;
    dbase::Table table_;
    core::ScriptedMessageService messages_;
    viewing::Matcher matcher_{table_, messages_};
};

// Searches from the beginning in record order: which record each one finds ("" for none).
TEST_F(MatcherTest, MatchTypesCaseAndFieldKinds) {
    struct Case {
        const char* name;
        const char* column;
        const char* value;
        MatchType type;
        bool caseSensitive;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"default so finds Sony, not Edison", "BRAND", "so", MatchType::PartialMatchStart, false,
         "Radio"},
        {"anywhere di finds Edison", "BRAND", "di", MatchType::PartialMatchAny, false,
         "Phonograph"},
        {"exact so finds neither", "BRAND", "so", MatchType::ExactMatch, false, ""},
        {"case-sensitive so does not find Sony but sony", "BRAND", "so",
         MatchType::PartialMatchStart, true, "Kettle"},
        {"case-sensitive So", "BRAND", "So", MatchType::PartialMatchStart, true, "Radio"},
        {"exact ignores case", "BRAND", "ACME", MatchType::ExactMatch, false, "Lamp"},
        {"exact needs the whole text", "ITEM", "Lam", MatchType::ExactMatch, false, ""},
        {"exact empty value finds an empty field", "PURCHDATE", "", MatchType::ExactMatch, false,
         "Lamp"},
        {"partial with an empty value finds nothing", "BRAND", "", MatchType::PartialMatchAny,
         false, ""},
        {"no wildcards", "BRAND", "S*", MatchType::PartialMatchStart, false, ""},
        {"exact 5 on a number is 5.00", "COST", "5", MatchType::ExactMatch, false, "Radio"},
        {"exact 5.50 is 5.5", "COST", "5.50", MatchType::ExactMatch, false, "Phonograph"},
        {"exact negative number", "COST", "-3", MatchType::ExactMatch, false, "Toaster"},
        {"a minus alone is no number", "COST", "-", MatchType::ExactMatch, false, ""},
        {"letters are no number", "COST", "5a", MatchType::ExactMatch, false, ""},
        {"an empty value is no number", "COST", "", MatchType::ExactMatch, false, ""},
        {"0 does not find a blank cost", "COST", "0", MatchType::ExactMatch, false, ""},
        // Partial matches compare the number's text: 5 begins 5.5 and 50 too.
        {"partial 5 finds 5 first", "COST", "5", MatchType::PartialMatchStart, false, "Radio"},
        {"partial 5. finds 5.5", "COST", "5.", MatchType::PartialMatchStart, false, "Phonograph"},
        {"partial 50 finds 50", "COST", "50", MatchType::PartialMatchStart, false, "Lamp"},
        {"a date by its text", "PURCHDATE", "1/2/1999", MatchType::ExactMatch, false, "Phonograph"},
        {"a date in another form is another text", "PURCHDATE", "01/02/1999", MatchType::ExactMatch,
         false, ""},
        {"logicals read True or False", "WARRANTY", "true", MatchType::ExactMatch, false, "Radio"},
        {"column names ignore case", "brand", "ed", MatchType::PartialMatchStart, false,
         "Phonograph"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        table_.selectIndex("");
        goTo("Toaster");
        const bool found = find(LocateFrom::Beginning, c.column, c.value, c.type, c.caseSensitive);
        EXPECT_EQ(found, *c.expected != '\0');
        EXPECT_EQ(item(), found ? std::string(c.expected) : std::string("Toaster"));
    }
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(MatcherTest, TwoPointsOnANumberFieldAreAConversionError) {
    goTo("Toaster");
    EXPECT_FALSE(find(LocateFrom::Beginning, "COST", "5..0", MatchType::ExactMatch));
    EXPECT_EQ(item(), "Toaster"); // the cursor stays
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(messages_.messages()[0].text, QStringLiteral("'5..0' is not a valid floating point value"));
}

TEST_F(MatcherTest, DateTextFollowsTheDateFormat) {
    table_.setDateFormat({.separator = '.', .order = dbase::DateFormat::Order::DayMonthYear});
    EXPECT_FALSE(find(LocateFrom::Beginning, "PURCHDATE", "1/2/1999", MatchType::ExactMatch));
    EXPECT_TRUE(find(LocateFrom::Beginning, "PURCHDATE", "2.1.1999", MatchType::ExactMatch));
    EXPECT_EQ(item(), "Phonograph");
}

TEST_F(MatcherTest, NextSearchesAfterTheCurrentRecordAndStaysWithoutMatch) {
    ASSERT_TRUE(find(LocateFrom::Beginning, "BRAND", "sony"));
    EXPECT_EQ(item(), "Radio");
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "sony"));
    EXPECT_EQ(item(), "Television");
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "sony"));
    EXPECT_EQ(item(), "Kettle");
    EXPECT_FALSE(find(LocateFrom::NextRecord, "BRAND", "sony"));
    EXPECT_EQ(item(), "Kettle");

    // The last record: nothing after it, and the cursor stays on it.
    table_.last();
    EXPECT_FALSE(find(LocateFrom::NextRecord, "ITEM", ""));
    EXPECT_FALSE(find(LocateFrom::NextRecord, "BRAND", "Acme", MatchType::ExactMatch));
    EXPECT_EQ(item(), "Toaster");
    EXPECT_FALSE(table_.eof());
}

TEST_F(MatcherTest, MissingFieldIsReported) {
    goTo("Lamp");
    EXPECT_FALSE(find(LocateFrom::Beginning, "MAKER", "x"));
    EXPECT_EQ(item(), "Lamp");
    ASSERT_EQ(messages_.messages().size(), 1u);
    const core::Message& m = messages_.messages().front();
    EXPECT_EQ(m.text, QStringLiteral("Field MAKER not found."));
    EXPECT_EQ(m.icon, core::MessageIcon::Warning);
}

TEST_F(MatcherTest, PendingEditIsPostedFirst) {
    goTo("Lamp");
    table_.edit();
    table_.setText(kBrand, "Zenith");
    goTo("Radio");
    table_.edit();
    table_.setText(kBrand, "Zenith");
    EXPECT_TRUE(find(LocateFrom::NextRecord, "BRAND", "zen"));
    EXPECT_EQ(item(), "Lamp");
    EXPECT_EQ(table_.state(), dbase::Table::State::Browse);
}

// In the order of a tag on Brand alone (case-sensitive): Acme(Lamp) Acme(Toaster) Edison
// Sony(Radio) Sony(Television) sony(Kettle).
TEST_F(MatcherTest, ExactSearchOnTheIndexGoesToTheFirstInIndexOrder) {
    table_.selectIndex("BRAND");
    goTo("Radio");
    // Acme lies before Radio in index order; the lookup finds it all the same.
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "Acme", MatchType::ExactMatch, true));
    EXPECT_TRUE(matcher_.usedIndex());
    EXPECT_EQ(item(), "Lamp");
    // The current record holds the value: the next one with it, then no more (the first record
    // of the order is current too).
    table_.first();
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "Acme", MatchType::ExactMatch, true));
    EXPECT_EQ(item(), "Toaster");
    table_.first();
    ASSERT_EQ(item(), "Lamp");
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "Acme", MatchType::ExactMatch, true));
    EXPECT_EQ(item(), "Toaster");
    EXPECT_FALSE(find(LocateFrom::NextRecord, "BRAND", "Acme", MatchType::ExactMatch, true));
    EXPECT_EQ(item(), "Toaster");
    // Not in the table, or longer than the key (which the lookup would cut): no match, no move.
    EXPECT_FALSE(find(LocateFrom::Beginning, "BRAND", "Zenith", MatchType::ExactMatch, true));
    EXPECT_FALSE(find(LocateFrom::Beginning, "BRAND", "Sony" + std::string(20, 'x'),
                      MatchType::ExactMatch, true));
    EXPECT_FALSE(find(LocateFrom::Beginning, "BRAND", "Sony ", MatchType::ExactMatch, true));
    EXPECT_EQ(item(), "Toaster");
    // A search that ignores case does not agree with this tag: it reads the records.
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "sony", MatchType::ExactMatch, false));
    EXPECT_FALSE(matcher_.usedIndex());
    EXPECT_EQ(item(), "Radio");
}

TEST_F(MatcherTest, NumberExactSearchOnTheIndex) {
    table_.selectIndex("COST");
    goTo("Lamp");
    ASSERT_TRUE(find(LocateFrom::NextRecord, "COST", "5", MatchType::ExactMatch));
    EXPECT_TRUE(matcher_.usedIndex());
    EXPECT_EQ(item(), "Radio");
    EXPECT_FALSE(find(LocateFrom::NextRecord, "COST", "5", MatchType::ExactMatch));
    EXPECT_FALSE(find(LocateFrom::NextRecord, "COST", "5..", MatchType::ExactMatch));
    EXPECT_EQ(item(), "Radio");
}

TEST_F(MatcherTest, BeginningSearchOnTheIndex) {
    table_.selectIndex("BRAND");
    goTo("Lamp");
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "So", MatchType::PartialMatchStart, true));
    EXPECT_TRUE(matcher_.usedIndex());
    EXPECT_EQ(item(), "Radio");
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "So", MatchType::PartialMatchStart, true));
    EXPECT_EQ(item(), "Television");
    table_.last(); // sony: nothing after it
    EXPECT_FALSE(find(LocateFrom::NextRecord, "BRAND", "so", MatchType::PartialMatchStart, true));
    EXPECT_EQ(item(), "Kettle");
    goTo("Television");
    // sony sorts after Sony but does not begin with So.
    EXPECT_FALSE(find(LocateFrom::NextRecord, "BRAND", "So", MatchType::PartialMatchStart, true));
    EXPECT_EQ(item(), "Television");
    // A value sorting before the current text: every match lies behind.
    EXPECT_FALSE(find(LocateFrom::NextRecord, "BRAND", "Ed", MatchType::PartialMatchStart, true));
    EXPECT_EQ(item(), "Television");
    ASSERT_TRUE(find(LocateFrom::Beginning, "BRAND", "Ed", MatchType::PartialMatchStart, true));
    EXPECT_EQ(item(), "Phonograph");
    // Past every key: no match, and the cursor goes back.
    EXPECT_FALSE(find(LocateFrom::Beginning, "BRAND", "zz", MatchType::PartialMatchStart, true));
    EXPECT_EQ(item(), "Phonograph");
}

// Upper(BRAND) is no plain field: its order is read record by record, with the same results.
TEST_F(MatcherTest, ExpressionIndexIsScannedInItsOrder) {
    table_.selectIndex("UBRAND");
    table_.first();
    ASSERT_TRUE(find(LocateFrom::Beginning, "BRAND", "sony", MatchType::ExactMatch));
    EXPECT_FALSE(matcher_.usedIndex());
    std::vector<std::string> found = {item()};
    while (find(LocateFrom::NextRecord, "BRAND", "sony", MatchType::ExactMatch))
        found.push_back(item());
    EXPECT_EQ(found, (std::vector<std::string>{"Radio", "Television", "Kettle"}));
    EXPECT_FALSE(table_.bulkReading()); // the mapping of the pass is let go
}

TEST_F(MatcherTest, FilteredViewIsRespected) {
    table_.setFilter([](const dbase::Record& r) { return r.text(kItem) != "Television"; });
    table_.first();
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "sony"));
    EXPECT_EQ(item(), "Kettle");
    table_.selectIndex("BRAND");
    goTo("Lamp");
    ASSERT_TRUE(find(LocateFrom::NextRecord, "BRAND", "Sony", MatchType::ExactMatch, true));
    EXPECT_EQ(item(), "Radio");
    EXPECT_FALSE(find(LocateFrom::NextRecord, "BRAND", "Sony", MatchType::ExactMatch, true));
    EXPECT_EQ(item(), "Radio");
}

TEST_F(MatcherTest, EmptyTableFindsNothing) {
    table_.setFilter([](const dbase::Record&) { return false; });
    table_.first();
    EXPECT_FALSE(find(LocateFrom::Beginning, "BRAND", "so"));
    EXPECT_FALSE(find(LocateFrom::NextRecord, "BRAND", "so"));
    table_.selectIndex("BRAND");
    EXPECT_FALSE(find(LocateFrom::Beginning, "BRAND", "Sony", MatchType::ExactMatch, true));
    EXPECT_FALSE(find(LocateFrom::Beginning, "BRAND", "So", MatchType::PartialMatchStart, true));
}

} // namespace
