// SPDX-License-Identifier: MIT
#pragma once
// What a back-end supplies to the window logic: drawing what changed, the window's position, the
// timers, the message boxes and ending the program. Positions are in twips.

#include <optional>
#include <string>
#include <string_view>

#include "manifest/target.h"
#include "platform/dialogs.h"
#include "ui/control.h"

namespace vextra::ui {

// The file chooser's title and the names of its two choices of files.
inline constexpr std::string_view kChooserTitle = manifest::kSelectApp;
inline constexpr std::string_view kProgramsChoice = "Windows programs";
inline constexpr std::string_view kAllFilesChoice = "All files";

class FormView : public platform::Dialogs {
public:
    // A text box (Text1 or Text2) now shows `text`.
    virtual void show_text(Control box, const std::string& text) = 0;

    // A control's left and top edges within its container.
    virtual void place_control(Control control, int left, int top) = 0;
    virtual void show_control(Control control, bool visible) = 0;

    // A running timer calls the matching tick handler of Form1 on the user-interface thread.
    virtual void enable_timer(Control timer, bool enabled) = 0;

    // The window's left and top edges on the screen.
    virtual float window_left() const = 0;
    virtual float window_top() const = 0;
    virtual void move_window(float left, float top) = 0;

    // Opens the system's file chooser for a program (Windows executables first, all files as
    // another choice) in `start_folder` and waits until it closes; the full path of the chosen
    // file, or nullopt when the user cancelled. The chooser writes no settings.
    virtual std::optional<std::string> choose_program(const std::string& start_folder) = 0;

    // Closes the open message box as its No button would (a box without one as its OK button), or
    // cancels the open file chooser; the call that opened it then returns. Nothing when none is open.
    virtual void dismiss_box() = 0;

    // Ends the process at once: no further handler runs.
    virtual void end_program() = 0;

protected:
    ~FormView() = default;
};

}  // namespace vextra::ui
