// SPDX-License-Identifier: MIT
#include "formats/text.h"

#include <gtest/gtest.h>

namespace vextra::formats {
namespace {

TEST(EraseAll, RemovesEveryOccurrenceScanningFromTheStart) {
    struct Case {
        const char* name;
        std::string text, searched, expected;
    };
    const Case cases[] = {
        {"none", "abc", "x", "abc"},
        {"several, first and last", "|m|a|m|b|m|", "|m|", "ab"},
        {"everything", "xyxy", "xy", ""},
        {"overlapping taken left to right", "aaa", "aa", "a"},
        {"what the removal joins is not searched again", "a|m|m||", "|m|", "am||"},
        {"case-sensitive", "Exe exe", "exe", "Exe "},
        {"empty searched removes nothing", "abc", "", "abc"},
        {"multibyte", "\xC3\x88x\xC3\x88", "\xC3\x88", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.text;
        erase_all(text, c.searched);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(AnsiChar, MapsWindows1252ToUtf8) {
    EXPECT_EQ(ansi_char(34), "\"");
    EXPECT_EQ(ansi_char(0x80), "\u20AC");
    EXPECT_EQ(ansi_char(0x81), "\xC2\x81");  // undefined in Windows-1252: kept as the C1 control
    EXPECT_EQ(ansi_char(0x93), "\u201C");
    EXPECT_EQ(ansi_char(0x9F), "\u0178");
    EXPECT_EQ(ansi_char(0xA0), "\u00A0");
    EXPECT_EQ(ansi_char(200), "\u00C8");
    EXPECT_EQ(ansi_char(232), "\u00E8");
    EXPECT_EQ(ansi_char(0xFF), "\u00FF");
}

TEST(AppendUtf8, EncodesEveryLengthAndReplacesInvalidCodePoints) {
    std::string out;
    for (char32_t cp : {U'A', U'\u00E9', U'\u20AC', U'\U0001F600', char32_t(0xD800), char32_t(0x110000)})
        append_utf8(out, cp);
    EXPECT_EQ(out, "A\u00E9\u20AC\U0001F600\uFFFD\uFFFD");
}

}  // namespace
}  // namespace vextra::formats
