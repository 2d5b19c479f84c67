// SPDX-License-Identifier: MIT
#pragma once
// Modal message boxes over the main window, with the values Windows uses for them.

#include <string>

namespace vextra::platform {

namespace buttons {
inline constexpr int kOkWarning = 48;     // one OK button, warning icon
inline constexpr int kYesNoWarning = 52;  // Yes and No buttons, warning icon
}  // namespace buttons

namespace answer {
inline constexpr int kOk = 1;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace answer

class Dialogs {
public:
    // Shows the box and returns the button chosen: kYes, kNo, kOk, or any other value for a box
    // closed without an answer (callers act only on kYes).
    virtual int message_box(const std::string& prompt, int buttons, const std::string& title) = 0;

protected:
    ~Dialogs() = default;
};

}  // namespace vextra::platform
