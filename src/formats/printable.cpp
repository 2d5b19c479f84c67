// SPDX-License-Identifier: MIT
#include "formats/printable.h"

#include <optional>

#include "formats/text.h"

namespace vextra::formats {
namespace {

bool is_control(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

std::string_view named_escape(char32_t cp) {
    switch (cp) {
        case '\t': return "\\t";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case 0x1B: return "\\e";
        case '\\': return "\\\\";
        default: return {};
    }
}

void append_hex_escapes(std::string& out, std::string_view bytes) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        out += "\\x";
        out += kDigits[static_cast<unsigned char>(c) >> 4];
        out += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
}

}  // namespace

std::string printable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t pos = 0, length = 0; pos < bytes.size(); pos += length) {
        const std::optional<char32_t> cp = next_code_point(bytes, pos, length);
        if (!cp) {
            length = 1;  // this byte alone: the next one may start a character
            append_hex_escapes(out, bytes.substr(pos, 1));
        } else if (const std::string_view name = named_escape(*cp); !name.empty()) {
            out += name;
        } else if (is_control(*cp)) {
            append_hex_escapes(out, bytes.substr(pos, length));
        } else {
            out += bytes.substr(pos, length);
        }
    }
    return out;
}

}  // namespace vextra::formats
