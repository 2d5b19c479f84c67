// SPDX-License-Identifier: MIT
#pragma once
// A save's temporary: a new hidden file beside the target, written whole, then given the target's
// name. Internal to the Windows file services.

#include <windows.h>

#include <string>
#include <string_view>
#include <system_error>

#include "platform/file_information_win32.h"

namespace vextra::platform::win32 {

// A new temporary in `folder`, open with `access` and shared with no one, so that no other process
// opens or deletes it while this handle is open.
HANDLE create_temporary(const std::wstring& folder, DWORD access);

// Writes `content` to a new temporary in the folder of `target`, held from its creation to its
// rename, so that no other save's clean-up takes it on the way, and gives it the name `target`.
// The temporary is deleted whenever it does not get there.
std::error_code save_through_temporary(const std::wstring& target, std::string_view content, Replace replace);

}  // namespace vextra::platform::win32
