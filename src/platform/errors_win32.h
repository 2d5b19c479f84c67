// SPDX-License-Identifier: MIT
#pragma once
// Windows' error codes as the std::error_code the file services return. Internal to the Windows
// file services.

#include <windows.h>

#include <system_error>

namespace vextra::platform::win32 {

inline std::error_code windows_error(DWORD code) { return {static_cast<int>(code), std::system_category()}; }
inline std::error_code last_error() { return windows_error(GetLastError()); }

}  // namespace vextra::platform::win32
