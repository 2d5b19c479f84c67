// SPDX-License-Identifier: MIT
#include "manifest/own_manifest.h"

#include <string>
#include <vector>

#include "platform/xml.h"

namespace vextra::manifest {
namespace {

// Assembly names compare without regard to case, as Windows compares them.
bool same_ascii_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool is_common_controls_6(const platform::XmlElement& identity) {
    bool named = false;
    bool version_6 = false;
    for (const auto& [attribute, value] : identity.attributes) {
        if (attribute == "name") named = same_ascii_letters(value, "Microsoft.Windows.Common-Controls");
        if (attribute == "version") version_6 = value == "6" || value.rfind("6.", 0) == 0;
    }
    return named && version_6;
}

}  // namespace

bool asks_for_visual_styles(std::string_view manifest) {
    std::vector<std::string> open;  // the names of the elements around the one being read
    bool asks = false;
    const std::string error = platform::xml_error(manifest, [&](const platform::XmlElement& element) {
        open.resize(static_cast<std::size_t>(element.depth));
        open.push_back(element.name);
        const std::size_t n = open.size();
        if (n >= 3 && open[n - 1] == "assemblyIdentity" && open[n - 2] == "dependentAssembly" &&
            open[n - 3] == "dependency" && is_common_controls_6(element))
            asks = true;
    });
    return error.empty() && asks;
}

}  // namespace vextra::manifest
