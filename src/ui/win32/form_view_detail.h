// SPDX-License-Identifier: MIT
#pragma once
// What the parts of the Win32 window share: its building and services (form_view_win32.cpp), its
// messages (window_messages.cpp) and its windowless controls (windowless_controls.cpp).

#include <windows.h>

#include "ui/layout.h"
#include "ui/win32/form_view_win32.h"

namespace vextra::ui::win32::detail {

// A drop is handed to Form1 from the message loop, after the drag source has been told the result.
inline constexpr UINT kDropMessage = WM_APP + 1;

// What a container window is created with: the view it belongs to and which control it is.
struct Creation {
    Win32FormView* form;
    Control id;
};

// Not the system's colours (a dark or high-contrast scheme): those the pictures were made for.
inline COLORREF resolve(Colour colour) { return static_cast<COLORREF>(drawn_colour(colour)); }

}  // namespace vextra::ui::win32::detail
