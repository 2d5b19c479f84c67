// SPDX-License-Identifier: MIT
#pragma once
// The main window's state and its event handlers, free of any toolkit. A back-end turns its
// toolkit's events into the few entry points below (the control an event happened on, positions
// in twips within it) and draws what the FormView is told; which control drags, takes drops or
// ticks is decided here. Handlers run one at a time: while a message box that one of them opened
// is open, every entry point ignores its event, as a back-end's event loop may go on delivering
// events (a drop, a tick) meanwhile. The file chooser counts as such a box.

#include <cstdint>
#include <optional>
#include <string>

#include "manifest/target.h"
#include "formats/rich_text_box.h"
#include "ui/form_view.h"
#include "ui/layout.h"

namespace vextra::ui {

enum class MouseAction { Press, Move, Release };

class Form1 : private platform::Dialogs {
public:
    static constexpr int kSlideStep = 250;  // twips per timer tick, both ways

    explicit Form1(FormView& view) : view_(view) {}

    // Before the window is first shown: the start-up layout adjustments, then the manifest
    // template into `manif`.
    void load();

    // The entry points of the back-ends. A press, move or release of any mouse button over
    // `target`; a press and release over the same control is also a click.
    void mouse(Control target, MouseAction action, float x, float y);
    void click(Control target);
    // Whether a drop over `target` would be taken now; a back-end turns every other drop down.
    bool takes_drop(Control target) const;
    // A drop over `target` that has finished; `first_file` is the full path of its first file, or
    // nullopt when it carried no file list.
    void drop(Control target, const std::optional<std::string>& first_file);
    // A tick of a running timer.
    void tick(Control timer);
    // A key pressed in the window: a shortcut of the table (kShortcuts) does what a click on its
    // control does, while that control is shown. Whether the key is one of the table's.
    bool key(const KeyStroke& stroke);
    // A request from outside to end the program (a signal, the session ending): what the exit
    // control does, with any open question answered No. With a box or the file chooser open, the
    // view closes it as No, the handler that opened it finishes (changing nothing more on disk,
    // opening no further box) and then the program ends; otherwise it ends at once.
    void end_requested();

    const std::string& applink() const { return selection_.applink; }
    const std::string& exelink() const { return selection_.exelink; }
    const std::string& text1() const { return selection_.file_name; }
    const std::string& text2() const { return selection_.style_status; }
    const formats::RichTextBox& manif() const { return manif_; }

    std::int16_t foc() const { return foc_; }
    std::int16_t posX() const { return posX_; }
    std::int16_t posY() const { return posY_; }
    int picture2_left() const { return picture2_left_; }
    bool picture2_visible() const { return picture2_visible_; }
    bool timer1_enabled() const { return timer1_enabled_; }
    bool timer2_enabled() const { return timer2_enabled_; }

    // Whether a message box (or the file chooser) opened by a handler is open.
    bool box_open() const { return box_open_; }

private:
    // The handlers, each run by the entry points above for its control and event.
    //
    // A drop on Label1; `first_file` is the full path of its first file, or nullopt when the drop
    // carried no file list.
    void label1_drop(const std::optional<std::string>& first_file);
    // A click on the drop box: the file chooser, opened in the last program's folder, and the
    // chosen file as a drop of that one file.
    void label1_click();
    void label2_click();  // Enable
    void label3_click();  // Disable

    // The title strip moves the window while a button is held; x and y are within Picture1.
    void picture1_mouse_down(float x, float y);
    void picture1_mouse_move(float x, float y);
    void picture1_mouse_up();
    void label4_click();  // exit

    // The About panel slides in on Timer1 and out on Timer2.
    void label6_click();
    void picture2_click();
    void timer1_tick();
    void timer2_tick();

    // Every box a handler opens goes through here.
    int message_box(const std::string& prompt, int buttons, const std::string& title) override;
    bool template_usable();
    // After an entry point's handler: the end requested while its box was open.
    void end_if_requested();
    void set_timer(Control timer, bool& flag, bool enabled);
    void place_panel(int left);

    FormView& view_;
    manifest::Selection selection_;
    formats::RichTextBox manif_;
    bool template_loaded_ = false;
    std::optional<bool> template_usable_;  // loaded, and a manifest can be made of it; once asked
    bool box_open_ = false;
    bool end_requested_ = false;

    std::int16_t foc_ = 0;  // -1 while the title strip drags the window
    std::int16_t posX_ = 0;
    std::int16_t posY_ = 0;

    int picture2_left_ = 0;
    bool picture2_visible_ = false;
    bool timer1_enabled_ = false;
    bool timer2_enabled_ = false;
};

}  // namespace vextra::ui
