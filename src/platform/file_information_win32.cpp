// SPDX-License-Identifier: MIT
#include "platform/file_information_win32.h"

#include <winternl.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/errors_win32.h"

namespace vextra::platform::win32 {
namespace {

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

}  // namespace

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

std::error_code rename_over(HANDLE handle, const std::wstring& path, Replace replace) {
    auto rename = new_name<FILE_RENAME_INFO>(path, replace);
    if (!rename) return windows_error(ERROR_NOT_SUPPORTED);
    return set_information(handle, FileRenameInfo, rename->data(), static_cast<DWORD>(rename->size()));
}

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

}  // namespace vextra::platform::win32
