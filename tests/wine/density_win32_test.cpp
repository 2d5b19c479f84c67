// SPDX-License-Identifier: MIT
// The Win32 window when Windows says that the density of its screen changed (moved to another
// screen, or the setting changed): it takes the rectangle Windows suggests and places, writes and
// hit-tests everything at the new density. Wine never sends WM_DPICHANGED, so the test sends it
// as Windows would, in the window's own process.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "ui/layout.h"
#include "ui/win32/form_view_win32.h"

namespace vextra::ui::win32 {
namespace {

// A control's rectangle on the screen as the layout places it at `dpi` in a window at `origin`,
// inside its container (the form or the title strip).
RECT expected_on_screen(Control id, POINT origin, int dpi) {
    const PixelRect r = to_pixels(first_shown_bounds(id), dpi);
    POINT at{origin.x + r.x, origin.y + r.y};
    if (const Control container = control(id).container; container != Control::Form1) {
        const PixelRect outer = to_pixels(first_shown_bounds(container), dpi);
        at.x += outer.x;
        at.y += outer.y;
    }
    return {at.x, at.y, at.x + r.width, at.y + r.height};
}

void expect_rect(const RECT& got, const RECT& wanted, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(got.left, wanted.left);
    EXPECT_EQ(got.top, wanted.top);
    EXPECT_EQ(got.right, wanted.right);
    EXPECT_EQ(got.bottom, wanted.bottom);
}

TEST(Win32Density, DpiChangedPlacesWritesAndHitTestsAtTheNewDensity) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    {
        Win32FormView view(GetModuleHandleW(nullptr));
        view.form().load();
        view.show(SW_SHOWNORMAL);
        const HWND form = view.window(Control::Form1);
        // Up, down past the first density, and back to it.
        for (int dpi : {192, 120, 144, 96}) {
            SCOPED_TRACE(dpi);
            RECT before{};
            GetWindowRect(form, &before);
            const POINT corner{before.left + 10, before.top + 20};
            const RECT suggested{corner.x, corner.y, corner.x + twips_to_pixels(kClientWidth, dpi),
                                 corner.y + twips_to_pixels(kClientHeight, dpi)};
            SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
            RECT now{};
            GetWindowRect(form, &now);
            expect_rect(now, suggested, "the window takes the suggested rectangle");
            const POINT origin{now.left, now.top};

            // Child windows and windowless hot spots alike.
            for (Control id : {Control::Text1, Control::Text2, Control::Picture1, Control::Label1, Control::Label2,
                               Control::Label3, Control::Label4, Control::Label6})
                expect_rect(view.screen_rect(id), expected_on_screen(id, origin, dpi), control(id).name.data());
            const RECT enable = view.screen_rect(Control::Label2);
            EXPECT_EQ(view.control_at_screen({(enable.left + enable.right) / 2, (enable.top + enable.bottom) / 2}),
                      Control::Label2);

            for (Control id : {Control::Text1, Control::Text2}) {
                LOGFONTW font{};
                const auto handle = reinterpret_cast<HFONT>(SendMessageW(view.window(id), WM_GETFONT, 0, 0));
                ASSERT_EQ(GetObjectW(handle, sizeof(font), &font), static_cast<int>(sizeof(font)));
                EXPECT_EQ(font.lfHeight, -font_pixels(control(id).font, dpi)) << control(id).name;
            }
        }
    }
    OleUninitialize();
}

}  // namespace
}  // namespace vextra::ui::win32
