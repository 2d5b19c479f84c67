// SPDX-License-Identifier: MIT
#include "template_encoder.h"

#include <cstdio>
#include <optional>

#include "manifest/manifest_rule.h"
#include "manifest/template_store.h"
#include "formats/text.h"

namespace vextra::tools {
namespace {

std::string hex_escape(unsigned char code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\'%02x", code);
    return buffer;
}

std::string unicode_escape(char32_t unit) {
    // RTF takes a signed 16-bit number; '?' is the fallback a reader without Unicode shows.
    return "\\u" + std::to_string(static_cast<int>(static_cast<std::int16_t>(static_cast<std::uint16_t>(unit)))) + "?";
}

std::optional<unsigned char> code_for(std::string_view replacement) {
    for (const auto& pair : manifest::kDecodeList)
        if (pair.replacement == replacement) return pair.code;
    return std::nullopt;
}

constexpr std::string_view kHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 MS Sans Serif;}}\r\n"
    "\\viewkind4\\uc1\\pard\\lang1033\\f0\\fs17 ";

}  // namespace

EncodedTemplate encode_template(std::string_view manifest) {
    const auto line_end_code = code_for("\r\n");
    std::string body;
    std::size_t line = 1;
    for (std::size_t pos = 0, length = 0; pos < manifest.size(); pos += length) {
        const auto cp = formats::next_code_point(manifest, pos, length);
        if (!cp) return {{}, "line " + std::to_string(line) + ": the text is not UTF-8"};
        if (*cp >= 0xC8 && *cp <= 0xE8) {
            char where[96];
            std::snprintf(where, sizeof where, "line %zu: the character U+%04X", line, static_cast<unsigned>(*cp));
            return {{}, std::string(where) + " lies in the range U+00C8 to U+00E8 that the template uses for its codes"};
        }
        if (*cp < 0x20 && *cp != '\t' && *cp != '\r' && *cp != '\n') {
            return {{}, "line " + std::to_string(line) + ": a control character, which XML does not allow"};
        }
        if (*cp == '\r' || *cp == '\n') {
            if (*cp == '\r' && pos + 1 < manifest.size() && manifest[pos + 1] == '\n') ++length;
            ++line;
            // A line break in the RTF source is not text; it only keeps the template readable.
            body += hex_escape(*line_end_code) + "\r\n";
        } else if (const auto code = *cp < 0x80 ? code_for(std::string(1, static_cast<char>(*cp))) : std::nullopt) {
            body += hex_escape(*code);
        } else if (*cp == '\\' || *cp == '{' || *cp == '}') {
            body += '\\';
            body += static_cast<char>(*cp);
        } else if (*cp == '\t') {
            body += "\\tab ";
        } else if (*cp >= 0x20 && *cp < 0x7F) {
            body += static_cast<char>(*cp);
        } else if (*cp < 0x10000) {
            body += unicode_escape(*cp);
        } else {
            const char32_t v = *cp - 0x10000;
            body += unicode_escape(0xD800 + (v >> 10)) + unicode_escape(0xDC00 + (v & 0x3FF));
        }
    }
    if (const std::string error = manifest::written_manifest_error(manifest); !error.empty())
        return {{}, "not a manifest Windows takes: " + error};
    const std::string marker(manifest::kMarker);
    std::string rtf = std::string(kHeader) + marker + "\r\n" + body + marker + "}\r\n";
    if (rtf.size() > manifest::kTemplateSizeLimit)
        return {{}, "the template would take " + std::to_string(rtf.size()) + " bytes, more than the " +
                        std::to_string(manifest::kTemplateSizeLimit >> 20) + " MiB the programs load"};
    return {std::move(rtf), {}};
}

}  // namespace vextra::tools
