// SPDX-License-Identifier: MIT
#include "ui/accessibility.h"

#include <algorithm>

#include "ui/layout.h"

namespace vextra::ui {
namespace {

// The captions the background picture draws beside the two fields, without their colons: what a
// sighted person reads there.
constexpr std::string_view kFileNameCaption = "App FileName";
constexpr std::string_view kStatusCaption = "Style Enabled";

}  // namespace

std::optional<Accessible> accessible(Control id) {
    const ControlSpec& row = control(id);
    switch (row.kind) {
        case Kind::Form: return Accessible{AccessibleRole::Window, row.text};
        // The title strip shows the window's title, and the panel is what the About button opens.
        case Kind::PictureBox:
            if (id == Control::Picture1) return Accessible{AccessibleRole::TitleBar, control(Control::Form1).text};
            return Accessible{AccessibleRole::Panel, control(Control::Label6).tooltip};
        case Kind::TextBox:
            return Accessible{AccessibleRole::TextField, id == Control::Text1 ? kFileNameCaption : kStatusCaption};
        case Kind::Label:
            if (!row.text.empty()) return Accessible{AccessibleRole::StaticText, row.text};
            // A caption-less label takes clicks over a drawn button; its tooltip says what it does.
            if (!row.tooltip.empty()) return Accessible{AccessibleRole::PushButton, row.tooltip};
            return std::nullopt;
        case Kind::Timer:
        case Kind::Image:
        case Kind::RichTextBox: break;
    }
    return std::nullopt;
}

std::vector<Control> accessible_children(Control container) {
    std::vector<Control> children;
    for (const ControlSpec& row : controls())
        if (row.container == container && row.id != container && accessible(row.id)) children.push_back(row.id);
    std::stable_sort(children.begin(), children.end(),
                     [](Control a, Control b) { return control(a).tab_index < control(b).tab_index; });
    return children;
}

std::string accessible_shortcut(Control id) {
    const std::optional<Accessible> seen = accessible(id);
    if (!seen || seen->role != AccessibleRole::PushButton) return {};
    for (const Shortcut& shortcut : kShortcuts) {
        if (shortcut.control != id) continue;
        const KeyStroke& stroke = shortcut.stroke;
        std::string text = stroke.ctrl ? "Ctrl+" : "";
        if (stroke.alt) text += "Alt+";
        switch (stroke.key) {
            case Key::Letter: return text + stroke.letter;
            case Key::F1: return text + "F1";
            case Key::Escape: return text + "Esc";
        }
    }
    return {};
}

}  // namespace vextra::ui
