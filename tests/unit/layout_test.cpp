// SPDX-License-Identifier: MIT
// What the back-ends derive from the layout table: stacking, the start-up positions and pixels.

#include "ui/layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace vextra::ui {
namespace {

struct StackingCase {
    const char* name;
    Control container;
    std::vector<Control> front_to_back;
};

TEST(LayoutTest, ChildrenStackWindowsAboveWindowlessControlsInStoredOrder) {
    using C = Control;
    const StackingCase cases[] = {
        // The panels cover the text boxes, which cover the hot spots and the background picture.
        {"window", C::Form1,
         {C::Picture2, C::Picture1, C::manif, C::Text2, C::Text1, C::Label3, C::Label2, C::Label1, C::Image1}},
        {"title strip", C::Picture1, {C::Image3, C::Label6, C::Label5, C::Label4}},
        {"About panel", C::Picture2,
         {C::Label14, C::Label13, C::Label12, C::Label11, C::Label10, C::Label9, C::Image2, C::Label8, C::Label7}},
        {"a label contains nothing", C::Label1, {}},
    };
    for (const StackingCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(children_front_to_back(c.container), c.front_to_back);
    }
}

TEST(LayoutTest, EveryControlIsInExactlyOneStackOrIsATimer) {
    std::multiset<Control> stacked;
    for (Control container : {Control::Form1, Control::Picture1, Control::Picture2}) {
        for (Control child : children_front_to_back(container)) stacked.insert(child);
    }
    for (const ControlSpec& s : controls()) {
        SCOPED_TRACE(std::string(s.name));
        const bool expected = s.kind != Kind::Timer && s.kind != Kind::Form;
        EXPECT_EQ(stacked.count(s.id), expected ? 1u : 0u);
    }
}

struct BoundsCase {
    const char* name;
    Control control;
    Rect shown;
};

TEST(LayoutTest, FirstShownBoundsApplyTheStartUpAdjustments) {
    const BoundsCase cases[] = {
        {"Text1 moved up onto its field", Control::Text1, {3840, 2840, 3015, 375}},
        {"Text2 moved up onto its field", Control::Text2, {3840, 3560, 2895, 375}},
        {"About panel parked", Control::Picture2, {kParkedPanelLeft, 480, 9135, 5535}},
        {"drop label unchanged", Control::Label1, {1560, 840, 5415, 1335}},
    };
    for (const BoundsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Rect r = first_shown_bounds(c.control);
        EXPECT_EQ(r.left, c.shown.left);
        EXPECT_EQ(r.top, c.shown.top);
        EXPECT_EQ(r.width, c.shown.width);
        EXPECT_EQ(r.height, c.shown.height);
    }
}

struct PixelCase {
    const char* name;
    int twips;
    int pixels;
};

TEST(LayoutTest, TwipsRoundToTheNearestPixel) {
    const PixelCase cases[] = {
        {"zero", 0, 0},
        {"just under half", 7, 0},
        {"just over half", 8, 1},
        {"negative, just under half", -7, 0},
        {"negative, just over half", -8, -1},
        {"title icon offset", -240, -16},
        {"Text1 top after start-up", 2840, 189},
        {"About panel width", 9135, 609},
        {"client height", kClientHeight, 399},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(twips_to_pixels(c.twips), c.pixels);
    }
}

// On a denser screen the same twips take more pixels, each value rounded on its own; a half pixel,
// which 96 dpi never meets, goes away from zero.
TEST(LayoutTest, TwipsAtOtherDensities) {
    struct DpiCase {
        const char* name;
        int twips;
        int dpi;
        int pixels;
    };
    const DpiCase cases[] = {
        {"client width at 120 dpi", kClientWidth, 120, 750},
        {"client height at 144 dpi", kClientHeight, 144, 599},
        {"client height at 192 dpi", kClientHeight, 192, 798},
        {"a half pixel at 144 dpi", 5, 144, 1},
        {"a negative half pixel at 144 dpi", -5, 144, -1},
        {"title icon offset at 192 dpi", -240, 192, -32},
        {"Text1 top after start-up at 144 dpi", 2840, 144, 284},
        {"About panel width at 192 dpi", 9135, 192, 1218},
    };
    for (const DpiCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(twips_to_pixels(c.twips, c.dpi), c.pixels);
        EXPECT_EQ(twips_to_pixels(static_cast<float>(c.twips), c.dpi), c.pixels);
    }
    // A pixel back to twips and again lands on the same pixel, so a drag moves by whole pixels.
    for (int dpi : {96, 120, 144, 192})
        for (int pixels : {-7, 0, 1, 3, 599, 1201}) EXPECT_EQ(twips_to_pixels(pixels_to_twips(pixels, dpi), dpi), pixels);
}

TEST(LayoutTest, FontsAndPicturesFollowTheDensity) {
    const Font body{"Trebuchet MS", 9.75f, 400, false};
    EXPECT_EQ(font_pixels(body), 13);
    EXPECT_EQ(font_pixels(body, 144), 20);  // 19.5, away from zero
    EXPECT_EQ(font_pixels(body, 192), 26);
    const struct {
        int device_percent;
        int picture_percent;
    } scales[] = {{100, 100}, {110, 100}, {125, 150}, {150, 150}, {175, 200}, {200, 200}, {300, 200}, {75, 100}};
    for (const auto& c : scales) {
        SCOPED_TRACE(c.device_percent);
        EXPECT_EQ(picture_scale(c.device_percent), c.picture_percent);
    }
}

}  // namespace
}  // namespace vextra::ui
