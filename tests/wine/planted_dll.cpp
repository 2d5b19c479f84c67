// SPDX-License-Identifier: MIT
// Stands in for a system DLL planted beside the program under test, under the DLL's name. Once
// loaded it leaves an empty file named after itself with ".loaded" added, so the test can tell.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return TRUE;
    const std::wstring marker = std::wstring(path, length) + L".loaded";
    const HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
