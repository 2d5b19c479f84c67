#include "manifest/template_store.h"

#include <stdexcept>

#include "platform/text.h"
#include "platform/xml.h"

namespace vextra::manifest {
namespace {

// Every code of the list is a letter of U+00C8 to U+00E8, two bytes in UTF-8 that begin with
// 0xC3; the table gives each possible second byte its replacement.
constexpr unsigned char kCodeLeadByte = 0xC3;

std::array<std::string_view, 256> replacements_by_second_byte() {
    std::array<std::string_view, 256> table{};
    for (const DecodePair& pair : kDecodeList) {
        const std::string code = platform::ansi_char(pair.code);
        if (code.size() != 2 || static_cast<unsigned char>(code[0]) != kCodeLeadByte)
            throw std::logic_error("a decode code outside U+00C0 to U+00FF");
        table[static_cast<unsigned char>(code[1])] = pair.replacement;
    }
    return table;
}

}  // namespace

std::string decode_text(std::string_view text) {
    // One pass gives what replacing each code in turn gives: the replacements are ASCII, so none
    // of them forms or splits a code.
    static const std::array<std::string_view, 256> replacements = replacements_by_second_byte();
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) == kCodeLeadByte && i + 1 < text.size()) {
            const std::string_view replacement = replacements[static_cast<unsigned char>(text[i + 1])];
            if (!replacement.empty()) {
                out += replacement;
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool load_template(platform::RichTextBox& manif, const std::string& path) {
    const bool loaded = manif.load_rtf(path, kTemplateSizeLimit);
    manif.set_text(decode_text(platform::replace_all(manif.text(), kMarker, "")));
    return loaded;
}

std::string manifest_text_error(const platform::RichTextBox& manif) { return platform::xml_error(manif.text()); }

}  // namespace vextra::manifest
