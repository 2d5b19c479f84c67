// SPDX-License-Identifier: MIT
// vextra on Windows: the main window on the Win32 API. It takes no arguments and keeps no
// settings; the manifest template "style.dll" is read from the working directory at start-up.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdlib>

#include "platform/utf16.h"
#include "product.h"
#include "ui/win32/form_view_win32.h"

// The standard library's default end for an uncaught exception prints the exception's type on the
// console, demangled, which links a 46 KB demangler into the program. A window program has no
// console to print on; it ends at once, as the default would next.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    // OLE for the drop target; the common controls for the tooltips.
    if (FAILED(OleInitialize(nullptr))) return 1;
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);

    int exit_code = 1;
    try {
        vextra::ui::win32::Win32FormView window(instance);
        window.form().load();
        window.show(show_command);
        exit_code = window.run_message_loop();
    } catch (const vextra::ui::win32::StartupError& error) {
        const std::wstring reason = vextra::platform::to_utf16(error.what()).value_or(L"");
        const std::wstring title = vextra::platform::to_utf16(vextra::kProductName).value_or(L"");
        MessageBoxW(nullptr, (L"The window could not be opened. " + reason).c_str(), title.c_str(), MB_ICONERROR);
    }
    OleUninitialize();
    return exit_code;
}
