// vextra on Windows: the main window on the Win32 API. It takes no arguments and keeps no
// settings; the manifest template "style.dll" is read from the working directory at start-up.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "ui/win32/form_view_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    // OLE for the drop target; the common controls for the tooltips.
    if (FAILED(OleInitialize(nullptr))) return 1;
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);

    int exit_code = 0;
    {
        vextra::ui::win32::Win32Form window(instance);
        window.form().load();
        window.show(show_command);
        exit_code = vextra::ui::win32::run_message_loop();
    }
    OleUninitialize();
    return exit_code;
}
