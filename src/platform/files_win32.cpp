// SPDX-License-Identifier: MIT
// File services on Windows, on the wide API only: paths arrive as UTF-8 and are turned into
// absolute \\?\ paths, so any name Windows allows works, whatever the ANSI code page, and paths
// longer than MAX_PATH work too.
//
// Each call opens the entry at the path itself (FILE_FLAG_OPEN_REPARSE_POINT), looks at what the
// handle is, and acts through that handle, so what was checked is what is changed.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/entries_win32.h"
#include "platform/errors_win32.h"
#include "platform/file_information_win32.h"
#include "platform/handle_win32.h"
#include "platform/paths_win32.h"
#include "platform/temporaries_win32.h"
#include "platform/utf16.h"

namespace vextra::platform {

using namespace win32;

namespace {

// Only a regular file takes attributes or is read. Windows answers "access denied" to opening a
// folder as a file; a link is refused with "not supported", as Linux refuses to change a link's
// mode, and so is anything that is not a file on a disk.
std::error_code refuse_unless_regular(const Entry& entry) {
    switch (entry.kind) {
        case Kind::RegularFile: return {};
        case Kind::Directory: return windows_error(ERROR_ACCESS_DENIED);
        default: return windows_error(ERROR_NOT_SUPPORTED);
    }
}

// What a symbolic link itself shows, where Wine shows what it leads to: Windows gives a link it
// made the reparse point and archive attributes.
constexpr DWORD kLinkAttributes = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE;

// The attributes of the entry at `path` as its folder lists them. Wine cannot give a Unix FIFO's
// attributes by path, but lists it.
std::error_code listed_attributes(const std::wstring& path, DWORD& attributes) {
    attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return {};
    const std::error_code error = last_error();
    if (error == windows_error(ERROR_FILE_NOT_FOUND) || error == windows_error(ERROR_PATH_NOT_FOUND) ||
        has_wildcards(path))
        return error;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return error;
    FindClose(search);
    attributes = found.dwFileAttributes;
    return {};
}

// `listed` as the entry's own attributes: a Unix symbolic link that Wine lists with its target's
// attributes has those of a link.
DWORD own_attributes(const std::wstring& path, DWORD listed) {
    if (listed & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return listed;
    Entry entry;
    if (!open_entry(path, FILE_READ_ATTRIBUTES, entry) && entry.kind == Kind::FollowedLink) return kLinkAttributes;
    return listed;
}

// Wine removes the target of a Unix symbolic link whichever way the link is deleted, but a rename
// onto the link's path replaces the link itself. So an empty file is renamed over it through its
// own handle, and then deleted through that handle.
std::error_code remove_followed_link(const std::wstring& path) {
    const Handle file(create_temporary(folder_of(path), DELETE));
    if (!file.valid()) return last_error();
    const std::error_code error = rename_over(file.get(), path);
    if (auto deleted = mark_for_deletion(file.get()); deleted && !error) return deleted;
    return error;
}

// Opens the regular file that `path` names, through links (Windows' own, and Unix ones under Wine).
std::error_code open_regular_file(const std::string& path, DWORD access, Handle& file) {
    std::wstring wide;
    if (auto error = wide_path(path, wide)) return error;
    file = Handle(CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return last_error();
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return windows_error(ERROR_NOT_SUPPORTED);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return last_error();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return windows_error(ERROR_ACCESS_DENIED);
    return {};
}

}  // namespace

std::string lookup_name(const std::string& path) {
    std::wstring wide;
    if (wide_path(path, wide) || has_wildcards(wide)) return {};
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(wide.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    FindClose(search);
    DWORD attributes = found.dwFileAttributes;
    const DWORD invisible = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (attributes & invisible) attributes = own_attributes(wide, attributes);
    if (attributes & invisible) return {};
    return to_utf8(found.cFileName);
}

std::error_code set_attributes(const std::string& path, unsigned attributes) {
    std::wstring wide;
    if (auto error = wide_path(path, wide)) return error;
    Entry entry;
    if (auto error = open_entry(wide, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, entry)) return error;
    if (auto error = refuse_unless_regular(entry)) return error;
    return set_attributes_of(entry.handle.get(), attributes);
}

std::error_code get_attributes(const std::string& path, unsigned& attributes) {
    std::wstring wide;
    if (auto error = wide_path(path, wide)) return error;
    DWORD listed = 0;
    if (auto error = listed_attributes(wide, listed)) return error;
    attributes = own_attributes(wide, listed);
    return {};
}

std::error_code delete_file(const std::string& path) {
    std::wstring wide;
    if (auto error = wide_path(path, wide)) return error;
    Entry entry;
    if (auto error = open_entry(wide, DELETE | FILE_READ_ATTRIBUTES, entry)) return error;
    switch (entry.kind) {
        case Kind::RegularFile:
        case Kind::Link:
            // The system refuses to delete a read-only entry.
            return mark_for_deletion(entry.handle.get());
        case Kind::FollowedLink:
            entry.handle.reset();
            return remove_followed_link(wide);
        case Kind::Directory: return windows_error(ERROR_ACCESS_DENIED);
        case Kind::Other: break;
    }
    return windows_error(ERROR_NOT_SUPPORTED);
}

std::error_code save_file(const std::string& path, std::string_view content) {
    std::wstring target;
    if (auto error = wide_path(path, target)) return error;
    {
        // Replacing by a move would also replace a read-only file or a folder; Windows itself
        // refuses to write either, and a read-only manifest is never overwritten. Anything else
        // there, a link too, is replaced as an entry: the move never follows a link.
        Entry existing;
        if (auto error = open_entry(target, FILE_READ_ATTRIBUTES, existing)) {
            if (error != windows_error(ERROR_FILE_NOT_FOUND)) return error;
        } else if (existing.kind == Kind::Directory ||
                   (existing.kind == Kind::RegularFile && (existing.attributes & FILE_ATTRIBUTE_READONLY))) {
            return windows_error(ERROR_ACCESS_DENIED);
        }
    }

    return save_through_temporary(target, content, Replace::Entry);
}

std::error_code create_file(const std::string& path, std::string_view content) {
    std::wstring target;
    if (auto error = wide_path(path, target)) return error;
    // A name already taken costs no write; the rename checks again at the moment it counts. The
    // system answers a rename onto a taken name with ERROR_ALREADY_EXISTS. Either is told as the
    // portable "file exists", which callers test for and MinGW's system category does not map.
    const std::error_code exists = std::make_error_code(std::errc::file_exists);
    DWORD attributes = 0;
    if (!listed_attributes(target, attributes)) return exists;
    const std::error_code error = save_through_temporary(target, content, Replace::Never);
    return error == windows_error(ERROR_ALREADY_EXISTS) || error == windows_error(ERROR_FILE_EXISTS) ? exists : error;
}

std::error_code read_file(const std::string& path, std::string& content, std::uint64_t limit) {
    std::wstring wide;
    if (auto error = wide_path(path, wide)) return error;
    Entry entry;
    if (auto error = open_entry(wide, GENERIC_READ, entry)) return error;
    if (auto error = refuse_unless_regular(entry)) return error;
    const auto too_large = std::make_error_code(std::errc::file_too_large);
    if (entry.size > limit) return too_large;

    std::string data;
    data.reserve(static_cast<std::size_t>(entry.size));
    char buffer[65536];
    for (;;) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::uint64_t>(sizeof buffer, limit + 1 - data.size()));
        DWORD got = 0;
        if (!ReadFile(entry.handle.get(), buffer, wanted, &got, nullptr)) return last_error();
        if (got == 0) break;
        data.append(buffer, got);
        if (data.size() > limit) return too_large;  // it grew while read
    }
    content = std::move(data);
    return {};
}

std::error_code check_regular_file(const std::string& path) {
    Handle file;
    return open_regular_file(path, FILE_READ_ATTRIBUTES, file);
}

std::error_code touch(const std::string& path) {
    Handle file;
    if (auto error = open_regular_file(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, file)) return error;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    // Zero times and attributes are left as they are.
    FILE_BASIC_INFO basic{};
    basic.LastWriteTime.LowPart = now.dwLowDateTime;
    basic.LastWriteTime.HighPart = static_cast<LONG>(now.dwHighDateTime);
    return set_information(file.get(), FileBasicInfo, &basic, sizeof basic);
}

bool path_exists(const std::string& path) {
    std::wstring wide;
    DWORD attributes = 0;
    return !wide_path(path, wide) && !listed_attributes(wide, attributes);
}

bool is_nothing_there(std::error_code error) {
    return error.category() == std::system_category() &&
           (error.value() == ERROR_FILE_NOT_FOUND || error.value() == ERROR_PATH_NOT_FOUND);
}

std::string base_name(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Windows has no file-size limit of a process, nor a signal for it.
void keep_running_past_file_size_limit() {}

std::string error_text(std::error_code error) {
    // MinGW's system_category() does not ask FormatMessage, so Windows' words come from here.
    if (error.category() != std::system_category()) return error.message();
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error.value()), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || !buffer) return error.message();
    std::string text = to_utf8(std::wstring_view(buffer, length));
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

}  // namespace vextra::platform
