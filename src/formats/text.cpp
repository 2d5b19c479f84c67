// SPDX-License-Identifier: MIT
#include "formats/text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vextra::formats {

void append_utf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::optional<char32_t> next_code_point(std::string_view text, std::size_t pos, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    // 0x80 to 0xC1 never lead, nor 0xF5 to 0xFF (they would start code points past U+10FFFF).
    length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || pos + length > text.size()) return std::nullopt;
    if (length == 1) return lead;
    char32_t cp = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[pos + i]);
        if ((c & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    return cp;
}

namespace detail {
namespace {

// 0x80 to 0x9F are the only codes where Windows-1252 differs from Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::array<Utf8Char, 256> ansi_chars() {
    std::array<Utf8Char, 256> table{};
    for (unsigned code = 0; code < 256; ++code) {
        const unsigned cp = code >= 0x80 && code < 0xA0 ? kHighControls[code - 0x80] : code;
        Utf8Char& c = table[code];
        if (cp < 0x80) {
            c = {{static_cast<char>(cp), 0, 0}, 1};
        } else if (cp < 0x800) {
            c = {{static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F)), 0}, 2};
        } else {
            c = {{static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                  static_cast<char>(0x80 | (cp & 0x3F))},
                 3};
        }
    }
    return table;
}

}  // namespace

// Made at compile time: the RTF reader looks one up for every byte of text above 0x7F.
constexpr std::array<Utf8Char, 256> kAnsiChars = ansi_chars();

}  // namespace detail

void erase_all(std::string& text, std::string_view searched) {
    if (searched.empty()) return;
    // Each stretch between two occurrences moves left over the removed ones; the search only
    // ever looks at bytes that have not moved.
    std::size_t kept = 0;  // the final text so far
    for (std::size_t from = 0;;) {
        const std::size_t hit = std::min(text.find(searched, from), text.size());
        std::memmove(text.data() + kept, text.data() + from, hit - from);
        kept += hit - from;
        if (hit == text.size()) break;
        from = hit + searched.size();
    }
    text.resize(kept);
}

}  // namespace vextra::formats
