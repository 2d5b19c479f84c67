// SPDX-License-Identifier: MIT
// The one conversion between the program's UTF-8 and Windows' UTF-16.
#include "platform/utf16.h"

#include <gtest/gtest.h>

namespace vextra::platform {
namespace {

TEST(Utf16, RoundTripsEveryPlaneAndRefusesWhatIsNotUtf8) {
    for (const std::string text : {"", "app.exe", "\u00E9t\u00E9 \u20AC", "\U0001F600 \u4E2D.exe"}) {
        const auto wide = to_utf16(text);
        ASSERT_TRUE(wide) << text;
        EXPECT_EQ(to_utf8(*wide), text);
    }
    EXPECT_EQ(to_utf16("\xF0\x9F\x98\x80"), std::wstring(L"\xD83D\xDE00"));
    for (const std::string bytes : {"old\xFF.exe", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "cut \xE2\x82"})
        EXPECT_EQ(to_utf16(bytes), std::nullopt) << bytes;
    // A lone surrogate, as names may hold: shown as U+FFFD, and no exact UTF-8 form.
    EXPECT_EQ(to_utf8(std::wstring(L"a\xD800" L"b")), "a\uFFFDb");
    for (const std::wstring lone : {L"a\xD800" L"b", L"a\xDC00", L"\xDE00\xD83D"})
        EXPECT_EQ(to_exact_utf8(lone), std::nullopt) << to_utf8(lone);
    EXPECT_EQ(to_exact_utf8(L"\xD83D\xDE00 \x4E2D.exe"), std::optional<std::string>("\U0001F600 \u4E2D.exe"));
    EXPECT_EQ(to_exact_utf8(L""), std::optional<std::string>(""));
}

}  // namespace
}  // namespace vextra::platform
