// SPDX-License-Identifier: MIT
// The whole template load, as at start-up: the file read, the RTF reader, the marker and the
// decoding. Whatever the file holds, the text the program keeps is clean UTF-8 with no code left
// in it, and a file that does not load leaves the initial text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_file.h"
#include "manifest/template_store.h"
#include "formats/rtf_reader.h"
#include "valid_utf8.h"

namespace {

// The codes U+00C8 to U+00E8 in UTF-8: 0xC3 followed by 0x88 to 0xA8.
bool holds_a_code(std::string_view text) {
    for (std::size_t at = text.find('\xC3'); at != std::string_view::npos && at + 1 < text.size();
         at = text.find('\xC3', at + 1)) {
        const auto second = static_cast<unsigned char>(text[at + 1]);
        if (second >= 0x88 && second <= 0xA8) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vextra::fuzz::ScratchFile file;
    static const std::string initial_text = vextra::formats::RichTextBox().text();
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    vextra::formats::RichTextBox manif;
    const bool loaded = vextra::manifest::load_template(manif, file.write(content));
    if (!vextra::test::is_valid_utf8(manif.text()) || holds_a_code(manif.text())) std::abort();
    // The file holds exactly the input, so it loads exactly when the reader takes the input.
    if (loaded != vextra::formats::rtf_plain_text(content).has_value()) std::abort();
    if (!loaded && manif.text() != initial_text) std::abort();
    return 0;
}
