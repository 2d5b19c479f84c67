// SPDX-License-Identifier: MIT
#include "platform/paths_win32.h"

#include <windows.h>

#include <optional>
#include <utility>

#include "platform/errors_win32.h"
#include "platform/utf16.h"

namespace vextra::platform::win32 {

std::error_code wide_path(const std::string& path, std::wstring& result) {
    if (path.empty()) return windows_error(ERROR_PATH_NOT_FOUND);
    std::optional<std::wstring> utf16 = to_utf16(path);
    if (!utf16) return windows_error(ERROR_INVALID_NAME);
    std::wstring wide = std::move(*utf16);
    if (wide.rfind(L"\\\\?\\", 0) == 0) {
        result = std::move(wide);
        return {};
    }
    for (auto& c : wide)
        if (c == L'/') c = L'\\';
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return last_error();
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (full.rfind(L"\\\\.\\", 0) == 0) {
        result = std::move(full);  // a device, not a file
    } else if (full.rfind(L"\\\\", 0) == 0) {
        result = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        result = L"\\\\?\\" + full;
    }
    return {};
}

std::wstring folder_of(const std::wstring& path) {
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool has_wildcards(std::wstring_view path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) path.remove_prefix(4);
    return path.find_first_of(L"*?") != std::wstring_view::npos;
}

}  // namespace vextra::platform::win32
