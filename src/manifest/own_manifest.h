// SPDX-License-Identifier: MIT
#pragma once
// A program that carries its own manifest: Windows reads that one and ignores a manifest file
// beside the program, so writing one would change nothing.

#include <string_view>

namespace vextra::manifest {

inline constexpr std::string_view kAlreadyStyled = " already asks for visual styles in its own manifest.";
inline constexpr std::string_view kOwnManifestBefore = " carries its own manifest, which Windows reads instead of ";
inline constexpr std::string_view kOwnManifestAfter = ".manifest, so visual styles cannot be enabled this way.";

// Whether the manifest asks for the visual styles: a dependency on the assembly
// Microsoft.Windows.Common-Controls in version 6, as read by an XML parser.
bool asks_for_visual_styles(std::string_view manifest);

}  // namespace vextra::manifest
