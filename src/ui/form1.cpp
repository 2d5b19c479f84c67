// SPDX-License-Identifier: MIT
#include "ui/form1.h"

#include <cmath>
#include <limits>

#include "manifest/commands.h"
#include "manifest/template_store.h"
#include "platform/program_folder.h"
#include "ui/layout.h"

namespace vextra::ui {
namespace {

// To the nearest integer, halves to the even neighbour, held within 16 bits.
std::int16_t to_int16(float value) {
    const float rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min())) return std::numeric_limits<std::int16_t>::min();
    if (rounded > std::numeric_limits<std::int16_t>::max()) return std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(rounded);
}

}  // namespace

void Form1::load() {
    for (const StartupAdjustment& adjustment : kStartupAdjustments) {
        const Rect bounds = first_shown_bounds(adjustment.control);
        if (adjustment.control == Control::Picture2) picture2_left_ = bounds.left;
        view_.place_control(adjustment.control, bounds.left, bounds.top);
    }
    picture2_visible_ = control(Control::Picture2).visible;
    set_timer(Control::Timer1, timer1_enabled_, control(Control::Timer1).enabled);
    set_timer(Control::Timer2, timer2_enabled_, control(Control::Timer2).enabled);
    template_loaded_ = manifest::load_template(manif_);
}

void Form1::mouse(Control target, MouseAction action, float x, float y) {
    if (box_open_ || target != Control::Picture1) return;
    switch (action) {
        case MouseAction::Press: picture1_mouse_down(x, y); break;
        case MouseAction::Move: picture1_mouse_move(x, y); break;
        case MouseAction::Release: picture1_mouse_up(); break;
    }
}

void Form1::click(Control target) {
    if (box_open_) return;
    switch (target) {
        case Control::Label1: label1_click(); break;
        case Control::Label2: label2_click(); break;
        case Control::Label3: label3_click(); break;
        case Control::Label4: label4_click(); break;
        case Control::Label6: label6_click(); break;
        case Control::Picture2: picture2_click(); break;
        default: break;  // no handler
    }
    end_if_requested();
}

bool Form1::takes_drop(Control target) const { return !box_open_ && control(target).accepts_drops; }

void Form1::drop(Control target, const std::optional<std::string>& first_file) {
    if (takes_drop(target)) label1_drop(first_file);
    end_if_requested();
}

void Form1::tick(Control timer) {
    if (box_open_) return;  // the tick waits for the next one after the box
    if (timer == Control::Timer1) timer1_tick();
    if (timer == Control::Timer2) timer2_tick();
}

bool Form1::key(const KeyStroke& stroke) {
    for (const Shortcut& shortcut : kShortcuts) {
        if (!(shortcut.stroke == stroke)) continue;
        const bool shown = shortcut.control == Control::Picture2 ? picture2_visible_ : control(shortcut.control).visible;
        if (shown) click(shortcut.control);
        return true;
    }
    return false;
}

void Form1::end_requested() {
    if (!box_open_) {
        label4_click();
        return;
    }
    end_requested_ = true;
    view_.dismiss_box();
}

void Form1::end_if_requested() {
    if (end_requested_ && !box_open_) label4_click();
}

void Form1::label1_click() {
    // Where the user's programs are likely: not the working folder, which holds the template.
    const std::string last_folder = platform::containing_folder(selection_.applink);
    box_open_ = true;
    const std::optional<std::string> chosen =
        view_.choose_program(last_folder.empty() ? platform::home_folder() : last_folder);
    box_open_ = false;
    if (chosen && !end_requested_) label1_drop(*chosen);
}

void Form1::label1_drop(const std::optional<std::string>& first_file) {
    // The system reads a path only up to a NUL byte, so a path holding one (a drop's URL may
    // encode it) would name another file, such as the program itself in place of its manifest.
    // No file has such a name: the drop carried none.
    const bool names_a_file = first_file && first_file->find('\0') == std::string::npos;
    if (!manifest::select_target(selection_, names_a_file ? first_file : std::nullopt, *this)) return;
    view_.show_text(Control::Text1, selection_.file_name);
    view_.show_text(Control::Text2, selection_.style_status);
}

void Form1::label2_click() {
    manifest::enable(selection_.exelink, selection_.style_status, manif_, template_usable(), *this);
}

bool Form1::template_usable() {
    // Checked when first needed, not at start-up: the XML parser is not needed to open the window.
    if (!template_usable_) template_usable_ = template_loaded_ && manifest::manifest_text_error(manif_).empty();
    return *template_usable_;
}

void Form1::label3_click() { manifest::disable(selection_.exelink, selection_.style_status, *this); }

int Form1::message_box(const std::string& prompt, int buttons, const std::string& title) {
    // Once an end is requested every question is answered No, and no further box opens.
    if (end_requested_) return platform::answer::kNo;
    box_open_ = true;
    const int answer = view_.message_box(prompt, buttons, title);
    box_open_ = false;
    return end_requested_ ? platform::answer::kNo : answer;
}

void Form1::picture1_mouse_down(float x, float y) {
    foc_ = -1;
    posX_ = to_int16(x);
    posY_ = to_int16(y);
}

void Form1::picture1_mouse_move(float x, float y) {
    if (foc_ != -1) return;
    const float left = view_.window_left() + x - static_cast<float>(posX_);
    const float top = view_.window_top() + y - static_cast<float>(posY_);
    view_.move_window(left, top);
}

void Form1::picture1_mouse_up() { foc_ = 0; }

void Form1::label4_click() { view_.end_program(); }

void Form1::label6_click() {
    if (!picture2_visible_ && !timer1_enabled_) {
        set_timer(Control::Timer1, timer1_enabled_, true);
        picture2_visible_ = true;
        view_.show_control(Control::Picture2, true);
    } else if (!timer1_enabled_ && picture2_visible_) {
        set_timer(Control::Timer2, timer2_enabled_, true);
    }
}

void Form1::picture2_click() {
    if (!timer1_enabled_) set_timer(Control::Timer2, timer2_enabled_, true);
}

void Form1::timer1_tick() {
    if (!timer1_enabled_) return;  // a tick already queued when the timer stopped
    place_panel(picture2_left_ - kSlideStep);
    if (picture2_left_ < 0) set_timer(Control::Timer1, timer1_enabled_, false);
}

void Form1::timer2_tick() {
    if (!timer2_enabled_) return;
    place_panel(picture2_left_ + kSlideStep);
    if (picture2_left_ > kParkedPanelLeft) {
        set_timer(Control::Timer2, timer2_enabled_, false);
        place_panel(kParkedPanelLeft);
        picture2_visible_ = false;
        view_.show_control(Control::Picture2, false);
    }
}

void Form1::set_timer(Control timer, bool& flag, bool enabled) {
    if (flag == enabled) return;
    flag = enabled;
    view_.enable_timer(timer, enabled);
}

void Form1::place_panel(int left) {
    picture2_left_ = left;
    view_.place_control(Control::Picture2, left, control(Control::Picture2).top);
}

}  // namespace vextra::ui
