// SPDX-License-Identifier: MIT
#pragma once
// The Win32 window as a screen reader sees it (Active Accessibility). Each container window (and each
// field) answers WM_GETOBJECT for its client area with an object whose children are what
// ui/accessibility shows inside it: the hot spots as push buttons whose default action is a click,
// the fields named by their captions, the title strip and the About panel as objects of their own.

#include <windows.h>

#include "ui/control.h"

namespace vextra::ui::win32 {

class Win32FormView;

// Posted to the form when a screen reader presses a hot spot (wparam: the Control). The click is
// made from the message loop, so the screen reader is not held while the box it opens is open.
inline constexpr UINT kAccessiblePressMessage = WM_APP + 2;

// The answer to WM_GETOBJECT on `owner`'s window, or 0 where the system's answer stands (any
// object but the client area, or no accessibility DLL to be had).
LRESULT answer_get_object(Win32FormView& view, Control owner, WPARAM wparam, LPARAM lparam);

// A field's own window, which a screen reader asks when the field takes the focus, answers as the
// field's entry in the form's object does (named by its caption), not as a nameless edit box.
void answer_for_field(Win32FormView& view, Control field);

}  // namespace vextra::ui::win32
