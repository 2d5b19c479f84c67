// SPDX-License-Identifier: MIT
// Our reader of Windows executables' resources on any bytes: it must never ask for bytes outside
// the file, loop, or give a resource larger than the limit, and what it gives is bytes of the file
// as they are, the last ones it read.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    std::string_view last_read;
    const vextra::formats::ReadAt read_at = [file, &last_read](std::uint64_t offset, std::size_t count,
                                                                std::string& out) {
        // The reader checks every offset against the file size it was given before it reads.
        if (offset > file.size() || count > file.size() - offset) std::abort();
        last_read = file.substr(static_cast<std::size_t>(offset), count);
        out.assign(last_read);
        return true;
    };
    constexpr std::size_t kLimit = 1 << 16;
    namespace formats = vextra::formats;
    const auto manifest = formats::find_pe_resource(read_at, file.size(), formats::kManifestResourceType,
                                                     formats::kProcessManifestId, kLimit);
    if (manifest && (manifest->size() > kLimit || *manifest != last_read)) std::abort();
    return 0;
}
