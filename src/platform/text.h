#pragma once
// Text helpers shared by the RTF reader and the template store. All text is UTF-8.

#include <string>
#include <string_view>

namespace vextra::platform {

// Appends the UTF-8 form of a Unicode code point (U+0000 to U+10FFFF; surrogates become U+FFFD).
void append_utf8(std::string& out, char32_t code_point);

// The one-character string for a code of the ANSI code page, Windows-1252, as UTF-8.
// Codes that Windows-1252 leaves undefined map to the C1 control of the same value, as Windows does.
std::string ansi_char(unsigned char code);

// Every occurrence of `searched` replaced by `replacement`, scanning from the first character,
// exact and case-sensitive. An empty `searched` leaves the text as it is.
std::string replace_all(std::string_view text, std::string_view searched, std::string_view replacement);

}  // namespace vextra::platform
