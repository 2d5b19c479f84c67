// SPDX-License-Identifier: MIT
#include "platform/entries_win32.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <vector>

#include "platform/errors_win32.h"
#include "platform/paths_win32.h"

namespace vextra::platform::win32 {
namespace {

HANDLE open_without_following(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The path of what `handle` is open on, within its volume (no drive or share).
std::error_code name_of(HANDLE handle, std::wstring& name) {
    std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + MAX_PATH * sizeof(wchar_t));
    for (;;) {
        auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
        if (GetFileInformationByHandleEx(handle, FileNameInfo, info, static_cast<DWORD>(buffer.size()))) {
            name.assign(info->FileName, info->FileNameLength / sizeof(wchar_t));
            return {};
        }
        if (GetLastError() != ERROR_MORE_DATA) return last_error();
        buffer.resize(sizeof(FILE_NAME_INFO) + info->FileNameLength);
    }
}

bool same_ignoring_case(std::wstring_view a, std::wstring_view b) {
    return a.size() <= INT_MAX && b.size() <= INT_MAX &&
           CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

// Whether `handle`, opened by `path`, is on the entry at `path` itself: the name it is open on
// must be its folder's followed by the entry's own name as the folder lists it (long or short).
// The name is compared exactly, as a link may lead to a name in the same folder that differs only
// in case; a name that differs from the listed one in case only passes when it is the name asked
// for, as a file system may report the name a file was opened by.
std::error_code is_entry_itself(HANDLE handle, const std::wstring& path, bool& itself) {
    std::wstring opened;
    if (auto error = name_of(handle, opened)) return error;
    if (has_wildcards(path)) return windows_error(ERROR_INVALID_NAME);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return last_error();
    FindClose(search);
    const Handle folder(CreateFileW(folder_of(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.valid()) return last_error();
    std::wstring folder_name;
    if (auto error = name_of(folder.get(), folder_name)) return error;
    if (folder_name.empty() || folder_name.back() != L'\\') folder_name += L'\\';

    const std::wstring_view opened_view(opened);
    const std::wstring_view name = opened_view.substr(std::min(folder_name.size(), opened.size()));
    const std::wstring_view asked = std::wstring_view(path).substr(path.find_last_of(L'\\') + 1);
    itself = opened.size() > folder_name.size() &&
             same_ignoring_case(opened_view.substr(0, folder_name.size()), folder_name) &&
             (name == found.cFileName || (found.cAlternateFileName[0] && name == found.cAlternateFileName) ||
              (name == asked && same_ignoring_case(name, found.cFileName)));
    return {};
}

}  // namespace

std::error_code open_entry(const std::wstring& path, DWORD access, Entry& entry) {
    entry.handle = Handle(open_without_following(path, access));
    if (!entry.handle.valid()) return last_error();
    const DWORD type = GetFileType(entry.handle.get());
    if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) return last_error();
    if (type != FILE_TYPE_DISK) {
        entry.kind = Kind::Other;
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(entry.handle.get(), &info)) return last_error();
    entry.attributes = info.dwFileAttributes;
    entry.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // Only a name surrogate leads elsewhere; other reparse points (a cloud placeholder, a
        // deduplicated or compressed file) are the file itself.
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!GetFileInformationByHandleEx(entry.handle.get(), FileAttributeTagInfo, &tag, sizeof tag))
            return last_error();
        if (IsReparseTagNameSurrogate(tag.ReparseTag)) {
            entry.kind = Kind::Link;
            return {};
        }
    }
    bool itself = false;
    if (auto error = is_entry_itself(entry.handle.get(), path, itself)) return error;
    entry.kind = !itself                                              ? Kind::FollowedLink
                 : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Directory
                                                                      : Kind::RegularFile;
    return {};
}

}  // namespace vextra::platform::win32
