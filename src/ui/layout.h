// SPDX-License-Identifier: MIT
#pragma once
// Every control of the main window as data: kind, container, position, texts, fonts, colours and
// pictures. Both back-ends build the window from this table, so it is the one place to change it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "product.h"
#include "ui/control.h"

namespace vextra::ui {

enum class Kind { Form, Timer, PictureBox, Label, Image, TextBox, RichTextBox };

// The pictures that ship with the program (assets/).
enum class Picture { None, AppIcon, TitleStrip, Background };

// A face of an empty name means the control shows no text and has no font. Every font uses
// character set 0 (ANSI) and is neither underlined nor struck through.
struct Font {
    std::string_view face;
    float points = 0.0f;
    int weight = 400;  // 400 normal, 700 bold
    bool italic = false;
};

// 0x00BBGGRR, or 0x800000nn for the system colour with index nn.
using Colour = std::uint32_t;

inline constexpr Colour kSysWindowBackground = 0x80000005;
inline constexpr Colour kSysWindowText = 0x80000008;
inline constexpr Colour kSysButtonFace = 0x8000000F;
inline constexpr Colour kSysButtonText = 0x80000012;
// The control paints nothing in this role (transparent labels, images, timers).
inline constexpr Colour kNoColour = 0xFFFFFFFF;

constexpr bool is_system_colour(Colour c) { return (c & 0xFFFFFF00u) == 0x80000000u; }
constexpr int system_colour_index(Colour c) { return static_cast<int>(c & 0xFFu); }

// The colour to draw: a system colour as Windows' classic scheme defines it. The window's face is
// fixed pictures made for those colours, so the desktop's own (a dark theme, high contrast) would
// draw light text on the light pictures and dark fields over their white ones.
constexpr Colour drawn_colour(Colour c) {
    if (!is_system_colour(c)) return c;
    switch (system_colour_index(c)) {
        case 5: return 0x00FFFFFF;   // window background: white
        case 15: return 0x00C8D0D4;  // button face: 212, 208, 200
        default: return 0x00000000;  // window text, button text: black
    }
}

inline constexpr int kNoTabIndex = -1;

// Where the fonts' face is not installed (Debian, Wine), this close humanist sans stands in for it.
inline constexpr std::string_view kFallbackFace = "Open Sans";

struct ControlSpec {
    Control id;
    Kind kind;
    std::string_view name;
    Control container;  // Form1 is its own container
    // Stored position and size in twips, relative to the container's client area.
    int left;
    int top;
    int width;
    int height;
    int tab_index;  // kNoTabIndex for controls that have none
    std::string_view text;  // caption, initial text, or the window title (UTF-8)
    std::string_view tooltip;
    Font font;
    Colour foreground;
    Colour background;
    Picture picture;
    bool visible;  // at start-up; timers are never shown
    bool enabled;  // only the timers start disabled
    int interval_ms;  // timers only
    bool read_only;
    bool accepts_drops;
    bool transparent;  // labels: only their caption is drawn, the whole rectangle takes the mouse
};

// The layout and its first pictures are made for 96 dots per inch, 15 twips per pixel; a denser
// screen takes more pixels for the same twips.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDesignDpi = 96;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / kDesignDpi;

inline constexpr std::string_view kWindowTitle = kProductName;
inline constexpr int kClientWidth = 9000;
inline constexpr int kClientHeight = 5985;
inline constexpr Colour kFormBackground = 0x000000FF;

// The About panel's resting place, set at start-up and again at the end of every slide-out.
inline constexpr int kParkedPanelLeft = 8400;
// Moves each text box up onto the bottom edge of its drawn field.
inline constexpr int kTextBoxTopShift = -40;

enum class Edge { Left, Top };

// One of the changes the load handler makes before the window is first shown.
struct StartupAdjustment {
    Control control;
    Edge edge;
    bool relative;  // true: `value` is added to the edge; false: the edge becomes `value`
    int value;

    constexpr int apply(int edge_value) const { return relative ? edge_value + value : value; }
};

// In the order the load handler makes them.
inline constexpr std::array<StartupAdjustment, 3> kStartupAdjustments = {{
    {Control::Text1, Edge::Top, true, kTextBoxTopShift},
    {Control::Text2, Edge::Top, true, kTextBoxTopShift},
    {Control::Picture2, Edge::Left, false, kParkedPanelLeft},
}};

inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Control::Image1) + 1;

// All controls, in stored order (the order of `Control`).
const std::array<ControlSpec, kControlCount>& controls();

const ControlSpec& control(Control id);

struct Rect {
    int left;
    int top;
    int width;
    int height;
};

// A control's position and size in twips when the window is first shown: the stored one with the
// start-up adjustments applied.
Rect first_shown_bounds(Control id);

// The children of a container, frontmost first: windows (picture boxes, text boxes, the rich-text
// box) above windowless controls (labels, images), each group in stored order. Timers are never
// drawn and are left out.
std::vector<Control> children_front_to_back(Control container);

// Rounded to the nearest pixel at `dpi`, halves away from zero (at 96 dpi, 15 twips never split
// evenly, so there are no ties).
constexpr int twips_to_pixels(int twips, int dpi = kDesignDpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>((scaled >= 0 ? scaled + kTwipsPerInch / 2 : scaled - kTwipsPerInch / 2) / kTwipsPerInch);
}

// A position the window was dragged to: to the nearest pixel, halves away from zero.
int twips_to_pixels(float twips, int dpi = kDesignDpi);

constexpr int pixels_to_twips(int pixels) { return pixels * kTwipsPerPixel; }
// A point at `dpi`, in twips; a pixel at 144 or 192 dpi is a whole number of twips no more.
constexpr float pixels_to_twips(int pixels, int dpi) {
    return static_cast<float>(pixels) * kTwipsPerInch / static_cast<float>(dpi);
}

// A rectangle in pixels; each of its four values is rounded on its own, as Windows places controls.
struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};
constexpr PixelRect to_pixels(const Rect& r, int dpi = kDesignDpi) {
    return {twips_to_pixels(r.left, dpi), twips_to_pixels(r.top, dpi), twips_to_pixels(r.width, dpi),
            twips_to_pixels(r.height, dpi)};
}
// A control's stored position and size, in pixels.
PixelRect stored_pixels(const ControlSpec& row);

// The scales, in percent, that the window's pictures ship at: assets/NAME.bmp, NAME@1.5x.png and
// NAME@2x.png.
inline constexpr std::array<int, 3> kPictureScales = {100, 150, 200};
// The shipped scale nearest to a screen's `device_percent` device pixels per 100 layout pixels;
// halfway between two, the larger, since a picture shrunk stays sharper than one blown up.
int picture_scale(int device_percent);

// The font's height in pixels at `dpi` (96: the density the 1x pictures are drawn for).
int font_pixels(const Font& font, int dpi = kDesignDpi);

// The controls that take the keyboard focus (text boxes and picture boxes), in tab order.
std::vector<Control> tab_order();

// Where a picture box draws its dotted focus rectangle while it has the focus, in pixels within it:
// one pixel in from its edges, as Windows draws one inside a control.
PixelRect focus_rectangle(Control picture_box);

// A key pressed in the window, as the back-ends report it.
enum class Key { Letter, F1, Escape };
struct KeyStroke {
    Key key;
    char letter;  // 'A' to 'Z' for Key::Letter, else 0
    bool ctrl;
    bool alt;

    constexpr bool operator==(const KeyStroke& o) const {
        return key == o.key && letter == o.letter && ctrl == o.ctrl && alt == o.alt;
    }
};

// A key that does what a click on a control does, while the control is shown.
struct Shortcut {
    KeyStroke stroke;
    Control control;
};

inline constexpr std::array<Shortcut, 5> kShortcuts = {{
    {{Key::Letter, 'O', true, false}, Control::Label1},   // choose a program
    {{Key::Letter, 'E', false, true}, Control::Label2},   // Enable
    {{Key::Letter, 'D', false, true}, Control::Label3},   // Disable
    {{Key::F1, 0, false, false}, Control::Label6},        // About
    {{Key::Escape, 0, false, false}, Control::Picture2},  // closes the shown About panel
}};

}  // namespace vextra::ui
