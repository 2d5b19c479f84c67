// SPDX-License-Identifier: MIT
#pragma once
// A FormView that records what the window would show and answers message boxes from a script.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/form_view.h"

namespace vextra::test {

struct MessageBoxCall {
    std::string prompt;
    int buttons;
    std::string title;
};

inline bool operator==(const MessageBoxCall& a, const MessageBoxCall& b) {
    return a.prompt == b.prompt && a.buttons == b.buttons && a.title == b.title;
}
inline std::ostream& operator<<(std::ostream& out, const MessageBoxCall& box) {
    return out << '{' << box.prompt << ", " << box.buttons << ", " << box.title << '}';
}

class RecordingView : public ui::FormView {
public:
    // The answers to the next boxes, in order; a box with no scripted answer fails the test.
    std::deque<int> answers;
    // Runs while a box is open, before it is answered (to look at the files at that moment).
    std::function<void(const MessageBoxCall&)> while_open;
    // What the file chooser gives, each time it is opened: a path, or nullopt for a cancel.
    std::function<std::optional<std::string>()> chooser = [] { return std::nullopt; };
    int choosers_opened = 0;
    std::string chooser_folder;  // where the file chooser last opened

    std::vector<MessageBoxCall> boxes;
    std::map<ui::Control, std::string> texts;
    std::map<ui::Control, std::pair<int, int>> places;  // left, top
    std::map<ui::Control, bool> shown;
    std::map<ui::Control, bool> timers;
    float left = 0, top = 0;  // the window's position
    int moves = 0;
    int dismissals = 0;  // dismiss_box() calls; the box's answer stays the scripted one
    bool ended = false;

    int message_box(const std::string& prompt, int buttons, const std::string& title) override;
    void show_text(ui::Control box, const std::string& text) override { texts[box] = text; }
    void place_control(ui::Control control, int l, int t) override { places[control] = {l, t}; }
    void show_control(ui::Control control, bool visible) override { shown[control] = visible; }
    void enable_timer(ui::Control timer, bool enabled) override { timers[timer] = enabled; }
    float window_left() const override { return left; }
    float window_top() const override { return top; }
    void move_window(float l, float t) override {
        left = l;
        top = t;
        ++moves;
    }
    std::optional<std::string> choose_program(const std::string& start_folder) override {
        ++choosers_opened;
        chooser_folder = start_folder;
        return chooser();
    }
    void dismiss_box() override { ++dismissals; }
    void end_program() override { ended = true; }
};

}  // namespace vextra::test
