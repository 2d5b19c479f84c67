// SPDX-License-Identifier: MIT
#include "platform/standard_output.h"

#include <cerrno>
#include <csignal>

#include <unistd.h>

namespace vextra::platform {

std::error_code write_standard_output(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;  // a signal the program handles came first; nothing was written
            return {errno, std::system_category()};
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

std::error_code close_standard_output() {
    if (close(STDOUT_FILENO) != 0 && errno != EBADF) return {errno, std::system_category()};
    return {};
}

void keep_running_past_closed_pipe() { signal(SIGPIPE, SIG_IGN); }

}  // namespace vextra::platform
