// SPDX-License-Identifier: MIT
#include "platform/utf16.h"

#include <windows.h>

#include <climits>

namespace vextra::platform {

std::optional<std::wstring> to_utf16(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    if (utf8.size() > INT_MAX) return std::nullopt;
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length) != length)
        return std::nullopt;
    return wide;
}

namespace {

// `flags` 0 replaces a lone surrogate with U+FFFD; WC_ERR_INVALID_CHARS refuses it.
std::optional<std::string> utf16_to_utf8(std::wstring_view utf16, DWORD flags) {
    if (utf16.empty()) return std::string();
    if (utf16.size() > INT_MAX) return std::nullopt;
    const int size = static_cast<int>(utf16.size());
    const int length = WideCharToMultiByte(CP_UTF8, flags, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::nullopt;
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, flags, utf16.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

}  // namespace

std::string to_utf8(std::wstring_view utf16) { return utf16_to_utf8(utf16, 0).value_or(std::string()); }

std::optional<std::string> to_exact_utf8(std::wstring_view utf16) {
    return utf16_to_utf8(utf16, WC_ERR_INVALID_CHARS);
}

}  // namespace vextra::platform
