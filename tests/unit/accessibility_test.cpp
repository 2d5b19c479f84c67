// SPDX-License-Identifier: MIT
// What a screen reader is told of the window, as both back-ends take it from the control table:
// which controls it finds inside each container, what each is called and is, and each button's key.

#include "ui/accessibility.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/layout.h"

namespace vextra::ui {
namespace {

using C = Control;
using R = AccessibleRole;

struct SeenCase {
    Control control;
    AccessibleRole role;
    const char* name;
    const char* shortcut;
};

TEST(AccessibilityTest, ControlsAreNamedAsAPersonSeesThem) {
    const SeenCase cases[] = {
        {C::Form1, R::Window, "Korvane Vextra", ""},
        {C::Picture1, R::TitleBar, "Korvane Vextra", ""},
        {C::Picture2, R::Panel, "About Vextra", ""},
        // The hot spots by their tooltips, with the key that does what a press does.
        {C::Label1, R::PushButton, "Drag and Drop your Old App...", "Ctrl+O"},
        {C::Label2, R::PushButton, "Enable Visual Style...", "Alt+E"},
        {C::Label3, R::PushButton, "Disable Visual Style...", "Alt+D"},
        {C::Label4, R::PushButton, "Exit", ""},
        {C::Label6, R::PushButton, "About Vextra", "F1"},
        // The fields by the captions the background picture draws beside them, not their tooltips.
        {C::Text1, R::TextField, "App FileName", ""},
        {C::Text2, R::TextField, "Style Enabled", ""},
        {C::Label5, R::StaticText, "Korvane Vextra", ""},
        {C::Label11, R::StaticText, "korvane.example", ""},
    };
    for (const SeenCase& c : cases) {
        SCOPED_TRACE(std::string(control(c.control).name));
        const std::optional<Accessible> seen = accessible(c.control);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->role, c.role);
        EXPECT_EQ(seen->name, c.name);
        EXPECT_EQ(accessible_shortcut(c.control), c.shortcut);
    }
    // Pictures, timers and the hidden manif are not there for a screen reader. Escape closes the
    // panel, but the panel is no button to announce it with.
    for (Control hidden : {C::Image1, C::Image2, C::Image3, C::Timer1, C::Timer2, C::manif})
        EXPECT_FALSE(accessible(hidden)) << control(hidden).name;
    EXPECT_EQ(accessible_shortcut(C::Picture2), "");
}

struct ChildrenCase {
    const char* name;
    Control container;
    std::vector<Control> children;
};

TEST(AccessibilityTest, ChildrenAreFoundInTabOrder) {
    const ChildrenCase cases[] = {
        {"window", C::Form1, {C::Text1, C::Text2, C::Label1, C::Label2, C::Label3, C::Picture1, C::Picture2}},
        {"title strip", C::Picture1, {C::Label4, C::Label5, C::Label6}},
        {"About panel", C::Picture2,
         {C::Label7, C::Label8, C::Label9, C::Label10, C::Label11, C::Label12, C::Label13, C::Label14}},
        {"a field holds nothing", C::Text1, {}},
    };
    for (const ChildrenCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(accessible_children(c.container), c.children);
    }
}

}  // namespace
}  // namespace vextra::ui
