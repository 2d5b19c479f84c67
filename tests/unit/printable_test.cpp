// SPDX-License-Identifier: MIT
// Names as the command-line tools show them: each stays on its line, moves no cursor, and can be
// read back byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "formats/printable.h"

namespace vextra::formats {
namespace {

TEST(Printable, EscapesWhatCouldLeaveTheLineAndNothingElse) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string shown;
    };
    const Case cases[] = {
        {"plain ASCII", "apps/old.exe", "apps/old.exe"},
        {"empty", "", ""},
        {"a forged second line", "a.exe: Yes\nb.exe", "a.exe: Yes\\nb.exe"},
        {"tab and carriage return", "a\tb\rc", "a\\tb\\rc"},
        {"a terminal command", "\x1B[2J\x1B]0;title\x07.exe", "\\e[2J\\e]0;title\\x07.exe"},
        {"NUL and the other C0 controls", std::string("\0\x01\x1F", 3), "\\x00\\x01\\x1F"},
        {"DEL", "a\x7F", "a\\x7F"},
        {"a backslash, so that no escape is ambiguous", "C:\\Old Apps\\x41.exe", "C:\\\\Old Apps\\\\x41.exe"},
        {"C1 controls, each of their bytes", "\xC2\x80-\xC2\x85-\xC2\x9B", "\\xC2\\x80-\\xC2\\x85-\\xC2\\x9B"},
        {"the first character past C1", "\xC2\xA0", "\xC2\xA0"},
        {"UTF-8 letters, CJK and emoji", "pr\xC3\xB6gram-\xE6\x97\xA5\xF0\x9F\x98\x80.exe",
         "pr\xC3\xB6gram-\xE6\x97\xA5\xF0\x9F\x98\x80.exe"},
        {"a Latin-1 byte", "pr\xF6gram.exe", "pr\\xF6gram.exe"},
        {"a stray continuation byte", "a\x9B" "b", "a\\x9Bb"},
        {"a sequence cut short, then ASCII", "\xE6\x97" "a", "\\xE6\\x97a"},
        {"a sequence cut short at the end", "a\xF0\x9F\x98", "a\\xF0\\x9F\\x98"},
        {"an overlong slash", "\xC0\xAF", "\\xC0\\xAF"},
        {"an overlong NUL", "\xE0\x80\x80", "\\xE0\\x80\\x80"},
        {"a surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        {"a lead byte before a valid character", "\xE6\xC3\xB6", "\\xE6\xC3\xB6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(printable(c.bytes), c.shown);
    }
}

// Every byte value, alone and as the start of a name: the result holds no control character, so no
// line ends early and no escape sequence reaches the terminal.
TEST(Printable, LeavesNoControlCharacterForAnyByte) {
    for (int value = 0; value < 256; ++value) {
        SCOPED_TRACE(value);
        const std::string shown = printable(std::string(1, static_cast<char>(value)) + "x");
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const auto byte = static_cast<unsigned char>(shown[i]);
            EXPECT_FALSE(byte < 0x20 || byte == 0x7F) << i;
            EXPECT_FALSE(byte >= 0x80) << "a lone byte is never valid UTF-8";
        }
    }
}

}  // namespace
}  // namespace vextra::formats
