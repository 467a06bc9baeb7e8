#include "core/Cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Cp1252, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const QString text = core::fromTableText(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(core::toTableText(text), all);
}

TEST(Cp1252, MapsTheBytesThatDifferFromLatin1) {
    struct Case {
        const char* name;
        char byte;
        char16_t unit;
    };
    const Case cases[] = {
        {"euro_sign", '\x80', u'\u20AC'},
        {"s_caron", '\x8A', u'\u0160'},
        {"left_double_quote", '\x93', u'\u201C'},
        {"y_diaeresis_capital", '\x9F', u'\u0178'},
        {"undefined_0x81_as_c1_control", '\x81', u'\u0081'},
        {"undefined_0x9D_as_c1_control", '\x9D', u'\u009D'},
        {"latin1_e_acute", '\xE9', u'\u00E9'},
        {"nul", '\0', u'\0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string byte(1, c.byte);
        EXPECT_EQ(core::fromTableText(byte), QString(QChar(c.unit)));
        EXPECT_EQ(core::toTableText(QString(QChar(c.unit))), byte);
    }
}

TEST(Cp1252, RefusesCharactersTheCodePageCannotHold) {
    // U+0080 is a C1 control whose byte 0x80 means the euro sign: it has no byte of its own.
    const char16_t* refused[] = {u"\u0100", u"\u0080", u"A\u4E2DB", u"\U0001F600"};
    for (const char16_t* text : refused) {
        const QString s = QString::fromUtf16(text);
        EXPECT_EQ(core::toTableText(s), std::nullopt) << s.toStdString();
    }
    EXPECT_EQ(core::toTableText(QString::fromUtf16(u"Caf\u00E9 \u20AC5")),
              std::string("Caf\xE9 \x80"
                          "5"));
}

} // namespace
