// SPDX-License-Identifier: MIT
#include "manifest/own_manifest.h"

#include <string>
#include <vector>

#include "manifest/manifest_rule.h"
#include "manifest/manifest_text.h"

namespace vextra::manifest {
namespace {

// The identity the loader binds common controls 6 by: the assembly's name (compared without regard
// to case, as Windows compares it), a version 6, and the public key token of the copy in the
// system's store, without which the loader finds none.
bool is_common_controls_6(const platform::XmlElement& identity) {
    const std::string* name = attribute_value(identity, "name");
    const std::string* version = attribute_value(identity, "version");
    const std::string* token = attribute_value(identity, "publicKeyToken");
    const auto parts = version ? assembly_version(*version) : std::nullopt;
    return name && equal_ignoring_ascii_case(*name, "Microsoft.Windows.Common-Controls") && parts && (*parts)[0] == 6 &&
           token && equal_ignoring_ascii_case(*token, "6595b64144ccf1df");
}

}  // namespace

bool asks_for_visual_styles(std::string_view manifest) {
    const Utf8Manifest utf8 = manifest_as_utf8(manifest);
    if (!utf8.error.empty()) return false;
    static constexpr std::string_view kDependencyPath[] = {"assembly", "dependency", "dependentAssembly",
                                                           "assemblyIdentity"};
    std::vector<bool> on_path;  // whether each open element lies on the dependency's path
    bool asks = false;
    const std::string error = manifest_error(utf8.text, [&](const platform::XmlElement& element) {
        const auto depth = static_cast<std::size_t>(element.depth);
        on_path.resize(depth);
        on_path.push_back(depth < std::size(kDependencyPath) && (depth == 0 || on_path[depth - 1]) &&
                          element.namespace_uri == kAssemblyNamespace && element.name == kDependencyPath[depth]);
        if (depth + 1 == std::size(kDependencyPath) && on_path.back() && is_common_controls_6(element)) asks = true;
    });
    return error.empty() && asks;
}

}  // namespace vextra::manifest
