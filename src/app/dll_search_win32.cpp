// SPDX-License-Identifier: MIT
// Where Windows looks for the DLLs a shipped program loads while it runs.
//
// The programs are portable and often started from a download folder, where a planted DLL could
// wait under the name of a system DLL. Before any other code of the program runs, even the
// constructors of static objects (the stack protector's, for one, loads a cryptographic provider
// and the DLLs that provider imports), DLLs, and the DLLs they import in turn, are limited to the
// system folder. Every system DLL but kernel32, msvcrt and advapi32, which Windows always maps from
// its system folder, is loaded on first use, after this (cmake/delay-load.cmake). Windows before 8
// without its loader update lacks the call; there the working directory at least is left out of
// the search.
#include <windows.h>

namespace {

// 101 is the first priority a program may give a constructor; the standard library's and every
// other without a priority run later.
__attribute__((constructor(101))) void load_dlls_from_the_system_folder_only() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (!set_default || !set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
    // Wine's theming DLL loads msimg32 on first use without regard to the restriction; loaded now
    // from the system folder, the name is taken when it asks.
    LoadLibraryExW(L"msimg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace
