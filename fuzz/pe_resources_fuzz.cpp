// SPDX-License-Identifier: MIT
// Our reader of Windows executables' resources on any bytes: it must never ask for bytes outside
// the file, loop, or give a resource larger than the limit, and what it gives is bytes of the file
// as they are, the last ones it read, with the zeros of what the file does not fill between them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    std::string read_so_far;
    const vextra::formats::ReadAt read_at = [file, &read_so_far](std::uint64_t offset, std::size_t count,
                                                                  std::string& out) {
        // The reader checks every offset against the file size it was given before it reads.
        if (offset > file.size() || count > file.size() - offset) std::abort();
        out.assign(file.substr(static_cast<std::size_t>(offset), count));
        read_so_far += out;
        return true;
    };
    const auto without_zeros = [](std::string bytes) {
        bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
        return bytes;
    };
    constexpr std::size_t kLimit = 1 << 16;
    namespace formats = vextra::formats;
    const auto manifest = formats::find_pe_resource(read_at, file.size(), formats::kManifestResourceType,
                                                     formats::kProcessManifestId, kLimit);
    if (!manifest) return 0;
    const std::string bytes = without_zeros(*manifest);
    const std::string read = without_zeros(read_so_far);
    if (manifest->size() > kLimit || bytes.size() > read.size() ||
        read.compare(read.size() - bytes.size(), bytes.size(), bytes) != 0)
        std::abort();
    return 0;
}
