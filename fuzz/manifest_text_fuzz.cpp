// SPDX-License-Identifier: MIT
// A manifest's bytes before the XML parser, and the rule after it. Whatever the bytes, the text
// handed to the parser is UTF-8 that declares UTF-8 (or nothing), has the lines of the bytes, and
// is the bytes themselves when they were UTF-8; our reference check never refuses what expat
// takes; and a manifest that asks for the visual styles passes the rule.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "manifest/manifest_rule.h"
#include "manifest/manifest_text.h"
#include "manifest/own_manifest.h"
#include "platform/xml.h"
#include "valid_utf8.h"

namespace {

using vextra::manifest::ManifestEncoding;

// The line feeds of `bytes` read in `encoding`: bytes, or UTF-16 code units, of value 10.
std::size_t line_feeds(std::string_view bytes, ManifestEncoding encoding) {
    if (encoding != ManifestEncoding::kUtf16LittleEndian && encoding != ManifestEncoding::kUtf16BigEndian)
        return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    const bool little_endian = encoding == ManifestEncoding::kUtf16LittleEndian;
    std::size_t count = 0;
    for (std::size_t at = 2; at + 1 < bytes.size(); at += 2)
        if (bytes[at + (little_endian ? 0 : 1)] == '\n' && bytes[at + (little_endian ? 1 : 0)] == '\0') ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace manifest = vextra::manifest;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const manifest::Utf8Manifest utf8 = manifest::manifest_as_utf8(bytes);
    const bool asks = manifest::asks_for_visual_styles(bytes);
    if (!utf8.error.empty()) {
        if (!utf8.text.empty() || utf8.error.rfind("line ", 0) != 0 || asks) std::abort();
        return 0;
    }
    const std::string& text = utf8.text;
    if (!vextra::test::is_valid_utf8(text)) std::abort();
    if (const auto name = manifest::declared_encoding(text);
        name && !manifest::equal_ignoring_ascii_case(*name, "UTF-8"))
        std::abort();
    if (std::count(text.begin(), text.end(), '\n') != static_cast<std::ptrdiff_t>(line_feeds(bytes, utf8.encoding)))
        std::abort();
    if (utf8.encoding == ManifestEncoding::kUtf8) {
        // The bytes as they were, without a byte order mark.
        const std::size_t mark = text.size() <= bytes.size() ? bytes.size() - text.size() : 1;
        if ((mark != 0 && mark != 3) || bytes.substr(mark) != text) std::abort();
    }

    if (vextra::platform::xml_error(text).empty() && !manifest::reference_error(text).empty()) std::abort();
    if (asks && !manifest::manifest_error(text).empty()) std::abort();
    return 0;
}
