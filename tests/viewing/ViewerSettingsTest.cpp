#include "viewing/ViewerSettings.h"
#include "viewing/CellInput.h"

#include "core/Settings.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

using viewing::CheckCellInput;
using viewing::IsDecimalNumber;
using viewing::IsWholeNumber;

namespace {

TEST(ViewerSettings, TypedWidthsOutsideOneTo255GiveNothingSoTheFallbackIsUsed) {
    struct Case {
        const char* name;
        const char* text;
        std::optional<int> width;
    };
    const Case cases[] = {
        {"plain", "12", 12},
        {"blanks around", "  40 ", 40},
        {"letters after the digits", "12abc", 12},
        {"lowest", "1", 1},
        {"highest", "255", 255},
        {"zero", "0", std::nullopt},
        {"one past the highest", "256", std::nullopt},
        {"empty", "", std::nullopt},
        {"only blanks", "   ", std::nullopt},
        {"letters first", "abc12", std::nullopt},
        {"sign before the digits", "-5", std::nullopt},
        {"digits beyond any int", "99999999999999999999", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(viewing::WidthFromText(c.text), c.width) << c.name;
}

TEST(ViewerSettings, NamesDifferingOnlyInCaseAreDifferentButNamesEqualWhenCutAreNot) {
    std::array<QString, core::kFieldCount> names;
    for (int i = 0; i < core::kFieldCount; ++i)
        names[static_cast<size_t>(i)] = QString::fromLatin1(core::DefaultCaption(i + 1));
    EXPECT_EQ(viewing::FirstDuplicateName(names), std::nullopt);

    names[2] = QStringLiteral("ITEM"); // Item stays "Item"
    EXPECT_EQ(viewing::FirstDuplicateName(names), std::nullopt);

    names[20] = QStringLiteral("Warranty"); // field 14's name, given to field 21
    EXPECT_EQ(viewing::FirstDuplicateName(names), QStringLiteral("Warranty"));

    // Both are kept as their first 20 characters, which are the same.
    names[20] = QStringLiteral("User Defined 3");
    names[5] = QStringLiteral("Description of item A");
    names[7] = QStringLiteral("Description of item B");
    EXPECT_EQ(viewing::FirstDuplicateName(names), QStringLiteral("Description of item "));
}

TEST(ViewerSettings, ShownColumnsFollowPositionsAndSkipHiddenFields) {
    core::Settings settings;
    std::vector<int> all(core::kFieldCount);
    for (int i = 0; i < core::kFieldCount; ++i)
        all[static_cast<size_t>(i)] = i + 1;
    EXPECT_EQ(viewing::ShownColumns(settings), all);

    // Only Cost (11) and Item (1), Cost first.
    for (bool& shown : settings.DisplayFields)
        shown = false;
    settings.DisplayFields[1] = settings.DisplayFields[11] = true;
    settings.FieldOrder[11] = 1;
    settings.FieldOrder[1] = 11;
    EXPECT_EQ(viewing::ShownColumns(settings), (std::vector<int>{11, 1}));

    for (bool& shown : settings.DisplayFields)
        shown = false;
    EXPECT_TRUE(viewing::ShownColumns(settings).empty());
}

TEST(ViewerSettings, PositionsHeldTwiceOrNotAtAllStillPlaceEveryFieldOnce) {
    core::Settings settings;
    settings.FieldOrder[3] = 1; // Model shares position 1 with Item; nobody holds 3
    settings.FieldOrder[22] = 0;
    const std::vector<int> order = viewing::FieldsInOrder(settings);
    ASSERT_EQ(order.size(), static_cast<size_t>(core::kFieldCount));
    EXPECT_EQ(order[0], 22); // position 0 sorts first
    EXPECT_EQ(order[1], 1);  // ties keep catalogue order
    EXPECT_EQ(order[2], 3);
    EXPECT_EQ(order[3], 2);
}

TEST(CellInput, NumbersAreReadAsTheEditWindowReadsThem) {
    struct Case {
        const char* text;
        bool decimal;
        bool whole;
    };
    const Case cases[] = {
        {"12", true, true},          {"-3", true, true},          {"+7", true, true},
        {".5", true, false},         {"1E2", true, false},        {"2.5e-3", true, false},
        {"1.", false, false},        {"12,50", false, false},     {"", false, false},
        {"$5", false, false},        {"1 000", false, false},     {"-", false, false},
        {"E5", false, false},        {"1e", false, false},        {"2147483647", true, true},
        {"2147483648", true, false}, {"-2147483648", true, true}, {"+-1", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsDecimalNumber(c.text), c.decimal) << c.text;
        EXPECT_EQ(IsWholeNumber(c.text), c.whole) << c.text;
    }
}

TEST(CellInput, RefusalsNameTheFieldLikeTheEditWindow) {
    const dbase::DateFormat format; // m/d/yyyy
    struct Case {
        int field;
        const char* text;
        const char* message; // nullptr: accepted
        const char* stored;
    };
    const Case cases[] = {
        {10, "6/1/2023", nullptr, "6/1/2023"},
        {10, " 6/1/2023 ", nullptr, "6/1/2023"},
        {10, "", nullptr, ""},
        {15, "/  /", nullptr, ""},
        {10, "13/1/2023", "Invalid purchase date specified.  Please correct.", ""},
        {15, "6/", "Invalid warranty date specified.  Please correct.", ""},
        {11, "12,50", "Invalid cost specified.  Please correct.", ""},
        {18, "1.", "Invalid value specified.  Please correct.", ""},
        {13, "", "Invalid replacement cost specified.  Please correct.", ""},
        {13, " -3 ", nullptr, "-3"},
        {9, "2.5", "Invalid quantity specified.  Please correct.", ""},
        {9, " 4", nullptr, "4"},
        {1, "  Lamp  ", nullptr, "Lamp"},
    };
    for (const Case& c : cases) {
        const viewing::CellInput input =
            CheckCellInput(c.field, QString::fromLatin1(c.text), format);
        EXPECT_EQ(input.ok, c.message == nullptr) << c.field << " " << c.text;
        if (c.message)
            EXPECT_EQ(input.message, QString::fromLatin1(c.message)) << c.text;
        else
            EXPECT_EQ(input.value, c.stored) << c.text;
    }
}

TEST(CellInput, TextTheCodePageCannotHoldIsRefused) {
    const dbase::DateFormat format;
    const viewing::CellInput refused =
        CheckCellInput(1, QStringLiteral("Lamp \u2192 desk"), format);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.message,
              QStringLiteral("The text contains characters that cannot be stored."));
    const viewing::CellInput accepted =
        CheckCellInput(1, QStringLiteral("Caf\u00e9 \u20ac"), format);
    ASSERT_TRUE(accepted.ok);
    EXPECT_EQ(accepted.value, "Caf\xE9 \x80");
}

} // namespace
