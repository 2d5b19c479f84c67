// SPDX-License-Identifier: MIT
#pragma once
// A program that carries its own manifest: Windows reads that one and ignores a manifest file
// beside the program, so writing one would change nothing.

#include <string_view>

namespace vextra::manifest {

inline constexpr std::string_view kAlreadyStyled = " already asks for visual styles in its own manifest.";
inline constexpr std::string_view kOwnManifestBefore = " carries its own manifest, which Windows reads instead of ";
inline constexpr std::string_view kOwnManifestAfter = ".manifest, so visual styles cannot be enabled this way.";

// Whether the manifest (its bytes, in any encoding manifest_as_utf8 reads) asks for the visual
// styles: it is one the loader takes (manifest_rule.h), with a dependency, right under its root,
// on the assembly Microsoft.Windows.Common-Controls in version 6 from the system's store.
bool asks_for_visual_styles(std::string_view manifest);

}  // namespace vextra::manifest
