// SPDX-License-Identifier: MIT
#include "ui/layout.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

#include "manifest/target.h"

namespace vextra::ui {
namespace {

// Builds one row: the kind's defaults first, then only what differs from them.
class Row {
public:
    constexpr Row(Control id, Kind kind, std::string_view name, Control container, int left, int top,
                  int width, int height, int tab_index)
        : s_{} {
        s_.id = id;
        s_.kind = kind;
        s_.name = name;
        s_.container = container;
        s_.left = left;
        s_.top = top;
        s_.width = width;
        s_.height = height;
        s_.tab_index = tab_index;
        s_.foreground = kind == Kind::Label     ? kSysButtonText
                        : kind == Kind::TextBox ? kSysWindowText
                                                : kNoColour;
        s_.background = kind == Kind::TextBox ? kSysWindowBackground : kNoColour;
        s_.picture = Picture::None;
        s_.visible = kind != Kind::Timer;
        s_.enabled = true;
        s_.read_only = kind == Kind::TextBox;
        s_.transparent = kind == Kind::Label;
    }

    constexpr Row text(std::string_view v) const { Row r = *this; r.s_.text = v; return r; }
    constexpr Row tooltip(std::string_view v) const { Row r = *this; r.s_.tooltip = v; return r; }
    constexpr Row font(Font v) const { Row r = *this; r.s_.font = v; return r; }
    constexpr Row foreground(Colour v) const { Row r = *this; r.s_.foreground = v; return r; }
    constexpr Row background(Colour v) const { Row r = *this; r.s_.background = v; return r; }
    constexpr Row picture(Picture v) const { Row r = *this; r.s_.picture = v; return r; }
    constexpr Row hidden() const { Row r = *this; r.s_.visible = false; return r; }
    constexpr Row accepts_drops() const { Row r = *this; r.s_.accepts_drops = true; return r; }
    constexpr Row disabled_timer(int interval_ms) const {
        Row r = *this;
        r.s_.enabled = false;
        r.s_.interval_ms = interval_ms;
        return r;
    }

    constexpr operator ControlSpec() const { return s_; }

private:
    ControlSpec s_;
};

constexpr std::string_view kTrebuchet = "Trebuchet MS";
constexpr Font kBody{kTrebuchet, 9.75f, 400, false};
constexpr Font kBodyBold{kTrebuchet, 9.75f, 700, false};
constexpr Font kBodyItalic{kTrebuchet, 9.75f, 400, true};
constexpr Font kBodyBoldItalic{kTrebuchet, 9.75f, 700, true};
constexpr Font kSmallItalic{kTrebuchet, 9.0f, 400, true};
constexpr Font kPanelTitle{kTrebuchet, 36.0f, 700, false};

using C = Control;
using K = Kind;
constexpr int kNoTab = kNoTabIndex;

constexpr std::array<ControlSpec, kControlCount> kControls = {{
    Row(C::Form1, K::Form, "Form1", C::Form1, 0, 0, kClientWidth, kClientHeight, kNoTab)
        .text(kWindowTitle).background(kFormBackground).picture(Picture::AppIcon),
    Row(C::Timer2, K::Timer, "Timer2", C::Form1, 0, 0, 0, 0, kNoTab).disabled_timer(1),
    Row(C::Timer1, K::Timer, "Timer1", C::Form1, 0, 0, 0, 0, kNoTab).disabled_timer(1),

    // The About panel and its contents.
    Row(C::Picture2, K::PictureBox, "Picture2", C::Form1, 0, 480, 9135, 5535, 10)
        .foreground(kSysWindowText).background(kSysWindowBackground).hidden(),
    Row(C::Label14, K::Label, "Label14", C::Picture2, 1440, 4200, 7095, 495, 18)
        .text("Disable Visual Styles : Drag n Drop your style enabled old App. Click Disable Button.")
        .font(kSmallItalic),
    Row(C::Label13, K::Label, "Label13", C::Picture2, 1440, 3960, 6015, 255, 17)
        .text("Enable Visual Styles : Drag n Drop your old App. Click Enable Button.")
        .font(kSmallItalic),
    Row(C::Label12, K::Label, "Label12", C::Picture2, 1440, 3480, 1575, 255, 16)
        .text("Its Easy n Quick.").font(kBodyBoldItalic),
    Row(C::Label11, K::Label, "Label11", C::Picture2, 1560, 2160, 2775, 255, 15)
        .text("korvane.example").font(kBody),
    Row(C::Label10, K::Label, "Label10", C::Picture2, 1560, 2640, 4215, 255, 14)
        .text("Copyright (C) 2026 Korvane Software").font(kBody).foreground(0x00808080),
    Row(C::Label9, K::Label, "Label9", C::Picture2, 1560, 1920, 5175, 255, 13)
        .text("Written by the Korvane Vextra team").font(kBody),
    Row(C::Image2, K::Image, "Image2", C::Picture2, 600, 600, 720, 720, kNoTab).picture(Picture::AppIcon),
    Row(C::Label8, K::Label, "Label8", C::Picture2, 1560, 1320, 5295, 255, 12)
        .text("Enable New Visual Styles For your Old Applications.").font(kBody),
    Row(C::Label7, K::Label, "Label7", C::Picture2, 1560, 480, 6135, 855, 11)
        .text(kWindowTitle).font(kPanelTitle),

    // The title strip. Image3 starts left of it so that only the icon's upper right part shows.
    Row(C::Picture1, K::PictureBox, "Picture1", C::Form1, 0, 0, 9015, 495, 6)
        .background(kSysButtonFace).picture(Picture::TitleStrip),
    Row(C::Image3, K::Image, "Image3", C::Picture1, -240, 120, 720, 720, kNoTab).picture(Picture::AppIcon),
    Row(C::Label6, K::Label, "Label6", C::Picture1, 7680, 120, 495, 255, 9).tooltip("About Vextra"),
    Row(C::Label5, K::Label, "Label5", C::Picture1, 480, 120, 1575, 255, 8)
        .text(kWindowTitle).font(kBodyBold),
    Row(C::Label4, K::Label, "Label4", C::Picture1, 8400, 120, 495, 255, 7).tooltip("Exit"),

    // Holds the manifest text; starts with the holder's own initial RTF document.
    Row(C::manif, K::RichTextBox, "manif", C::Form1, 6840, 600, 1935, 255, 5)
        .background(kSysWindowBackground).hidden(),

    // The face: two fields, the Enable and Disable buttons and the drop box are drawn on Image1.
    Row(C::Text2, K::TextBox, "Text2", C::Form1, 3840, 3600, 2895, 375, 1)
        .text(manifest::kSelectApp).tooltip("Style Status").font(kBodyItalic),
    Row(C::Text1, K::TextBox, "Text1", C::Form1, 3840, 2880, 3015, 375, 0)
        .text(manifest::kSelectApp).tooltip("App FileName").font(kBodyBold),
    Row(C::Label3, K::Label, "Label3", C::Form1, 6360, 5040, 2415, 735, 4)
        .tooltip("Disable Visual Style..."),
    Row(C::Label2, K::Label, "Label2", C::Form1, 3720, 5040, 2415, 735, 3)
        .tooltip("Enable Visual Style..."),
    Row(C::Label1, K::Label, "Label1", C::Form1, 1560, 840, 5415, 1335, 2)
        .tooltip("Drag and Drop your Old App...").accepts_drops(),
    Row(C::Image1, K::Image, "Image1", C::Form1, 0, 0, 9000, 6000, kNoTab).picture(Picture::Background),
}};

constexpr bool rows_in_stored_order() {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (static_cast<std::size_t>(kControls[i].id) != i) return false;
    }
    return true;
}
static_assert(rows_in_stored_order(), "control(id) indexes the table by id");

constexpr bool is_window(Kind kind) {
    return kind == Kind::PictureBox || kind == Kind::TextBox || kind == Kind::RichTextBox;
}

}  // namespace

const std::array<ControlSpec, kControlCount>& controls() { return kControls; }

const ControlSpec& control(Control id) { return kControls[static_cast<std::size_t>(id)]; }

Rect first_shown_bounds(Control id) {
    const ControlSpec& s = control(id);
    Rect r{s.left, s.top, s.width, s.height};
    for (const StartupAdjustment& a : kStartupAdjustments) {
        if (a.control != id) continue;
        int& edge = a.edge == Edge::Left ? r.left : r.top;
        edge = a.apply(edge);
    }
    return r;
}

int twips_to_pixels(float twips, int dpi) {
    return static_cast<int>(std::lround(twips * static_cast<float>(dpi) / kTwipsPerInch));
}

PixelRect stored_pixels(const ControlSpec& row) { return to_pixels({row.left, row.top, row.width, row.height}); }

int font_pixels(const Font& font, int dpi) {
    return static_cast<int>(std::lround(font.points * static_cast<float>(dpi) / 72.0f));
}

int picture_scale(int device_percent) {
    int nearest = kPictureScales.front();
    for (int scale : kPictureScales)
        if (std::abs(scale - device_percent) <= std::abs(nearest - device_percent)) nearest = scale;
    return nearest;
}

std::vector<Control> tab_order() {
    std::vector<const ControlSpec*> rows;
    for (const ControlSpec& s : kControls)
        if ((s.kind == Kind::TextBox || s.kind == Kind::PictureBox) && s.tab_index != kNoTabIndex) rows.push_back(&s);
    std::sort(rows.begin(), rows.end(), [](auto* a, auto* b) { return a->tab_index < b->tab_index; });
    std::vector<Control> order;
    for (const ControlSpec* s : rows) order.push_back(s->id);
    return order;
}

PixelRect focus_rectangle(Control picture_box) {
    const PixelRect box = stored_pixels(control(picture_box));
    return {1, 1, box.width - 2, box.height - 2};
}

std::vector<Control> children_front_to_back(Control container) {
    std::vector<Control> windows;
    std::vector<Control> windowless;
    for (const ControlSpec& s : kControls) {
        if (s.container != container || s.id == container || s.kind == Kind::Timer) continue;
        (is_window(s.kind) ? windows : windowless).push_back(s.id);
    }
    windows.insert(windows.end(), windowless.begin(), windowless.end());
    return windows;
}

}  // namespace vextra::ui
