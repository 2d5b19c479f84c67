// SPDX-License-Identifier: MIT
// The RTF reader on any bytes: it must neither crash nor give text that is not clean UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/rtf_reader.h"
#include "valid_utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view rtf(reinterpret_cast<const char*>(data), size);
    const auto text = vextra::formats::rtf_plain_text(rtf);
    if (text && (!vextra::test::is_valid_utf8(*text) || text->find('\0') != std::string::npos)) std::abort();
    return 0;
}
