// SPDX-License-Identifier: MIT
// Windows names the running executable through its module handle.
#include "platform/program_folder.h"

#include <windows.h>

#include "platform/utf16.h"

namespace vextra::platform {

std::string program_folder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // the name was cut short: try again with more room
    }
    const auto separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return {};
    // A name that UTF-8 cannot carry exactly would lead to another folder.
    return to_exact_utf8(std::wstring_view(path).substr(0, separator)).value_or(std::string());
}

std::string containing_folder(std::string_view path) {
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string_view::npos) return {};
    // A drive's root keeps its separator: "C:" alone is the drive's current folder.
    const bool drive_root = separator == 2 && path[1] == ':';
    return std::string(path.substr(0, drive_root ? separator + 1 : separator));
}

std::string home_folder() {
    std::wstring folder(MAX_PATH, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", folder.data(), static_cast<DWORD>(folder.size()));
    if (length == 0 || length >= folder.size()) return {};
    folder.resize(length);
    return to_exact_utf8(folder).value_or(std::string());
}

std::vector<std::string> shipped_file_paths(std::string_view name) {
    const std::string folder = program_folder();
    if (folder.empty()) return {};
    return {folder + "\\" + std::string(name)};
}

}  // namespace vextra::platform
