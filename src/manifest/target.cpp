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

std::string not_executable_message(const std::string& path) {
    return platform::lookup_name(path) + std::string(kNotExecutable);
}

bool select_target(Selection& selection, const std::optional<std::string>& first_file,
                   platform::Dialogs& dialogs) {
    if (first_file) selection.applink = *first_file;
    if (!has_executable_ending(selection.applink)) {
        dialogs.message_box(not_executable_message(selection.applink), platform::buttons::kOkWarning,
                            std::string(kProductName));
        return false;
    }
    selection.file_name = platform::lookup_name(selection.applink);
    selection.exelink = selection.applink;

    selection.style_status = style_status_of(selection.exelink);
    if (selection.style_status == kStatusYes)
        platform::set_attributes(manifest_path(selection.exelink), kManifestAttributes);
    return true;
}

std::string_view style_status_of(const std::string& exelink) {
    return platform::path_exists(manifest_path(exelink)) ? kStatusYes : kStatusNo;
}

}  // namespace vextra::manifest
