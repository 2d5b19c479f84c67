// SPDX-License-Identifier: MIT
// The floor for the Windows program's start-up: a popup window of the same size that paints the
// same background bitmap and one line of text, built the same way (static, the same toolchain).
#include <windows.h>

namespace {

HBITMAP background;

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, background);
        BitBlt(dc, 0, 0, 600, 400, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        HFONT font = CreateFontW(-13, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                                 L"Trebuchet MS");
        HGDIOBJ old_font = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        TextOutW(dc, 40, 8, L"Korvane Vextra", 14);
        SelectObject(dc, old_font);
        DeleteObject(font);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    background = LoadBitmapW(instance, MAKEINTRESOURCEW(1));
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = L"VextraFloor";
    RegisterClassW(&window_class);
    HWND window = CreateWindowExW(0, L"VextraFloor", L"Korvane Vextra", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, 600,
                                  399, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, show_command);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
