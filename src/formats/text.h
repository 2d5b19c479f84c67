// SPDX-License-Identifier: MIT
#pragma once
// Text helpers shared by the RTF reader, the template store and the command-line tools. All text
// is UTF-8.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vextra::formats {

// Appends the UTF-8 form of a Unicode code point (U+0000 to U+10FFFF; surrogates become U+FFFD).
void append_utf8(std::string& out, char32_t code_point);

// The code point whose UTF-8 form starts `text` at `pos`, and that form's `length` in bytes;
// nullopt for bytes that are not UTF-8 (an overlong form, a surrogate, past U+10FFFF, cut short).
std::optional<char32_t> next_code_point(std::string_view text, std::size_t pos, std::size_t& length);

namespace detail {
struct Utf8Char {
    char bytes[3];
    unsigned char size;
};
extern const std::array<Utf8Char, 256> kAnsiChars;
}  // namespace detail

// The one-character string for a code of the ANSI code page, Windows-1252, as UTF-8.
// Codes that Windows-1252 leaves undefined map to the C1 control of the same value, as Windows does.
inline std::string_view ansi_char(unsigned char code) {
    const detail::Utf8Char& c = detail::kAnsiChars[code];
    return {c.bytes, c.size};
}

// Removes every occurrence of `searched`, scanning from the first character, exact and
// case-sensitive: what the removal joins is not searched again. An empty `searched` removes nothing.
void erase_all(std::string& text, std::string_view searched);

}  // namespace vextra::formats
