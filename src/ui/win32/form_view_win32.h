// SPDX-License-Identifier: MIT
#pragma once
// The main window on the Win32 API: builds every control from the layout table, turns window
// messages into Form1's handlers (positions in twips) and draws what Form1 tells it. Picture boxes
// and text boxes are child windows; labels and images are windowless, drawn and hit-tested by
// their container, so the table's stacking holds.

#include <windows.h>

#include <array>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/form1.h"
#include "ui/layout.h"

struct IFileDialog;

namespace vextra::ui::win32 {

class DropTarget;

// A window-system call that failed while the window was built: which, and the system's words.
class StartupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Win32FormView final : public FormView {
public:
    // Throws StartupError when the window cannot be built.
    explicit Win32FormView(HINSTANCE instance);
    ~Win32FormView();
    Win32FormView(const Win32FormView&) = delete;
    Win32FormView& operator=(const Win32FormView&) = delete;

    Form1& form() { return form_; }
    void show(int show_command);
    // Runs the message loop until the window is closed; returns the exit code.
    int run_message_loop();

    int message_box(const std::string& prompt, int buttons, const std::string& title) override;
    void show_text(Control box, const std::string& text) override;
    void place_control(Control control, int left, int top) override;
    void show_control(Control control, bool visible) override;
    void enable_timer(Control timer, bool enabled) override;
    float window_left() const override;
    float window_top() const override;
    void move_window(float left, float top) override;
    std::optional<std::string> choose_program(const std::string& start_folder) override;
    void dismiss_box() override;
    void end_program() override;

    // What the accessible objects (accessible_win32.cpp) read: a control's own window (none for
    // labels and images), whether it shows, its rectangle on the screen, the control under a point.
    HWND window(Control id) const { return windows_[static_cast<std::size_t>(id)]; }
    bool shown(Control id) const;
    RECT screen_rect(Control id) const;
    Control control_at_screen(POINT at) const;

private:
    static LRESULT CALLBACK container_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(Control container, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

    void move_focus(int step);
    void select_focused_field();
    void load_resources();
    // Fonts, pictures and every control's rectangle for `dpi` dots per inch.
    void fit_to_dpi(int dpi);
    // Moves the child windows and the tooltips' rectangles to the controls' rectangles.
    void place_children();
    void register_container_class();
    void create_main_window();
    void register_drop_target();
    HWND create_window(const ControlSpec& row, HWND parent);
    void build_children(Control container);
    void add_tooltip(const ControlSpec& row);

    void paint(Control container, HWND hwnd);
    void draw_windowless(HDC dc, const ControlSpec& row) const;
    // The frontmost visible windowless child of `container` at `at`, or the container itself.
    Control hit(Control container, POINT at) const;

    void press(Control container, HWND hwnd, POINT at);
    void release(Control container, HWND hwnd, POINT at, WPARAM buttons_left);
    void end_press(Control container);
    // A mouse action over a picture box (the container itself), at a point in its client area.
    void mouse(Control container, MouseAction action, POINT at);

    RECT& bounds(Control id) { return bounds_[static_cast<std::size_t>(id)]; }
    const RECT& bounds(Control id) const { return bounds_[static_cast<std::size_t>(id)]; }
    bool visible(Control id) const { return visible_[static_cast<std::size_t>(id)]; }
    void invalidate(Control id);

    HINSTANCE instance_;
    Form1 form_{*this};

    // The window's dots per inch: those of the screen it is on.
    int dpi_ = kDesignDpi;

    // Per control, indexed by Control: its window (picture boxes, text boxes and the form), its
    // position and size in twips and its rectangle in pixels at dpi_ within its container,
    // whether it is shown, its font and its text.
    std::array<HWND, kControlCount> windows_{};
    std::array<Rect, kControlCount> twips_{};
    std::array<RECT, kControlCount> bounds_{};
    std::array<bool, kControlCount> visible_{};
    std::array<HFONT, kControlCount> fonts_{};
    std::array<HBRUSH, kControlCount> brushes_{};
    std::array<std::wstring, kControlCount> texts_{};
    // Per container, its windowless children frontmost first.
    std::array<std::vector<Control>, kControlCount> windowless_{};

    HBITMAP title_strip_ = nullptr;
    HBITMAP background_ = nullptr;
    HICON large_icon_ = nullptr;
    HICON small_icon_ = nullptr;
    HICON picture_icon_ = nullptr;
    HWND tooltip_ = nullptr;
    DropTarget* drop_target_ = nullptr;

    // The control that took the press in progress, and the container it lies in.
    std::optional<Control> pressed_;
    Control press_container_ = Control::Form1;

    std::deque<std::pair<Control, std::optional<std::string>>> drops_;

    // While a message box is open, the button a dismissal presses (IDNO, or IDOK on a box with only
    // OK), else 0; while the file chooser is open, the chooser.
    int dismissal_button_ = 0;
    IFileDialog* open_chooser_ = nullptr;
};

}  // namespace vextra::ui::win32
