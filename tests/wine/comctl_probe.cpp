// SPDX-License-Identifier: MIT
// Prints the path of the common-controls DLL this process loaded: a manifest beside the program
// that asks for version 6 makes Windows load it from the side-by-side store (winsxs), without one
// it comes from the system folder.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

int main() {
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    if (!InitCommonControlsEx(&classes)) return 2;
    HWND button = CreateWindowExW(0, WC_BUTTONW, L"probe", WS_POPUP, 0, 0, 80, 24, nullptr, nullptr, nullptr, nullptr);
    if (!button) return 3;
    DestroyWindow(button);

    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), path, MAX_PATH)) return 4;
    char utf8[4 * MAX_PATH];
    if (!WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, sizeof(utf8), nullptr, nullptr)) return 5;
    std::printf("%s\n", utf8);
    return 0;
}
