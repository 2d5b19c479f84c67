// SPDX-License-Identifier: MIT
// A program's resources on Windows, found by our own bounded reader as on Linux. The system's
// loader maps an image's resources without checking that they lie within the file, so a damaged
// program would make us read out of bounds and crash. The file read is the one Windows would
// start: a link to a program leads to it. Only a regular file on a disk is read.
#include "platform/executable.h"

#include <windows.h>

#include <algorithm>

#include "formats/pe_resources.h"
#include "platform/utf16.h"

namespace vextra::platform {

std::optional<std::string> embedded_manifest(const std::string& path) {
    const std::optional<std::wstring> wide = to_utf16(path);
    if (!wide || wide->empty()) return std::nullopt;
    const HANDLE file = CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::string> manifest;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const formats::ReadAt read_at = [file](std::uint64_t offset, std::size_t size, std::string& out) {
            out.resize(size);
            std::size_t done = 0;
            while (done < size) {
                OVERLAPPED at{};
                at.Offset = static_cast<DWORD>(offset + done);
                at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
                DWORD got = 0;
                const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 20));
                if (!ReadFile(file, out.data() + done, wanted, &got, &at) || got == 0) return false;
                done += got;
            }
            return true;
        };
        const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        manifest = formats::find_pe_resource(read_at, size, formats::kManifestResourceType, formats::kProcessManifestId, kEmbeddedManifestLimit);
    }
    CloseHandle(file);
    return manifest;
}

}  // namespace vextra::platform
