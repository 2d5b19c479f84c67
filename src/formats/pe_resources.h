// SPDX-License-Identifier: MIT
#pragma once
// Our own reader of a Windows executable's resources, for systems that have no loader for them.
// It finds one resource by type and id (any language), as the Windows loader looks it up, at the
// addresses where the loader maps the file, reading only the bytes it needs. Every read is checked
// against the file and the image; the resource tree is walked exactly three levels deep (type, id,
// language), so no directory can make it loop, and no directory is scanned past a fixed number of
// entries.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vextra::formats {

inline constexpr std::uint16_t kManifestResourceType = 24;  // RT_MANIFEST
inline constexpr std::uint16_t kProcessManifestId = 1;      // the manifest a program is started with

// Reads `size` bytes at `offset` of the file into `out`; false when they are not all there.
using ReadAt = std::function<bool(std::uint64_t offset, std::size_t size, std::string& out)>;

// The bytes of the resource `type`/`id` of the PE image that `read_at` reads, whose file is
// `file_size` bytes long; nullopt when the file is no PE image, holds no such resource, or is
// damaged anywhere on the way to it. A resource larger than `limit` bytes counts as damaged.
std::optional<std::string> find_pe_resource(const ReadAt& read_at, std::uint64_t file_size, std::uint16_t type,
                                            std::uint16_t id, std::size_t limit);

}  // namespace vextra::formats
