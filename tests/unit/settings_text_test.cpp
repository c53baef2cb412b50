#include "settings/setting_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <string>

namespace {

const unsigned int kUntouched = 12345;

unsigned int ParseUnsigned(const std::string& text) {
    unsigned int value = kUntouched;
    return ParseSettingText(text, value) ? value : kUntouched;
}

// Returns 0 or 1 for a parsed boolean, -1 for a refused text.
int ParseBool(const std::string& text) {
    bool value = true;
    if (!ParseSettingText(text, value)) {
        return -1;
    }
    return value ? 1 : 0;
}

TEST(SettingTextTest, UnsignedReadsLeadingDecimalDigits) {
    EXPECT_EQ(80u, ParseUnsigned("80"));
    EXPECT_EQ(80u, ParseUnsigned(" 80"));
    EXPECT_EQ(80u, ParseUnsigned("\t\r\n 80"));
    EXPECT_EQ(80u, ParseUnsigned("80abc"));
    EXPECT_EQ(80u, ParseUnsigned("80 81"));
    EXPECT_EQ(80u, ParseUnsigned("080"));
    EXPECT_EQ(5u, ParseUnsigned("+5"));
    // Hexadecimal is not recognised: the 0 is read and the x ends the number.
    EXPECT_EQ(0u, ParseUnsigned("0x50"));
    EXPECT_EQ(4294967295u, ParseUnsigned("4294967295"));
    // Text after an embedded NUL is simply trailing text.
    EXPECT_EQ(7u, ParseUnsigned(std::string("7\0"
                                            "9",
                                            3)));
}

TEST(SettingTextTest, UnsignedMinusWrapsModulo32Bits) {
    EXPECT_EQ(4294967295u, ParseUnsigned("-1"));
    EXPECT_EQ(1u, ParseUnsigned("-4294967295"));
    EXPECT_EQ(0u, ParseUnsigned("-0"));
}

TEST(SettingTextTest, UnsignedRefusesTextsWithoutANumberInRange) {
    for (const char* text :
         {"", "abc", " ", "-", "+", "x80", "4294967296", "99999999999999999999", "-4294967296"}) {
        EXPECT_EQ(kUntouched, ParseUnsigned(text)) << "text: \"" << text << "\"";
    }
    EXPECT_EQ(kUntouched, ParseUnsigned(std::string("\0"
                                                    "80",
                                                    3)));
}

TEST(SettingTextTest, BooleanIsNumericZeroOrOne) {
    EXPECT_EQ(0, ParseBool("0"));
    EXPECT_EQ(1, ParseBool("1"));
    EXPECT_EQ(1, ParseBool(" 1"));
    EXPECT_EQ(1, ParseBool("1x"));
    EXPECT_EQ(1, ParseBool("01"));
    for (const char* text : {"2", "-1", "true", "false", "", "yes", "4294967297"}) {
        EXPECT_EQ(-1, ParseBool(text)) << "text: \"" << text << "\"";
    }
}

TEST(SettingTextTest, FailedParseLeavesValueAlone) {
    bool flag = false;
    EXPECT_FALSE(ParseSettingText("2", flag));
    EXPECT_FALSE(flag);
    flag = true;
    EXPECT_FALSE(ParseSettingText("true", flag));
    EXPECT_TRUE(flag);
}

TEST(SettingTextTest, FormatsPlainDecimalAndNumericBooleans) {
    EXPECT_EQ("79", FormatSettingText(79u));
    EXPECT_EQ("10", FormatSettingText(10u));
    EXPECT_EQ("0", FormatSettingText(0u));
    EXPECT_EQ("4294967295", FormatSettingText(4294967295u));
    EXPECT_EQ("1", FormatSettingText(true));
    EXPECT_EQ("0", FormatSettingText(false));
}

// A program-wide locale with digit grouping must not leak into the stored text.
struct GroupedThousands : std::numpunct<char> {
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
    std::string do_truename() const override { return "yes"; }
    std::string do_falsename() const override { return "no"; }
};

TEST(SettingTextTest, IgnoresTheGlobalLocale) {
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new GroupedThousands));
    EXPECT_EQ("1000000", FormatSettingText(1000000u));
    unsigned int value = kUntouched;
    EXPECT_TRUE(ParseSettingText("1.000", value));
    EXPECT_EQ(1u, value);
    EXPECT_EQ("1", FormatSettingText(true));
    std::locale::global(previous);
}

}  // namespace
