// SPDX-License-Identifier: MIT
#include "platform/temporaries_win32.h"

#include <algorithm>
#include <atomic>

#include "platform/entries_win32.h"
#include "platform/errors_win32.h"
#include "platform/files_sweep.h"
#include "platform/handle_win32.h"
#include "platform/paths_win32.h"

namespace vextra::platform::win32 {
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

std::error_code write_all(HANDLE file, std::string_view content) {
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, content.data(), chunk, &written, nullptr)) return last_error();
        content.remove_prefix(written);
    }
    return {};
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

}  // namespace

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

}  // namespace vextra::platform::win32
