// SPDX-License-Identifier: MIT
#include "manifest/template_store.h"

#include <optional>
#include <stdexcept>

#include "platform/files.h"
#include "formats/rtf_reader.h"
#include "formats/text.h"
#include "manifest/manifest_rule.h"

namespace vextra::manifest {
namespace {

// Every code of the list is a letter of U+00C8 to U+00E8, two bytes in UTF-8 that begin with
// 0xC3; the table gives each possible second byte its replacement.
constexpr unsigned char kCodeLeadByte = 0xC3;

std::array<std::string_view, 256> replacements_by_second_byte() {
    std::array<std::string_view, 256> table{};
    for (const DecodePair& pair : kDecodeList) {
        const std::string_view code = formats::ansi_char(pair.code);
        if (code.size() != 2 || static_cast<unsigned char>(code[0]) != kCodeLeadByte || pair.replacement.size() > 2)
            throw std::logic_error("a decode code outside U+00C0 to U+00FF, or a replacement longer than it");
        table[static_cast<unsigned char>(code[1])] = pair.replacement;
    }
    return table;
}

// Why a template did not load: the system's words when its file could not be read, else that the
// bytes read are no RTF document.
std::string load_failure(std::error_code read_error) {
    if (read_error == std::errc::file_too_large)
        return platform::error_text(read_error) + ": a template is at most " +
               std::to_string(kTemplateSizeLimit >> 20) + " MiB";
    if (read_error) return platform::error_text(read_error);
    return "not an RTF document (or one cut short)";
}

}  // namespace

void decode_text(std::string& text) {
    // One pass gives what replacing each code in turn gives: the replacements are ASCII, so none
    // of them forms or splits a code. None is longer than its code, so the text shrinks in place.
    static const std::array<std::string_view, 256> replacements = replacements_by_second_byte();
    char* end = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) == kCodeLeadByte && i + 1 < text.size()) {
            const std::string_view replacement = replacements[static_cast<unsigned char>(text[i + 1])];
            if (!replacement.empty()) {
                for (const char c : replacement) *end++ = c;
                ++i;
                continue;
            }
        }
        *end++ = text[i];
    }
    text.resize(static_cast<std::size_t>(end - text.data()));
}

bool load_template(formats::RichTextBox& manif, const std::string& path, std::string* why_not) {
    std::string document;
    const std::error_code read_error = platform::read_file(path, document, kTemplateSizeLimit);
    std::optional<std::string> loaded;
    if (!read_error) loaded = formats::rtf_plain_text(document);
    if (!loaded && why_not) *why_not = load_failure(read_error);
    std::string text = loaded ? std::move(*loaded) : manif.take_text();
    formats::erase_all(text, kMarker);
    decode_text(text);
    manif.set_text(std::move(text));
    return loaded.has_value();
}

std::string manifest_text_error(const formats::RichTextBox& manif) { return written_manifest_error(manif.text()); }

}  // namespace vextra::manifest
