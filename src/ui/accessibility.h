// SPDX-License-Identifier: MIT
#pragma once
// What a screen reader is told about the window, derived from the control table: what each control
// is, its name, and which controls it finds inside each container. The hot spots are caption-less
// labels over buttons drawn on a picture, so without this they would be nameless text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control.h"

namespace vextra::ui {

enum class AccessibleRole {
    Window,      // the form
    TitleBar,    // the title strip that moves the window
    Panel,       // the About panel
    PushButton,  // a hot spot: its press is a click on it
    TextField,   // a read-only field; its value is the text it shows
    StaticText,  // a caption
};

struct Accessible {
    AccessibleRole role;
    std::string_view name;
};

// What a screen reader is told of `id`; nullopt for what it is not shown (pictures, timers and the
// hidden manif).
std::optional<Accessible> accessible(Control id);

// The controls a screen reader finds directly inside `container`, in the table's tab order.
std::vector<Control> accessible_children(Control container);

// The key that does what pressing the push button `id` does, as a screen reader announces it
// ("Alt+E"); empty when it has none.
std::string accessible_shortcut(Control id);

}  // namespace vextra::ui
