// SPDX-License-Identifier: MIT
// Linux has no loader for Windows executables: their resources are found by our own reader, on
// the file that Wine would start (a link to a program leads to it), opened so that nothing there
// can make us wait.
#include "platform/executable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "formats/pe_resources.h"

namespace vextra::platform {

std::optional<std::string> embedded_manifest(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> manifest;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const formats::ReadAt read_at = [fd](std::uint64_t offset, std::size_t size, std::string& out) {
            out.resize(size);
            std::size_t done = 0;
            while (done < size) {
                const ssize_t got = pread(fd, out.data() + done, size - done, static_cast<off_t>(offset + done));
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) return false;
                done += static_cast<std::size_t>(got);
            }
            return true;
        };
        manifest = formats::find_pe_resource(read_at, static_cast<std::uint64_t>(st.st_size), formats::kManifestResourceType,
                                    formats::kProcessManifestId, kEmbeddedManifestLimit);
    }
    close(fd);
    return manifest;
}

}  // namespace vextra::platform
