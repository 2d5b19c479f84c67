// SPDX-License-Identifier: MIT
#pragma once
// What the entry at a path is, found through a handle on the entry itself
// (FILE_FLAG_OPEN_REPARSE_POINT), through which the caller then acts. Windows opens a symbolic
// link itself; Wine opens what a Unix symbolic link leads to and shows no sign of the link but the
// name the handle is open on, which is the target's: a handle open on another name than the
// entry's own is treated as a link too. Internal to the Windows file services.

#include <windows.h>

#include <cstdint>
#include <string>
#include <system_error>

#include "platform/handle_win32.h"

namespace vextra::platform::win32 {

enum class Kind {
    RegularFile,
    Directory,
    Link,          // a symbolic link or junction; the handle is on the link itself
    FollowedLink,  // Wine: the handle is on what a Unix symbolic link at the path leads to
    Other,         // not a file on a disk: a device, a pipe, a Unix FIFO under Wine
};

struct Entry {
    Handle handle;
    Kind kind = Kind::Other;
    DWORD attributes = 0;  // of what the handle is on
    std::uint64_t size = 0;
};

// Opens the entry at `path` (a \\?\ path) itself with `access` and says what it is.
std::error_code open_entry(const std::wstring& path, DWORD access, Entry& entry);

}  // namespace vextra::platform::win32
