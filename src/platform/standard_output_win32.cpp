// SPDX-License-Identifier: MIT
#include "platform/standard_output.h"

#include <windows.h>

#include <string>

namespace vextra::platform {

std::error_code write_standard_output(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    for (const char c : bytes) {
        if (c == '\n') text += '\r';
        text += c;
    }
    // A program started without a standard output has none to write to: the same error as a
    // closed one.
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        return {static_cast<int>(ERROR_INVALID_HANDLE), std::system_category()};
    std::string_view rest = text;
    while (!rest.empty()) {
        // A console takes a limited amount at once; a pipe or a file takes what it is given.
        const DWORD chunk = static_cast<DWORD>(rest.size() < (1u << 20) ? rest.size() : (1u << 20));
        DWORD written = 0;
        if (!WriteFile(output, rest.data(), chunk, &written, nullptr)) {
            const DWORD error = GetLastError();
            // The reader of the pipe has gone away, or is going (Wine says the pipe is not connected).
            if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED)
                return std::make_error_code(std::errc::broken_pipe);
            return {static_cast<int>(error), std::system_category()};
        }
        if (written == 0) return {static_cast<int>(ERROR_WRITE_FAULT), std::system_category()};  // never ends otherwise
        rest.remove_prefix(written);
    }
    return {};
}

// WriteFile keeps nothing back, and a handle's close reports nothing a write did not.
std::error_code close_standard_output() { return {}; }

// Windows has no signal for a pipe without a reader: the write fails, and only the write.
void keep_running_past_closed_pipe() {}

}  // namespace vextra::platform
