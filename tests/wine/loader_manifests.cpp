// SPDX-License-Identifier: MIT
// Whether our own reader finds a program's own manifest exactly where Windows' loader finds it, on
// every file of the folders given. The loader maps each file as an image, as it does a program it
// starts, without running anything (LOAD_LIBRARY_AS_IMAGE_RESOURCE, which maps 32-bit and 64-bit
// files alike), and looks the resource up itself; our reader reads the same file.
//   loader_manifests FOLDER...
// One line a file: the size and FNV-1a hash of the manifest the loader finds, or "-"; "DIFFERS"
// and both answers where ours is another; then a line of counts for each folder. Exits with 1 when
// any file differs or a folder holds no file, and with 2 when the output cannot be written.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/executable.h"
#include "platform/utf16.h"

namespace {

using vextra::platform::to_utf8;

// Whether [bytes, bytes + size) lies in the loader's mapping of `module` and can be read: the
// loader hands out the address a resource's data entry names without checking it.
bool readable_in_image(HMODULE module, const char* bytes, DWORD size) {
    // The handle of a module mapped as an image resource is its base address with a low bit set.
    const auto base = reinterpret_cast<std::uintptr_t>(module) & ~std::uintptr_t{3};
    const auto start = reinterpret_cast<std::uintptr_t>(bytes);
    if (start + size < start) return false;
    for (std::uintptr_t at = start; at < start + size;) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof(region)) != sizeof(region)) return false;
        if (reinterpret_cast<std::uintptr_t>(region.AllocationBase) != base || region.State != MEM_COMMIT ||
            (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)))
            return false;
        at = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    }
    return true;
}

// The manifest (type 24, id 1) as the loader finds it in the file at `path`.
std::optional<std::string> loader_manifest(const std::wstring& path) {
    const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return std::nullopt;
    std::optional<std::string> manifest;
    if (const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        const DWORD size = SizeofResource(module, resource);
        const HGLOBAL loaded = LoadResource(module, resource);
        const auto* bytes = static_cast<const char*>(loaded ? LockResource(loaded) : nullptr);
        if (bytes && readable_in_image(module, bytes, size)) manifest.emplace(bytes, size);
    }
    FreeLibrary(module);
    return manifest;
}

std::string describe(const std::optional<std::string>& manifest) {
    if (!manifest) return "-";
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char byte : *manifest) hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3u;
    char text[48];
    std::snprintf(text, sizeof(text), "%zu %016llx", manifest->size(), static_cast<unsigned long long>(hash));
    return text;
}

// The regular files directly in `folder`.
std::vector<std::wstring> files_in(const std::wstring& folder) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + L"\\" + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        std::fputs("usage: loader_manifests FOLDER...\n", stderr);
        return 1;
    }
    bool complete = true;
    for (int i = 1; i < argc; ++i) {
        const std::wstring folder = argv[i];
        int files = 0;
        int with_manifest = 0;
        int differ = 0;
        for (const std::wstring& path : files_in(folder)) {
            ++files;
            const std::optional<std::string> loader = loader_manifest(path);
            const std::optional<std::string> ours = vextra::platform::embedded_manifest(to_utf8(path));
            if (loader) ++with_manifest;
            if (ours == loader) {
                std::printf("%s %s\n", describe(loader).c_str(), to_utf8(path).c_str());
            } else {
                ++differ;
                std::printf("DIFFERS loader: %s ours: %s %s\n", describe(loader).c_str(), describe(ours).c_str(),
                            to_utf8(path).c_str());
            }
        }
        std::printf("%s: %d files, %d with a manifest, %d where our reader differs\n", to_utf8(folder).c_str(), files,
                    with_manifest, differ);
        if (files == 0 || differ != 0) complete = false;
    }
    LocalFree(argv);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return 2;
    return complete ? 0 : 1;
}
