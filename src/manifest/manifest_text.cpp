// SPDX-License-Identifier: MIT
#include "manifest/manifest_text.h"

#include <algorithm>
#include <array>

#include "formats/text.h"

namespace vextra::manifest {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string at_line(unsigned line, std::string_view what) {
    return "line " + std::to_string(line) + ": " + std::string(what);
}

unsigned line_of(std::string_view text, std::size_t at) {
    return 1 + static_cast<unsigned>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

Utf8Manifest refused(unsigned line, std::string_view what) { return {{}, at_line(line, what), {}}; }

// Where the encoding's value of the XML declaration at the very start of `text` lies, as its
// offset and size; nullopt without one. A declaration that is not as XML has it is left to the
// parser, which refuses it.
std::optional<std::pair<std::size_t, std::size_t>> encoding_value(std::string_view text) {
    if (!starts_with(text, "<?xml") || text.size() < 6 || !is_space(text[5])) return std::nullopt;
    const std::size_t end = text.find("?>");
    if (end == std::string_view::npos) return std::nullopt;
    for (std::size_t at = 5;;) {
        while (at < end && is_space(text[at])) ++at;
        const std::size_t name = at;
        while (at < end && is_ascii_letter(text[at])) ++at;
        const std::string_view attribute = text.substr(name, at - name);
        while (at < end && is_space(text[at])) ++at;
        if (attribute.empty() || at == end || text[at] != '=') return std::nullopt;
        ++at;
        while (at < end && is_space(text[at])) ++at;
        if (at == end || (text[at] != '"' && text[at] != '\'')) return std::nullopt;
        const std::size_t close = text.find(text[at], at + 1);
        if (close > end) return std::nullopt;
        if (attribute == "encoding") return std::make_pair(at + 1, close - at - 1);
        at = close + 1;
    }
}

// `utf8` with its declaration, if it names an encoding, naming UTF-8 instead.
std::string declaring_utf8(std::string utf8) {
    if (const auto value = encoding_value(utf8)) utf8.replace(value->first, value->second, "UTF-8");
    return utf8;
}

Utf8Manifest from_utf16(std::string_view bytes, bool little_endian) {
    std::string text;
    text.reserve(bytes.size() * 3 / 2);
    unsigned line = 1;
    const auto unit = [&](std::size_t at) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(little_endian ? first | second << 8 : first << 8 | second);
    };
    for (std::size_t at = 0; at < bytes.size(); at += 2) {
        if (at + 1 == bytes.size()) return refused(line, "the UTF-16 text ends in half a code unit");
        char32_t code_point = unit(at);
        if (code_point >= 0xD800 && code_point <= 0xDBFF && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 &&
            unit(at + 2) <= 0xDFFF) {
            code_point = 0x10000 + ((code_point - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        } else if (code_point >= 0xD800 && code_point <= 0xDFFF) {
            return refused(line, "not UTF-16: half of a surrogate pair");
        }
        if (code_point == '\n') ++line;
        formats::append_utf8(text, code_point);
    }
    if (const auto name = declared_encoding(text); name && !equal_ignoring_ascii_case(*name, "UTF-16"))
        return refused(1, "the byte order mark says UTF-16, the XML declaration another encoding");
    return {declaring_utf8(std::move(text)),
            {},
            little_endian ? ManifestEncoding::kUtf16LittleEndian : ManifestEncoding::kUtf16BigEndian};
}

Utf8Manifest from_single_bytes(std::string_view bytes, bool utf8_mark) {
    const std::optional<std::string_view> name = declared_encoding(bytes);
    ManifestEncoding encoding = ManifestEncoding::kUtf8;
    if (name && !equal_ignoring_ascii_case(*name, "UTF-8")) {
        if (utf8_mark) return refused(1, "the byte order mark says UTF-8, the XML declaration another encoding");
        if (equal_ignoring_ascii_case(*name, "windows-1252"))
            encoding = ManifestEncoding::kWindows1252;
        else if (equal_ignoring_ascii_case(*name, "ISO-8859-1"))
            encoding = ManifestEncoding::kLatin1;
        else
            return refused(
                1, "the XML declaration names an encoding other than UTF-8, UTF-16, windows-1252 and ISO-8859-1");
    }
    if (encoding == ManifestEncoding::kUtf8) {
        for (std::size_t at = 0, length = 0; at < bytes.size(); at += length) {
            const std::optional<char32_t> code_point = formats::next_code_point(bytes, at, length);
            if (!code_point) return refused(line_of(bytes, at), "not UTF-8");
            // No XML character; a parser would take the zero bytes of UTF-16 or UTF-32 without a
            // byte order mark for those encodings.
            if (*code_point == 0) return refused(line_of(bytes, at), "a character zero, which XML does not allow");
        }
        return {std::string(bytes), {}, encoding};
    }
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        if (encoding == ManifestEncoding::kWindows1252)
            text += formats::ansi_char(static_cast<unsigned char>(byte));
        else
            formats::append_utf8(text, static_cast<unsigned char>(byte));
    }
    return {declaring_utf8(std::move(text)), {}, encoding};
}

// A character XML allows: tab, line feed, carriage return, and the rest from U+0020 on but the
// surrogates, U+FFFE and U+FFFF.
bool is_xml_character(unsigned long c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// What is wrong with the reference `name` (between '&' and ';'), or nothing.
std::string_view reference_fault(std::string_view name) {
    static constexpr std::string_view kEntities[] = {"amp", "lt", "gt", "quot", "apos"};
    if (std::find(std::begin(kEntities), std::end(kEntities), name) != std::end(kEntities)) return {};
    if (!starts_with(name, "#")) return "a reference to an entity that is not declared";
    const bool hexadecimal = starts_with(name, "#x");
    const std::string_view digits = name.substr(hexadecimal ? 2 : 1);
    unsigned long value = 0;
    for (const char c : digits) {
        const int digit = c >= '0' && c <= '9'                  ? c - '0'
                          : hexadecimal && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hexadecimal && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                : -1;
        if (digit < 0) return "a character reference that is not a number";
        value = std::min(value * (hexadecimal ? 16 : 10) + static_cast<unsigned long>(digit), 0x110000ul);
    }
    if (digits.empty()) return "a character reference that is not a number";
    if (!is_xml_character(value)) return "a character reference to a character XML does not allow";
    return {};
}

}  // namespace

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::optional<std::string_view> declared_encoding(std::string_view text) {
    if (starts_with(text, kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
    const auto value = encoding_value(text);
    if (!value) return std::nullopt;
    return text.substr(value->first, value->second);
}

Utf8Manifest manifest_as_utf8(std::string_view bytes) {
    // A character U+FEFF after the byte order mark is no XML; a parser handed the text would take
    // it for the mark.
    for (const std::string_view mark : {kUtf16LittleEndianMark, kUtf16BigEndianMark, kUtf8ByteOrderMark}) {
        if (starts_with(bytes, mark) && starts_with(bytes.substr(mark.size()), mark))
            return refused(1, "a second byte order mark");
    }
    if (starts_with(bytes, kUtf16LittleEndianMark)) return from_utf16(bytes.substr(2), true);
    if (starts_with(bytes, kUtf16BigEndianMark)) return from_utf16(bytes.substr(2), false);
    const bool utf8_mark = starts_with(bytes, kUtf8ByteOrderMark);
    return from_single_bytes(bytes.substr(utf8_mark ? kUtf8ByteOrderMark.size() : 0), utf8_mark);
}

std::string reference_error(std::string_view utf8) {
    // Markup whose '&' are its own text: it ends only at its closing delimiter.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kLiteral = {
        {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}}};
    for (std::size_t at = 0; at < utf8.size();) {
        if (utf8[at] == '<') {
            const auto literal = std::find_if(kLiteral.begin(), kLiteral.end(), [&](const auto& delimiters) {
                return starts_with(utf8.substr(at), delimiters.first);
            });
            if (literal == kLiteral.end()) {
                ++at;
            } else {
                const std::size_t close = utf8.find(literal->second, at + literal->first.size());
                at = close == std::string_view::npos ? utf8.size() : close + literal->second.size();
            }
        } else if (utf8[at] == '&') {
            const std::size_t end = utf8.find_first_of(";<&\"' \t\r\n", at + 1);
            if (end == std::string_view::npos || utf8[end] != ';')
                return at_line(line_of(utf8, at), "a '&' that starts no reference");
            if (const std::string_view fault = reference_fault(utf8.substr(at + 1, end - at - 1)); !fault.empty())
                return at_line(line_of(utf8, at), fault);
            at = end + 1;
        } else {
            ++at;
        }
    }
    return {};
}

}  // namespace vextra::manifest
