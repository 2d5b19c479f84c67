// SPDX-License-Identifier: MIT
#include "formats/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// Windows-1252 as published: 0x80 to 0x9F hold its own characters, where the five codes it leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are the C1 controls of the same value, as Windows
// converts them; every other code is the Latin-1 character of the same value.
TEST(AnsiChar, MapsEveryCodeAsWindowsConvertsIt) {
    constexpr char32_t kFrom0x80[32] = {
        U'\u20AC', 0x0081,    U'\u201A', U'\u0192', U'\u201E', U'\u2026', U'\u2020', U'\u2021',
        U'\u02C6', U'\u2030', U'\u0160', U'\u2039', U'\u0152', 0x008D,    U'\u017D', 0x008F,
        0x0090,    U'\u2018', U'\u2019', U'\u201C', U'\u201D', U'\u2022', U'\u2013', U'\u2014',
        U'\u02DC', U'\u2122', U'\u0161', U'\u203A', U'\u0153', 0x009D,    U'\u017E', U'\u0178'};
    for (unsigned code = 0; code < 256; ++code) {
        const char32_t expected = code >= 0x80 && code < 0xA0 ? kFrom0x80[code - 0x80] : code;
        std::size_t length = 0;
        const std::string_view got = ansi_char(static_cast<unsigned char>(code));
        EXPECT_EQ(got.empty() ? std::nullopt : next_code_point(got, 0, length), expected) << "code 0x" << std::hex << code;
        EXPECT_EQ(length, got.size()) << "one character, code 0x" << std::hex << code;
    }
}

// Each length's first and last code point, and what is no character: a surrogate or anything past
// U+10FFFF becomes U+FFFD.
TEST(AppendUtf8, EncodesEachLengthToItsLimitsAndReplacesWhatIsNoCharacter) {
    struct Case {
        char32_t code_point;
        std::string expected;
    };
    const Case cases[] = {
        {0x0000, std::string(1, '\0')},
        {0x007F, "\x7F"},
        {0x0080, "\xC2\x80"},
        {0x00E9, "\xC3\xA9"},
        {0x07FF, "\xDF\xBF"},
        {0x0800, "\xE0\xA0\x80"},
        {0x20AC, "\xE2\x82\xAC"},
        {0xD7FF, "\xED\x9F\xBF"},
        {0xD800, "\xEF\xBF\xBD"},
        {0xDBFF, "\xEF\xBF\xBD"},
        {0xDC00, "\xEF\xBF\xBD"},
        {0xDFFF, "\xEF\xBF\xBD"},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x1F600, "\xF0\x9F\x98\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0x110000, "\xEF\xBF\xBD"},
        {0xFFFFFFFF, "\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << static_cast<std::uint32_t>(c.code_point));
        std::string out = "A";
        append_utf8(out, c.code_point);
        EXPECT_EQ(out, "A" + c.expected) << "appended after what is there";
    }
}

// Every character comes back whole from its UTF-8 form, which the strict reader takes as UTF-8.
TEST(AppendUtf8, EveryCharacterReadsBackAsItself) {
    std::size_t wrong = 0;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp == 0xD800) cp = 0xE000;
        std::string out;
        append_utf8(out, cp);
        std::size_t length = 0;
        if (next_code_point(out, 0, length) != cp || length != out.size()) {
            if (++wrong <= 5) ADD_FAILURE() << "U+" << std::hex << static_cast<std::uint32_t>(cp);
        }
    }
    EXPECT_EQ(wrong, 0u);
}

}  // namespace
}  // namespace vextra::formats
