// SPDX-License-Identifier: MIT
// Linux names the running executable in /proc/self/exe, whatever name or link started it.
#include "platform/program_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace vextra::platform {

std::string program_folder() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            break;
        }
        path.resize(path.size() * 2);  // readlink truncates silently: try again with more room
    }
    return containing_folder(path);
}

std::string containing_folder(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

std::string home_folder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

std::vector<std::string> shipped_file_paths(std::string_view name) {
    const std::string folder = program_folder();
    if (folder.empty()) return {};
    return {folder + "/" + std::string(name), folder + "/../share/vextra/" + std::string(name)};
}

}  // namespace vextra::platform
