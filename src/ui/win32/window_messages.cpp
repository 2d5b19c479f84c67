// SPDX-License-Identifier: MIT
// The Win32 window's messages: the window procedure of every container, the press that one control
// takes whole, and the keys the message loop handles itself (Tab, Shift+Tab and the window's
// shortcuts).
#include "ui/win32/form_view_win32.h"

#include <ole2.h>
#include <windowsx.h>

#include "ui/win32/accessible_win32.h"
#include "ui/win32/form_view_detail.h"

namespace vextra::ui::win32 {

LRESULT CALLBACK Win32FormView::container_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* creation =
            static_cast<const detail::Creation*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->form));
        creation->form->windows_[static_cast<std::size_t>(creation->id)] = hwnd;
    }
    auto* self = reinterpret_cast<Win32FormView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
        for (std::size_t i = 0; i < kControlCount; ++i)
            if (self->windows_[i] == hwnd) return self->handle(static_cast<Control>(i), hwnd, message, wparam, lparam);
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT Win32FormView::handle(Control container, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    switch (message) {
        case WM_ERASEBKGND: return 1;  // WM_PAINT draws everything, in one piece
        case WM_PAINT: paint(container, hwnd); return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: press(container, hwnd, at); return 0;
        // The second press of a double click is no new press and makes no second click.
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK: return 0;
        case WM_MOUSEMOVE:
            if (pressed_ ? *pressed_ == container : hit(container, at) == container)
                mouse(container, MouseAction::Move, at);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: release(container, hwnd, at, wparam); return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lparam) != hwnd) end_press(container);
            return 0;
        case WM_CTLCOLORSTATIC: {
            // Read-only edits ask here for their colours.
            const auto edit = reinterpret_cast<HWND>(lparam);
            for (std::size_t i = 0; i < kControlCount; ++i) {
                if (windows_[i] != edit || !brushes_[i]) continue;
                const ControlSpec& row = controls()[i];
                SetTextColor(reinterpret_cast<HDC>(wparam), detail::resolve(row.foreground));
                SetBkColor(reinterpret_cast<HDC>(wparam), detail::resolve(row.background));
                return reinterpret_cast<LRESULT>(brushes_[i]);
            }
            break;
        }
        // Moved to a screen of another density, or the screen's density changed: the window takes
        // the rectangle Windows suggests, and everything in it is made again for that density.
        case WM_DPICHANGED:
            if (container != Control::Form1) break;
            fit_to_dpi(HIWORD(wparam));
            place_children();
            if (const auto* suggested = reinterpret_cast<const RECT*>(lparam))
                SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                             suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        case WM_TIMER:
            form_.tick(static_cast<Control>(wparam));
            return 0;
        // A picture box shows that it has the focus with a dotted rectangle.
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (control(container).kind == Kind::PictureBox) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETOBJECT:
            if (const LRESULT answer = answer_get_object(*this, container, wparam, lparam)) return answer;
            break;
        case kAccessiblePressMessage:
            form_.click(static_cast<Control>(wparam));
            return 0;
        case detail::kDropMessage:
            if (!drops_.empty()) {
                auto [target, file] = std::move(drops_.front());
                drops_.pop_front();
                // A message box may have opened between the drop and this message.
                form_.drop(target, file);
            }
            return 0;
        // Asked to close by another program (taskkill without /F) or ended with the session: as
        // the exit control, once any open box is answered No.
        case WM_CLOSE:
            if (container != Control::Form1) break;
            form_.end_requested();
            return 0;
        case WM_ENDSESSION:
            if (container == Control::Form1 && wparam) form_.end_requested();
            return 0;
        case WM_DESTROY:
            if (container == Control::Form1) {
                RevokeDragDrop(hwnd);
                PostQuitMessage(0);
            }
            return 0;
        default: break;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

// The control under the pointer at a press takes the whole press: it alone sees the moves and the
// release, wherever the pointer goes, as on a window that captures the mouse.
void Win32FormView::press(Control container, HWND hwnd, POINT at) {
    if (!pressed_) {
        pressed_ = hit(container, at);
        press_container_ = container;
        SetCapture(hwnd);
    }
    if (*pressed_ == container) mouse(container, MouseAction::Press, at);
}

void Win32FormView::release(Control container, HWND hwnd, POINT at, WPARAM buttons_left) {
    if (!pressed_) return;
    if (*pressed_ == container) mouse(container, MouseAction::Release, at);
    if (buttons_left & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)) return;
    const Control owner = *pressed_;
    RECT area = bounds(owner);
    if (owner == container) GetClientRect(hwnd, &area);
    pressed_.reset();
    ReleaseCapture();
    if (PtInRect(&area, at)) form_.click(owner);
}

void Win32FormView::end_press(Control container) {
    if (!pressed_ || press_container_ != container) return;
    if (*pressed_ == container) mouse(container, MouseAction::Release, POINT{});
    pressed_.reset();
}

void Win32FormView::mouse(Control container, MouseAction action, POINT at) {
    form_.mouse(container, action, pixels_to_twips(at.x, dpi_), pixels_to_twips(at.y, dpi_));
}

namespace {

// A key pressed, as the window's shortcuts name keys; nullopt for any other message or key.
std::optional<KeyStroke> key_stroke(const MSG& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return std::nullopt;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    if (message.wParam == VK_F1) return KeyStroke{Key::F1, 0, ctrl, alt};
    if (message.wParam == VK_ESCAPE) return KeyStroke{Key::Escape, 0, ctrl, alt};
    if (message.wParam >= 'A' && message.wParam <= 'Z')
        return KeyStroke{Key::Letter, static_cast<char>(message.wParam), ctrl, alt};
    return std::nullopt;
}

}  // namespace

int Win32FormView::run_message_loop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        const HWND form = window(Control::Form1);
        const bool in_window = message.hwnd == form || IsChild(form, message.hwnd);
        if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && in_window) {
            move_focus(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
            select_focused_field();
            continue;
        }
        if (const std::optional<KeyStroke> stroke = key_stroke(message); stroke && in_window && form_.key(*stroke))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

// A field tabbed to selects its text, as in a dialog: a read-only field shows no other sign of the
// focus than its caret.
void Win32FormView::select_focused_field() {
    for (const ControlSpec& row : controls())
        if (row.kind == Kind::TextBox && window(row.id) == GetFocus()) SendMessageW(window(row.id), EM_SETSEL, 0, -1);
}

// Tab and Shift+Tab go round the controls that take the focus in the table's tab order, past those
// that are hidden (the About panel while it is parked).
void Win32FormView::move_focus(int step) {
    const std::vector<Control> order = tab_order();
    const HWND focused = GetFocus();
    const auto count = static_cast<int>(order.size());
    int at = 0;
    while (at < count && window(order[static_cast<std::size_t>(at)]) != focused) ++at;
    if (at == count) at = step > 0 ? count - 1 : 0;
    for (int tried = 0; tried < count; ++tried) {
        at = (at + step + count) % count;
        const HWND next = window(order[static_cast<std::size_t>(at)]);
        if (next && IsWindowVisible(next)) {
            SetFocus(next);
            return;
        }
    }
}

}  // namespace vextra::ui::win32
