// SPDX-License-Identifier: MIT
// The template tool and the program agree: every manifest the tool encodes, the program's load
// decodes back to the same text, with its line ends (LF, CR LF, a lone CR) as CR LF.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_file.h"
#include "manifest/template_store.h"
#include "template_encoder.h"

namespace {

std::string with_crlf(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // its LF follows
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vextra::fuzz::ScratchFile file;
    const std::string_view manifest(reinterpret_cast<const char*>(data), size);
    const vextra::tools::EncodedTemplate encoded = vextra::tools::encode_template(manifest);
    if (!encoded.error.empty()) return 0;
    vextra::formats::RichTextBox manif;
    const bool loaded = vextra::manifest::load_template(manif, file.write(encoded.rtf));
    if (!loaded || manif.text() != with_crlf(manifest)) std::abort();
    return 0;
}
