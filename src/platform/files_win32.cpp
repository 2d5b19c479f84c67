// SPDX-License-Identifier: MIT
// File services on Windows, on the wide API only: paths arrive as UTF-8 and are turned into
// absolute \\?\ paths, so any name Windows allows works, whatever the ANSI code page, and paths
// longer than MAX_PATH work too.
//
// Each call opens the entry at the path itself (FILE_FLAG_OPEN_REPARSE_POINT), looks at what the
// handle is, and acts through that handle, so what was checked is what is changed.
#include "platform/files.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/entries_win32.h"
#include "platform/errors_win32.h"
#include "platform/files_sweep.h"
#include "platform/handle_win32.h"
#include "platform/paths_win32.h"
#include "platform/utf16.h"

namespace vextra::platform {

using namespace win32;

namespace {

// A save's temporary is named ".vextra-", 20 hexadecimal digits (process, time, counter) and
// ".tmp", and is hidden, so that no other program lists it while it is being written.
constexpr std::wstring_view kTemporaryPrefix = L".vextra-";
constexpr std::wstring_view kTemporarySuffix = L".tmp";
constexpr std::size_t kTemporaryDigits = 20;

void append_hex(std::wstring& out, unsigned long value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += L"0123456789abcdef"[(value >> shift) & 0xF];
}

bool is_temporary_name(std::wstring_view name) {
    if (name.size() != kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size() ||
        name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix ||
        name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix)
        return false;
    const std::wstring_view digits = name.substr(kTemporaryPrefix.size(), kTemporaryDigits);
    return std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); });
}

// A new temporary in `folder`, open with `access` and shared with no one, so that no other process
// opens or deletes it while this handle is open.
HANDLE create_temporary(const std::wstring& folder, DWORD access) {
    static std::atomic<unsigned> counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring temp = folder + std::wstring(kTemporaryPrefix);
        append_hex(temp, GetCurrentProcessId(), 8);
        append_hex(temp, GetTickCount(), 8);
        append_hex(temp, ++counter, 4);
        temp += kTemporarySuffix;
        const HANDLE file =
            CreateFileW(temp.c_str(), access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
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

std::error_code set_information(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS type, void* information, DWORD size) {
    if (!SetFileInformationByHandle(handle, type, information, size)) return last_error();
    return {};
}

std::error_code mark_for_deletion(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return set_information(handle, FileDispositionInfo, &disposition, sizeof disposition);
}

std::error_code set_attributes_of(HANDLE handle, DWORD attributes) {
    // Zero times leave the file's times as they are; FILE_ATTRIBUTE_NORMAL clears every attribute.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return set_information(handle, FileBasicInfo, &basic, sizeof basic);
}

enum class Replace { Entry, Never };

// What a rename or a link through a handle takes: whether to replace, and the new name `path` (a
// \\?\ path) as an NT path, \??\ in place of \\?\. Both kinds of information share this layout.
template <typename Information>
std::optional<std::vector<unsigned char>> new_name(const std::wstring& path, Replace replace) {
    if (path.rfind(L"\\\\?\\", 0) != 0) return std::nullopt;
    const std::wstring target = L"\\??\\" + path.substr(4);
    std::vector<unsigned char> buffer(sizeof(Information) + target.size() * sizeof(wchar_t));
    auto* information = reinterpret_cast<Information*>(buffer.data());
    information->ReplaceIfExists = replace == Replace::Entry;
    information->RootDirectory = nullptr;
    information->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), information->FileName);
    return buffer;
}

// Gives the file open as `handle` the name `path` (a \\?\ path), replacing the entry there as an
// entry (a link there is replaced, never followed) or, with Replace::Never, failing over any entry
// there. The rename goes through the handle, so the file stays held by it all the way.
std::error_code rename_over(HANDLE handle, const std::wstring& path, Replace replace = Replace::Entry) {
    auto rename = new_name<FILE_RENAME_INFO>(path, replace);
    if (!rename) return windows_error(ERROR_NOT_SUPPORTED);
    return set_information(handle, FileRenameInfo, rename->data(), static_cast<DWORD>(rename->size()));
}

// Gives the file open as `handle` a second name, `path` (a \\?\ path), failing over any entry
// there with ERROR_ALREADY_EXISTS. Win32 has no call for it on a handle; ntdll's is found at run
// time, so that nothing beyond kernel32 is imported for it.
std::error_code link_without_replacing(HANDLE handle, const std::wstring& path) {
    using SetInformationFile = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
    using StatusToError = ULONG(NTAPI*)(NTSTATUS);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto set_information_file = reinterpret_cast<SetInformationFile>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtSetInformationFile")));
    const auto status_to_error =
        reinterpret_cast<StatusToError>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    auto link = new_name<FILE_LINK_INFORMATION>(path, Replace::Never);
    if (!set_information_file || !status_to_error || !link) return windows_error(ERROR_NOT_SUPPORTED);
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        set_information_file(handle, &io, link->data(), static_cast<ULONG>(link->size()), FileLinkInformation);
    if (status < 0) return windows_error(status_to_error(status));
    return {};
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

// Removes the temporaries that saves killed on the way left in `folder`: regular files of the
// temporary pattern, each deleted through a handle on the entry itself. A live save's temporary is
// shared with no one, so it cannot be opened and stays. Anything else of that name is not ours: a
// folder, a FIFO, or a link, whose deletion Wine would pass on to what it leads to.
void remove_stale_temporaries(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + std::wstring(kTemporaryPrefix) + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        Entry entry;
        if (is_temporary_name(found.cFileName) &&
            !open_entry(folder + found.cFileName, DELETE | FILE_READ_ATTRIBUTES, entry) &&
            entry.kind == Kind::RegularFile)
            mark_for_deletion(entry.handle.get());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The first save of this process in a folder clears it; later ones leave temporaries that appeared
// meanwhile to the next process.
void remove_stale_temporaries_once(const std::wstring& folder) {
    static SweptFolders<std::wstring> swept;
    if (swept.first_visit(folder)) remove_stale_temporaries(folder);
}

// Writes `content` to a new temporary in the folder of `target`, held from its creation to its
// rename, so that no other save's clean-up takes it on the way, and gives it the name `target`.
// The temporary is deleted whenever it does not get there.
std::error_code save_through_temporary(const std::wstring& target, std::string_view content, Replace replace) {
    remove_stale_temporaries_once(folder_of(target));
    const Handle file(create_temporary(folder_of(target), GENERIC_WRITE | DELETE));
    if (!file.valid()) return last_error();
    std::error_code error = write_all(file.get(), content);
    if (!error && !FlushFileBuffers(file.get())) error = last_error();
    // The finished file is an ordinary one, not hidden like the temporary.
    if (!error) error = set_attributes_of(file.get(), FILE_ATTRIBUTE_NORMAL);
    if (!error && replace == Replace::Never) {
        // A hard link first: under Wine it is Unix's link(), which fails over a Unix link that leads
        // nowhere as over anything else, where Wine, which cannot see that link, renames over it.
        error = link_without_replacing(file.get(), target);
        const bool no_hard_links = error == windows_error(ERROR_INVALID_FUNCTION) ||
                                   error == windows_error(ERROR_NOT_SUPPORTED);  // FAT, some shares
        if (!no_hard_links) {
            // Linked or refused, the temporary's own name goes.
            mark_for_deletion(file.get());
            return error;
        }
        error.clear();
    }
    if (!error) error = rename_over(file.get(), target, replace);
    if (error) mark_for_deletion(file.get());
    return error;
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
