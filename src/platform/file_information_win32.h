// SPDX-License-Identifier: MIT
#pragma once
// Changes made through an open handle with the system's file information: deletion on close,
// attributes, a new name, a second name. Acting through the handle changes the file it is open on,
// whatever another program has done to the path meanwhile. Internal to the Windows file services.

#include <windows.h>

#include <string>
#include <system_error>

namespace vextra::platform::win32 {

std::error_code set_information(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS type, void* information, DWORD size);

// Deletes the file open as `handle` when its last handle is closed.
std::error_code mark_for_deletion(HANDLE handle);

std::error_code set_attributes_of(HANDLE handle, DWORD attributes);

enum class Replace { Entry, Never };

// Gives the file open as `handle` the name `path` (a \\?\ path), replacing the entry there as an
// entry (a link there is replaced, never followed) or, with Replace::Never, failing over any entry
// there. The rename goes through the handle, so the file stays held by it all the way.
std::error_code rename_over(HANDLE handle, const std::wstring& path, Replace replace = Replace::Entry);

// Gives the file open as `handle` a second name, `path` (a \\?\ path), failing over any entry
// there with ERROR_ALREADY_EXISTS. Win32 has no call for it on a handle; ntdll's is found at run
// time, so that nothing beyond kernel32 is imported for it.
std::error_code link_without_replacing(HANDLE handle, const std::wstring& path);

}  // namespace vextra::platform::win32
