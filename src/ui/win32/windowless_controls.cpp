// SPDX-License-Identifier: MIT
// Painting and hit-testing in the Win32 window: each container paints its colour, its picture and
// its windowless controls (labels and images) in the table's stacking order, and finds which of
// them lies under a point.
#include "ui/win32/form_view_win32.h"

#include "ui/win32/form_view_detail.h"

namespace vextra::ui::win32 {
namespace {

// A window picture, drawn at the scale the layout gives `dpi`, at the size it has at `dpi`: pixel
// for pixel where the two agree, else shrunk smoothly.
void draw_bitmap(HDC dc, HBITMAP bitmap, int x, int y, int dpi) {
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    const int scale = picture_scale(dpi * 100 / kDesignDpi);
    const int width = MulDiv(info.bmWidth, dpi * 100, kDesignDpi * scale);
    const int height = MulDiv(info.bmHeight, dpi * 100, kDesignDpi * scale);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    if (width == info.bmWidth && height == info.bmHeight) {
        BitBlt(dc, x, y, width, height, source, 0, 0, SRCCOPY);
    } else {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, x, y, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }
    SelectObject(source, old);
    DeleteDC(source);
}

void fill(HDC dc, const RECT& rect, Colour colour) {
    if (colour == kNoColour) return;
    HBRUSH brush = CreateSolidBrush(detail::resolve(colour));
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

}  // namespace

void Win32FormView::paint(Control container, HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    // Drawn off screen first, so a panel sliding over its labels does not flicker.
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP pixels = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(buffer, pixels);

    const ControlSpec& row = control(container);
    fill(buffer, client, row.background);
    if (row.kind == Kind::PictureBox && row.picture == Picture::TitleStrip) draw_bitmap(buffer, title_strip_, 0, 0, dpi_);
    const std::vector<Control>& children = windowless_[static_cast<std::size_t>(container)];
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (visible(*it)) draw_windowless(buffer, control(*it));
    if (row.kind == Kind::PictureBox && GetFocus() == hwnd) {
        // One pixel in from the edges at any density, as Windows draws it.
        RECT focus = client;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(buffer, &focus);
    }

    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
           buffer, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    SelectObject(buffer, old);
    DeleteObject(pixels);
    DeleteDC(buffer);
    EndPaint(hwnd, &ps);
}

void Win32FormView::draw_windowless(HDC dc, const ControlSpec& row) const {
    RECT r = bounds(row.id);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    if (row.kind == Kind::Image) {
        if (row.picture == Picture::AppIcon)
            DrawIconEx(dc, r.left, r.top, picture_icon_, r.right - r.left, r.bottom - r.top, 0, nullptr, DI_NORMAL);
        else if (row.picture == Picture::Background)
            draw_bitmap(dc, background_, r.left, r.top, dpi_);
        else if (row.picture == Picture::TitleStrip)
            draw_bitmap(dc, title_strip_, r.left, r.top, dpi_);
    } else if (const std::wstring& text = texts_[static_cast<std::size_t>(row.id)]; !text.empty()) {
        // Transparent: only the caption is drawn, wrapped at words and clipped to the rectangle.
        SelectObject(dc, fonts_[static_cast<std::size_t>(row.id)]);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, detail::resolve(row.foreground));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    }
    RestoreDC(dc, saved);
}

Control Win32FormView::hit(Control container, POINT at) const {
    for (Control id : windowless_[static_cast<std::size_t>(container)])
        if (visible(id) && PtInRect(&bounds(id), at)) return id;
    return container;
}

Control Win32FormView::control_at_screen(POINT at) const {
    Control container = Control::Form1;
    for (;;) {
        HWND hwnd = window(container);
        POINT local = at;
        ScreenToClient(hwnd, &local);
        RECT client;
        GetClientRect(hwnd, &client);
        if (!PtInRect(&client, local)) return container;
        HWND child = ChildWindowFromPointEx(hwnd, local, CWP_SKIPINVISIBLE);
        if (!child || child == hwnd) return hit(container, local);
        std::size_t i = 0;
        while (i < kControlCount && windows_[i] != child) ++i;
        if (i == kControlCount) return container;
        if (controls()[i].kind != Kind::PictureBox) return static_cast<Control>(i);
        container = static_cast<Control>(i);
    }
}

void Win32FormView::invalidate(Control id) {
    const ControlSpec& row = control(id);
    if (HWND own = window(id)) {
        InvalidateRect(own, nullptr, FALSE);
        return;
    }
    InvalidateRect(window(row.container), &bounds(id), FALSE);
}

}  // namespace vextra::ui::win32
