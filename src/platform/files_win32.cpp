// File services on Windows, on the wide API only: paths arrive as UTF-8 and are turned into
// absolute \\?\ paths, so any name Windows allows works, whatever the ANSI code page, and paths
// longer than MAX_PATH work too.
#include "platform/files.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace vextra::platform {
namespace {

std::error_code last_error() { return {static_cast<int>(GetLastError()), std::system_category()}; }
std::error_code windows_error(DWORD code) { return {static_cast<int>(code), std::system_category()}; }

// UTF-8 to UTF-16; false for text that is not UTF-8, which names no file.
bool widen(const std::string& text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    if (text.size() > INT_MAX) return false;
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) == length;
}

std::string narrow(const wchar_t* wide, std::size_t count) {
    if (count == 0 || count > INT_MAX) return {};
    const int size = static_cast<int>(count);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, size, text.data(), length, nullptr, nullptr);
    return text;
}

// The absolute \\?\ form of `path`. GetFullPathNameW resolves relative names against the working
// directory and removes "." and ".." (which \\?\ paths no longer interpret); it works on paths of
// any length.
std::error_code wide_path(const std::string& path, std::wstring& result) {
    std::wstring wide;
    if (path.empty()) return windows_error(ERROR_PATH_NOT_FOUND);
    if (!widen(path, wide)) return windows_error(ERROR_INVALID_NAME);
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

// The folder part of a \\?\ path, with its trailing backslash.
std::wstring folder_of(const std::wstring& path) {
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Creates a hidden temporary file in `folder`, so that no other program lists it while it is
// being written.
HANDLE create_temporary(const std::wstring& folder, std::wstring& temp) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[64];
        std::swprintf(name, 64, L".vextra-%08lx%08lx%04x.tmp", GetCurrentProcessId(), GetTickCount(),
                      ++counter & 0xFFFF);
        temp = folder + name;
        const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

std::error_code write_all(HANDLE file, std::string_view content) {
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, content.data(), chunk, &written, nullptr)) return last_error();
        content.remove_prefix(written);
    }
    return {};
}

bool has_wildcards(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

}  // namespace

std::string lookup_name(const std::string& path) {
    std::wstring wide;
    if (has_wildcards(path) || wide_path(path, wide)) return {};
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(wide.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    FindClose(search);
    const DWORD invisible = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (found.dwFileAttributes & invisible) return {};
    return narrow(found.cFileName, wcslen(found.cFileName));
}

std::error_code set_attributes(const std::string& path, unsigned attributes) {
    std::wstring wide;
    if (auto error = wide_path(path, wide)) return error;
    if (!SetFileAttributesW(wide.c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes))
        return last_error();
    return {};
}

std::error_code get_attributes(const std::string& path, unsigned& attributes) {
    std::wstring wide;
    if (auto error = wide_path(path, wide)) return error;
    const DWORD value = GetFileAttributesW(wide.c_str());
    if (value == INVALID_FILE_ATTRIBUTES) return last_error();
    attributes = value;
    return {};
}

std::error_code delete_file(const std::string& path) {
    std::wstring wide;
    if (auto error = wide_path(path, wide)) return error;
    if (!DeleteFileW(wide.c_str())) return last_error();
    return {};
}

std::error_code save_file(const std::string& path, std::string_view content) {
    std::wstring target;
    if (auto error = wide_path(path, target)) return error;
    // Replacing by a move would also replace a read-only file or a folder; Windows itself refuses
    // to write either, and a read-only manifest is never overwritten.
    const DWORD existing = GetFileAttributesW(target.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES &&
        (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return windows_error(ERROR_ACCESS_DENIED);

    std::wstring temp;
    const HANDLE file = create_temporary(folder_of(target), temp);
    if (file == INVALID_HANDLE_VALUE) return last_error();
    std::error_code error = write_all(file, content);
    if (!error && !FlushFileBuffers(file)) error = last_error();
    CloseHandle(file);
    // The finished file is an ordinary one, not hidden like the temporary.
    if (!error && !SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL)) error = last_error();
    if (!error && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = last_error();
    if (error) DeleteFileW(temp.c_str());
    return error;
}

std::error_code read_file(const std::string& path, std::string& content) {
    std::wstring wide;
    if (auto error = wide_path(path, wide)) return error;
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return last_error();
    std::string data;
    std::error_code error;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            error = last_error();
            break;
        }
        if (got == 0) break;
        data.append(buffer, got);
    }
    CloseHandle(file);
    if (!error) content = std::move(data);
    return error;
}

bool path_exists(const std::string& path) {
    std::wstring wide;
    return !wide_path(path, wide) && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string error_text(std::error_code error) {
    // MinGW's system_category() does not ask FormatMessage, so Windows' words come from here.
    if (error.category() != std::system_category()) return error.message();
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error.value()), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || !buffer) return error.message();
    std::string text = narrow(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

}  // namespace vextra::platform
