#include "dbase/Error.h"
#include "dbase/KeyExpression.h"

#include <gtest/gtest.h>

#include <memory>

using dbase::Date;
using dbase::FieldDef;
using dbase::KeyExpression;
using dbase::KeyType;

namespace {

// Category C20 "Tools  " ... laid out as a record would be.
const auto kFields = std::make_shared<const std::vector<FieldDef>>(std::vector<FieldDef>{
    {"Category", 'C', 20, 0, 1},
    {"Item", 'C', 40, 0, 21},
    {"Cost", 'N', 20, 4, 61},
    {"PurchDate", 'D', 8, 0, 81},
    {"Quantity", 'N', 11, 0, 89},
});

dbase::Record makeRecord(const std::string& category, const std::string& item, const std::string& cost,
                         const std::string& date, const std::string& qty) {
    dbase::Record r(kFields, nullptr);
    auto pad = [](std::string s, size_t w, bool right) {
        return right ? std::string(w - s.size(), ' ') + s : s + std::string(w - s.size(), ' ');
    };
    r.bytes() = " " + pad(category, 20, false) + pad(item, 40, false) + pad(cost, 20, true) +
                pad(date, 8, false) + pad(qty, 11, true);
    return r;
}

std::string keyOf(const std::string& expression, const dbase::Record& r) {
    const KeyExpression e = KeyExpression::compile(expression, *kFields);
    std::string key;
    e.evaluate(r, key);
    EXPECT_EQ(key.size(), static_cast<size_t>(e.length())) << expression;
    return key;
}

} // namespace

TEST(KeyExpression, SortKeyPiecesGiveFixedWidthText) {
    const auto r = makeRecord("Power tools and more", "Cordless drill with spare battery",
                              "1234.5000", "19960307", "-3");
    struct Case {
        const char* expression;
        const char* key;
    };
    const Case cases[] = {
        {"Upper(Left(Item,20))", "CORDLESS DRILL WITH "}, // cut at 20, upper-cased
        {"DTOS(PurchDate)", "19960307"},
        {"STR(Cost,12,2)", "     1234.50"},
        {"STR(Quantity,8,0)", "      -3"},
        {"Upper(Left(Category,5))+DTOS(PurchDate)+STR(Cost,12,2)", "POWER19960307     1234.50"},
        {"upper(category)", "POWER TOOLS AND MORE"}, // names in any case
        {"LOWER(LEFT(Item,3))", "cor"},
        {"RIGHT(Left(Category,11),5)", "tools"},
        {"SUBSTR(Category,7,5)", "tools"},
        {"SUBSTR(Category,19)", "re"},
        {"TRIM(Category)+'|'", "Power tools and more|"},
        {"TRIM(Left(Item,8))+'|'", "Cordless|"}, // padded to 9: nothing to pad
        {"DTOC(PurchDate)", "03/07/96"},
        {"STR(Cost)", "      1235"}, // ten wide, no decimals, half away from zero
        {"STR(Cost,3)", "***"},       // too wide: asterisks as dBASE writes them
        {"STR(Cost+Quantity,12,2)", "     1231.50"}, // computed numbers go through the double
    };
    for (const Case& c : cases) EXPECT_EQ(keyOf(c.expression, r), c.key) << c.expression;

    const auto empty = makeRecord("", "", "", "", "");
    EXPECT_EQ(keyOf("DTOS(PurchDate)", empty), "        "); // empty dates sort first
    EXPECT_EQ(keyOf("DTOC(PurchDate)", empty), "  /  /  ");
    EXPECT_EQ(keyOf("STR(Cost,12,2)", empty), "        0.00");
}

TEST(KeyExpression, UpperChangesAccentedLettersOfTheTableCodePage) {
    const auto r = makeRecord("\xE9t\xE9 \xFF\x9A", "", "", "", "");
    std::string key;
    KeyExpression::compile("UPPER(Category)", *kFields).evaluate(r, key);
    EXPECT_EQ(key.substr(0, 6), "\xC9T\xC9 \x9F\x8A");
    KeyExpression::compile("UPPER(Category)", *kFields, false).evaluate(r, key);
    EXPECT_EQ(key.substr(0, 6), "\xE9T\xE9 \xFF\x9A"); // other code pages: a..z only
    KeyExpression::compile("LOWER(UPPER(Category))", *kFields).evaluate(r, key);
    EXPECT_EQ(key.substr(0, 6), "\xE9t\xE9 \xFF\x9A");
}

TEST(KeyExpression, DefinitionFacts) {
    const auto sort = KeyExpression::compile("Upper(Left(Category,20))+DTOS(PurchDate)", *kFields);
    EXPECT_EQ(sort.type(), KeyType::Character);
    EXPECT_EQ(sort.length(), 28);
    EXPECT_TRUE(sort.isCaseInsensitive());
    EXPECT_TRUE(sort.fields().empty()); // not a plain list of fields

    const auto plain = KeyExpression::compile("CATEGORY+ITEM", *kFields);
    EXPECT_EQ(plain.fields(), (std::vector<int>{0, 1}));
    EXPECT_FALSE(plain.isCaseInsensitive());

    const auto number = KeyExpression::compile("Cost", *kFields);
    EXPECT_EQ(number.type(), KeyType::Numeric);
    EXPECT_EQ(number.length(), 12);
    std::string key;
    number.evaluate(makeRecord("", "", "19.9900", "", ""), key);
    EXPECT_EQ(key, std::string("\x36\x11\x19\x99\0\0\0\0\0\0\0\0", 12)); // the field's exact digits
    EXPECT_EQ(number.fields(), (std::vector<int>{2}));
    EXPECT_EQ(number.evaluateNumber(makeRecord("", "", "-12.5", "", "")), -12.5);
    EXPECT_EQ(KeyExpression::compile("Cost+Quantity", *kFields)
                  .evaluateNumber(makeRecord("", "", "1.5", "", "2")),
              3.5);

    const auto date = KeyExpression::compile("PurchDate", *kFields);
    EXPECT_EQ(date.type(), KeyType::Date);
    EXPECT_EQ(date.evaluateNumber(makeRecord("", "", "", "20000101", "")), 2451545);
    EXPECT_EQ(date.evaluateNumber(makeRecord("", "", "", "", "")), 0);
}

TEST(KeyExpression, ErrorsNameWhatIsWrong) {
    struct Case {
        const char* expression;
        const char* named;
    };
    const Case cases[] = {
        {"Upper(Colour)", "Colour"},
        {"SOUNDEX(Item)", "SOUNDEX"},
        {"Upper(Left(Item,20)", "')'"},
        {"Item+Cost", "\"+\""},
        {"DTOS(Item)", "DTOS"},
        {"STR(Item,5)", "STR"},
        {"Left(Item)", "LEFT"},
        {"Item+Item+Item", "120 characters"}, // longer than a key may be
        {"Item $ Category", "'$'"},
        {"", "end of expression"},
        {"'open", "closing quote"},
    };
    for (const Case& c : cases) {
        try {
            KeyExpression::compile(c.expression, *kFields);
            ADD_FAILURE() << "compiled " << c.expression;
        } catch (const dbase::Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos)
                << c.expression << ": " << e.what();
        }
    }
}
