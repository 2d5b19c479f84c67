// SPDX-License-Identifier: MIT
// The committed pictures against the layout table: file formats and sizes, and every hot-spot label
// and text box lying over the element drawn for it. Reads the files itself, with no image library.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "ui/layout.h"

namespace vextra::ui {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes read_asset(const std::string& name) {
    std::ifstream in(std::string(VEXTRA_ASSETS_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t u16(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t u32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::int32_t i32(const Bytes& b, std::size_t at) { return static_cast<std::int32_t>(u32(b, at)); }

struct Rgb {
    int r, g, b;
};

// A 24-bit bitmap's pixels, top row first.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// What a 24-bit BI_RGB file says about itself; `ok` is false with the reason in `error`.
struct BmpFile {
    bool ok = false;
    std::string error;
    std::uint32_t declared_size = 0;
    std::uint32_t pixel_offset = 0;
    std::uint32_t info_size = 0;
    int bits = 0;
    std::uint32_t compression = 0;
    Bitmap bitmap;
};

BmpFile parse_bmp(const Bytes& b) {
    BmpFile f;
    if (b.size() < 54) {
        f.error = "shorter than the two headers";
        return f;
    }
    if (b[0] != 'B' || b[1] != 'M') {
        f.error = "no BM signature";
        return f;
    }
    f.declared_size = u32(b, 2);
    f.pixel_offset = u32(b, 10);
    f.info_size = u32(b, 14);
    const std::int32_t width = i32(b, 18);
    const std::int32_t height = i32(b, 22);
    f.bits = static_cast<int>(u16(b, 28));
    f.compression = u32(b, 30);
    if (u16(b, 26) != 1 || f.bits != 24 || f.compression != 0 || width <= 0 || height == 0) {
        f.error = "not an uncompressed 24-bit bitmap";
        return f;
    }
    const bool bottom_up = height > 0;
    const int rows = bottom_up ? height : -height;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    if (f.pixel_offset < 54 || f.pixel_offset + stride * rows > b.size()) {
        f.error = "pixels run past the end of the file";
        return f;
    }
    f.bitmap.width = width;
    f.bitmap.height = rows;
    f.bitmap.pixels.reserve(static_cast<std::size_t>(width) * rows);
    for (int y = 0; y < rows; ++y) {
        const std::size_t row = f.pixel_offset + stride * (bottom_up ? rows - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            const std::size_t p = row + static_cast<std::size_t>(x) * 3;
            f.bitmap.pixels.push_back({b[p + 2], b[p + 1], b[p]});
        }
    }
    f.ok = true;
    return f;
}

Bitmap load_bitmap(const std::string& name) {
    const BmpFile f = parse_bmp(read_asset(name));
    EXPECT_TRUE(f.ok) << name << ": " << f.error;
    return f.bitmap;
}

int px(int twips) { return twips_to_pixels(twips); }

// The pixel rectangle a control covers when the window is first shown, in its container.
struct PixelRect {
    int left, top, right, bottom;  // right and bottom exclusive
};

PixelRect pixel_rect(Control id) {
    const Rect r = first_shown_bounds(id);
    return {px(r.left), px(r.top), px(r.left + r.width), px(r.top + r.height)};
}

// --- Formats and sizes ---

struct BitmapCase {
    const char* name;
    const char* file;
    int width;
    int height;
};

TEST(PicturesTest, BitmapsAreUncompressed24BitAtTheSizeTheirControlsShow) {
    const ControlSpec& image1 = control(Control::Image1);
    const ControlSpec& strip = control(Control::Picture1);
    const BitmapCase cases[] = {
        // Image1 shows the background at its own size.
        {"background", "background.bmp", px(image1.width), px(image1.height)},
        // The strip covers all of Picture1 but its last column and row.
        {"title strip", "titlestrip.bmp", px(strip.width) - 1, px(strip.height) - 1},
    };
    for (const BitmapCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = read_asset(c.file);
        const BmpFile f = parse_bmp(bytes);
        ASSERT_TRUE(f.ok) << f.error;
        EXPECT_EQ(f.declared_size, bytes.size());
        EXPECT_EQ(f.info_size, 40u);
        EXPECT_EQ(f.bitmap.width, c.width);
        EXPECT_EQ(f.bitmap.height, c.height);
    }
}

// Each scale the layout lists beyond 100 % has its pictures, as PNG, at that scale of the bitmaps'
// size: a scale the window could pick has pictures, and they fit the controls it scales.
TEST(PicturesTest, EachScaleHasItsPicturesAtThatScaleOfTheBitmaps) {
    const Bitmap background = parse_bmp(read_asset("background.bmp")).bitmap;
    const Bitmap strip = parse_bmp(read_asset("titlestrip.bmp")).bitmap;
    for (int scale : kPictureScales) {
        if (scale == 100) continue;
        const std::string suffix = "@" + std::to_string(scale / 100) +
                                   (scale % 100 ? "." + std::to_string(scale % 100 / 10) : "") + "x.png";
        for (const auto& [name, bitmap] : {std::pair{"background", &background}, std::pair{"titlestrip", &strip}}) {
            SCOPED_TRACE(name + suffix);
            const Bytes png = read_asset(name + suffix);
            ASSERT_GE(png.size(), 24u) << "missing or cut short";
            EXPECT_TRUE(std::equal(png.begin(), png.begin() + 16,
                                   Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'}.begin()));
            const auto big_endian = [&png](std::size_t at) {
                return static_cast<int>(png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]);
            };
            EXPECT_EQ(big_endian(16), bitmap->width * scale / 100);
            EXPECT_EQ(big_endian(20), bitmap->height * scale / 100);
        }
    }
}

struct IconImage {
    int size;
    int bits;
};

// The images of the application icon, in the order the file must list them.
constexpr IconImage kIconImages[] = {{48, 8}, {32, 8}, {16, 8}, {128, 32}, {48, 32}, {32, 32}, {24, 32}, {16, 32}};

bool looks_green(Rgb c) { return c.g > c.r + 40 && c.g > c.b + 40; }
bool looks_white(Rgb c) { return c.r >= 235 && c.g >= 235 && c.b >= 235; }

// One image of the icon, decoded from its DIB: colours and, per pixel, whether it is transparent.
struct IconPixels {
    std::vector<Rgb> colour;
    std::vector<bool> transparent;
};

// Checks the DIB header and that colour table, pixels and AND mask fill the entry exactly.
IconPixels decode_icon_image(const Bytes& b, std::size_t at, std::size_t length, const IconImage& want) {
    IconPixels out;
    EXPECT_EQ(u32(b, at), 40u);
    EXPECT_EQ(i32(b, at + 4), want.size);
    EXPECT_EQ(i32(b, at + 8), 2 * want.size) << "height counts the colour rows and the mask rows";
    EXPECT_EQ(u16(b, at + 12), 1u);
    EXPECT_EQ(static_cast<int>(u16(b, at + 14)), want.bits);
    EXPECT_EQ(u32(b, at + 16), 0u) << "BI_RGB";

    const std::size_t n = static_cast<std::size_t>(want.size);
    const std::size_t palette = want.bits == 8 ? 256 * 4 : 0;
    if (want.bits == 8) {
        const std::uint32_t used = u32(b, at + 32);
        EXPECT_TRUE(used == 0 || used == 256) << "a full 256-colour palette";
    }
    const std::size_t colour_stride = (n * want.bits / 8 + 3) / 4 * 4;
    const std::size_t mask_stride = (n + 31) / 32 * 4;
    const std::size_t colours = at + 40 + palette;
    const std::size_t mask = colours + colour_stride * n;
    EXPECT_EQ(40 + palette + colour_stride * n + mask_stride * n, length)
        << "colour rows followed by an AND mask";
    if (mask + mask_stride * n > b.size()) {
        ADD_FAILURE() << "image runs past the end of the file";
        return out;
    }
    for (std::size_t y = 0; y < n; ++y) {
        const std::size_t row = n - 1 - y;  // bottom-up
        for (std::size_t x = 0; x < n; ++x) {
            const bool masked = (b[mask + row * mask_stride + x / 8] & (0x80 >> (x % 8))) != 0;
            Rgb c{};
            bool alpha_zero = false;
            if (want.bits == 8) {
                const std::size_t entry = at + 40 + 4 * std::size_t{b[colours + row * colour_stride + x]};
                c = {b[entry + 2], b[entry + 1], b[entry]};
            } else {
                const std::size_t p = colours + row * colour_stride + 4 * x;
                c = {b[p + 2], b[p + 1], b[p]};
                alpha_zero = b[p + 3] == 0;
                EXPECT_EQ(masked, alpha_zero) << "mask and alpha disagree at " << x << "," << y;
            }
            out.colour.push_back(c);
            out.transparent.push_back(masked || alpha_zero);
        }
    }
    return out;
}

TEST(PicturesTest, IconHoldsTheEightImagesOfAGreenButtonWithAWhitePlus) {
    const Bytes b = read_asset("vextra.ico");
    ASSERT_GE(b.size(), 6u + 16u * std::size(kIconImages));
    EXPECT_EQ(u16(b, 0), 0u);
    EXPECT_EQ(u16(b, 2), 1u) << "type 1: icon";
    ASSERT_EQ(u16(b, 4), std::size(kIconImages));

    // Image2 and Image3 show the icon at its 48-pixel size.
    EXPECT_EQ(px(control(Control::Image2).width), 48);
    EXPECT_EQ(px(control(Control::Image3).height), 48);

    for (std::size_t i = 0; i < std::size(kIconImages); ++i) {
        const IconImage& want = kIconImages[i];
        SCOPED_TRACE(std::to_string(want.size) + " px, " + std::to_string(want.bits) + " bits");
        const std::size_t entry = 6 + 16 * i;
        EXPECT_EQ(b[entry], want.size);
        EXPECT_EQ(b[entry + 1], want.size);
        EXPECT_EQ(b[entry + 2], 0) << "colour count 0 for 256 colours or more";
        EXPECT_EQ(u16(b, entry + 4), 1u);
        EXPECT_EQ(static_cast<int>(u16(b, entry + 6)), want.bits);
        const std::size_t length = u32(b, entry + 8);
        const std::size_t offset = u32(b, entry + 12);
        ASSERT_LE(offset + length, b.size());

        const IconPixels img = decode_icon_image(b, offset, length, want);
        ASSERT_EQ(img.colour.size(), static_cast<std::size_t>(want.size * want.size));
        const auto at = [&](int x, int y) { return static_cast<std::size_t>(y * want.size + x); };
        const int s = want.size;
        EXPECT_TRUE(img.transparent[at(0, 0)]) << "corners show what lies behind";
        EXPECT_TRUE(img.transparent[at(s - 1, 0)]);
        EXPECT_FALSE(img.transparent[at(s / 2, s / 2)]);
        EXPECT_TRUE(looks_white(img.colour[at(s / 2, s / 2)])) << "the plus crosses the middle";
        const int body = s * 7 / 10;  // between the plus's arms, inside the button
        EXPECT_FALSE(img.transparent[at(body, body)]);
        EXPECT_TRUE(looks_green(img.colour[at(body, body)]));
    }
}

// --- Hot spots over their drawn elements ---

// Dark enough to be the outline of a button or box against its own face and the ground around it.
bool is_outline(Rgb c) { return (c.r + c.g + c.b) / 3 < 180; }
bool is_button_face(Rgb c) {
    const int lo = std::min({c.r, c.g, c.b});
    const int hi = std::max({c.r, c.g, c.b});
    return hi - lo <= 8 && lo >= 180 && hi <= 250;
}
bool is_box_face(Rgb c) { return looks_white(c); }

struct HotSpotCase {
    const char* name;
    Control label;
    bool (*is_face)(Rgb);
    int max_margin;  // how far outside the hot spot the element's outline may lie
};

// Probes each side of every hot spot at a quarter and three quarters of its length, clear of the
// sign or caption in the middle: 2 px inside the label the element's face must show, and walking
// outwards its outline must come just past the label's edge.
TEST(PicturesTest, EachHotSpotLabelLiesOverItsDrawnElement) {
    const HotSpotCase cases[] = {
        {"drop box", Control::Label1, is_box_face, 3},
        {"Enable button", Control::Label2, is_button_face, 3},
        {"Disable button", Control::Label3, is_button_face, 3},
        {"question-mark button", Control::Label6, is_button_face, 5},
        {"cross button", Control::Label4, is_button_face, 5},
    };
    const Bitmap background = load_bitmap("background.bmp");
    const Bitmap strip = load_bitmap("titlestrip.bmp");
    ASSERT_FALSE(background.pixels.empty());
    ASSERT_FALSE(strip.pixels.empty());

    for (const HotSpotCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ControlSpec& label = control(c.label);
        ASSERT_EQ(label.kind, Kind::Label);
        ASSERT_TRUE(label.transparent);
        // Both pictures sit at the top-left corner of the label's container.
        const Bitmap& picture = label.container == Control::Picture1 ? strip : background;
        const PixelRect r = pixel_rect(c.label);
        ASSERT_GE(r.left - c.max_margin, 0);
        ASSERT_GE(r.top - c.max_margin, 0);
        ASSERT_LE(r.right + c.max_margin, picture.width);
        ASSERT_LE(r.bottom + c.max_margin, picture.height);

        struct Side {
            const char* name;
            int x, y;    // a point on the label's outermost row or column
            int dx, dy;  // outwards
        };
        const int w = r.right - r.left;
        const int h = r.bottom - r.top;
        std::vector<Side> sides;
        for (int q : {1, 3}) {
            sides.push_back({"top", r.left + w * q / 4, r.top, 0, -1});
            sides.push_back({"bottom", r.left + w * q / 4, r.bottom - 1, 0, 1});
            sides.push_back({"left", r.left, r.top + h * q / 4, -1, 0});
            sides.push_back({"right", r.right - 1, r.top + h * q / 4, 1, 0});
        }
        for (const Side& s : sides) {
            SCOPED_TRACE(std::string(s.name) + " side at " + std::to_string(s.x) + "," + std::to_string(s.y));
            const Rgb inside = picture.at(s.x - 2 * s.dx, s.y - 2 * s.dy);
            EXPECT_TRUE(c.is_face(inside)) << "colour " << inside.r << "," << inside.g << "," << inside.b;
            int found = 0;  // 1 = the label's edge row or column itself
            for (int step = -2; step <= c.max_margin; ++step) {
                if (is_outline(picture.at(s.x + step * s.dx, s.y + step * s.dy))) {
                    found = step;
                    break;
                }
            }
            EXPECT_GE(found, 1) << "outline missing, or inside the hot spot";
        }
        // The corners, which the probes above leave out.
        for (const auto& [x, y] : {std::pair{r.left + 3, r.top + 3}, std::pair{r.right - 4, r.top + 3},
                                   std::pair{r.left + 3, r.bottom - 4}, std::pair{r.right - 4, r.bottom - 4}}) {
            EXPECT_TRUE(c.is_face(picture.at(x, y))) << "corner " << x << "," << y;
        }
    }
}

struct FieldCase {
    const char* name;
    Control text_box;
};

// After the start-up adjustment each text box lies on the white inside of its drawn field and its
// bottom edge meets the field's bottom border.
TEST(PicturesTest, EachTextBoxSitsInItsFieldOnTheFieldsBottomEdge) {
    const FieldCase cases[] = {
        {"file-name field", Control::Text1},
        {"status field", Control::Text2},
    };
    const Bitmap background = load_bitmap("background.bmp");
    ASSERT_FALSE(background.pixels.empty());
    const auto is_field = [](Rgb c) { return c.r >= 250 && c.g >= 250 && c.b >= 250; };
    // The first pixel from (x, y) in direction (dx, dy) that is not the field's white.
    const auto border = [&](int x, int y, int dx, int dy) {
        while (x >= 0 && y >= 0 && x < background.width && y < background.height && is_field(background.at(x, y))) {
            x += dx;
            y += dy;
        }
        return dx != 0 ? x : y;
    };

    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(control(c.text_box).container, Control::Form1);
        const PixelRect r = pixel_rect(c.text_box);
        int not_white = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) not_white += is_field(background.at(x, y)) ? 0 : 1;
        }
        EXPECT_EQ(not_white, 0) << "pixels under the text box that are not the field's white";

        const int cx = (r.left + r.right) / 2;
        const int cy = (r.top + r.bottom) / 2;
        EXPECT_NEAR(border(cx, cy, 0, 1), r.bottom, 1) << "bottom edges meet";
        const int top = border(cx, cy, 0, -1);
        EXPECT_LT(top, r.top);
        EXPECT_GE(top, r.top - 8) << "field much taller than the box";
        const int left = border(cx, cy, -1, 0);
        EXPECT_LT(left, r.left);
        EXPECT_GE(left, r.left - 12);
        const int right = border(cx, cy, 1, 0);
        EXPECT_GE(right, r.right);
        EXPECT_LE(right, r.right + 12);
    }
}

}  // namespace
}  // namespace vextra::ui
