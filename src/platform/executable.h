// SPDX-License-Identifier: MIT
#pragma once
// What the system's loader will make of a Windows executable before it runs it.

#include <cstddef>
#include <optional>
#include <string>

namespace vextra::platform {

// Manifests are a few KiB; a larger resource is no manifest of a real program and is not read.
inline constexpr std::size_t kEmbeddedManifestLimit = 1u << 20;

// The application manifest built into the executable at `path` (resource type 24, id 1, which
// Windows reads instead of a manifest file beside the program); nullopt when it has none, cannot
// be read, or is no Windows executable at all.
std::optional<std::string> embedded_manifest(const std::string& path);

}  // namespace vextra::platform
