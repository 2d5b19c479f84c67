// SPDX-License-Identifier: MIT
#include "manifest/target.h"

#include "platform/files.h"
#include "product.h"

namespace vextra::manifest {

std::string manifest_path(std::string_view target) { return std::string(target) + ".manifest"; }

bool has_executable_ending(std::string_view path) {
    if (path.size() < 3) return false;
    const std::string_view ending = path.substr(path.size() - 3);
    return ending == "exe" || ending == "EXE";
}

bool select_target(Selection& selection, const std::optional<std::string>& first_file,
                   platform::Dialogs& dialogs) {
    if (first_file) selection.applink = *first_file;
    if (!has_executable_ending(selection.applink)) {
        dialogs.message_box(platform::lookup_name(selection.applink) + std::string(kNotExecutable),
                            platform::buttons::kOkWarning, std::string(kProductName));
        return false;
    }
    selection.file_name = platform::lookup_name(selection.applink);
    selection.exelink = selection.applink;

    // Clearing the attributes first lets the lookup see a hidden or system manifest.
    const std::string manifest = manifest_path(selection.exelink);
    platform::set_attributes(manifest, platform::attribute::kNormal);
    if (!platform::lookup_name(manifest).empty()) {
        selection.style_status = kStatusYes;
        platform::set_attributes(manifest, kManifestAttributes);
    } else {
        selection.style_status = kStatusNo;
    }
    return true;
}

}  // namespace vextra::manifest
