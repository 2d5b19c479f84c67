// Our reader of Windows executables' resources on any bytes: it must never read outside the file,
// loop, or give a resource larger than the limit.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const vextra::platform::ReadAt read_at = [file](std::uint64_t offset, std::size_t count, std::string& out) {
        if (offset > file.size() || count > file.size() - offset) return false;
        out.assign(file.substr(static_cast<std::size_t>(offset), count));
        return true;
    };
    constexpr std::size_t kLimit = 1 << 16;
    const auto manifest = vextra::platform::find_pe_resource(read_at, file.size(), vextra::platform::kManifestResourceType,
                                                             vextra::platform::kProcessManifestId, kLimit);
    if (manifest && manifest->size() > kLimit) std::abort();
    return 0;
}
