// SPDX-License-Identifier: MIT
#pragma once
// Paths for the wide API: the program's UTF-8 paths as absolute \\?\ paths, which take any name
// Windows allows and any length. Internal to the Windows file services.

#include <string>
#include <string_view>
#include <system_error>

namespace vextra::platform::win32 {

// The absolute \\?\ form of `path`. GetFullPathNameW resolves relative names against the working
// directory and removes "." and ".." (which \\?\ paths no longer interpret); it works on paths of
// any length.
std::error_code wide_path(const std::string& path, std::wstring& result);

// The folder part of a \\?\ path, with its trailing backslash.
std::wstring folder_of(const std::wstring& path);

// Whether `path` holds a wildcard past its \\?\ prefix, which a search by that path would expand.
bool has_wildcards(std::wstring_view path);

}  // namespace vextra::platform::win32
