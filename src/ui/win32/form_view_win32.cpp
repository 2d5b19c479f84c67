// SPDX-License-Identifier: MIT
#include "ui/win32/form_view_win32.h"

#include <commctrl.h>
#include <ole2.h>
#include <shobjidl.h>
#include <windowsx.h>

#include <cmath>

#include "platform/files.h"
#include "platform/released_win32.h"
#include "platform/utf16.h"
#include "product.h"
#include "ui/win32/drop_target.h"
#include "ui/win32/resources.h"

namespace vextra::ui::win32 {
namespace {

constexpr wchar_t kContainerClass[] = L"VextraContainer";
// A drop is handed to Form1 from the message loop, after the drag source has been told the result.
constexpr UINT kDropMessage = WM_APP + 1;
// Image2 and Image3 show the icon's 48 x 48 image at its own size.
constexpr int kIconPixels = 48;

struct Creation {
    Win32FormView* form;
    Control id;
};

// What the window shows is UTF-8 by construction (the table, prompts, names Windows gave us).
std::wstring shown_text(std::string_view text) { return platform::to_utf16(text).value_or(std::wstring()); }

RECT to_rect(const PixelRect& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

COLORREF resolve(Colour colour) {
    return is_system_colour(colour) ? GetSysColor(system_colour_index(colour)) : static_cast<COLORREF>(colour);
}

int CALLBACK note_found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool face_installed(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &wanted, note_found, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

HFONT create_font(const Font& font) {
    std::wstring face = shown_text(font.face);
    if (!face_installed(face.c_str())) face = shown_text(kFallbackFace);
    const int height = -font_pixels(font);
    return CreateFontW(height, 0, 0, 0, font.weight, font.italic, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

HBITMAP load_bitmap(HINSTANCE instance, int id) {
    return static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

HICON load_icon(HINSTANCE instance, int size) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(VEXTRA_ICON), IMAGE_ICON, size, size, 0));
}

void draw_bitmap(HDC dc, HBITMAP bitmap, int x, int y) {
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

void fill(HDC dc, const RECT& rect, Colour colour) {
    if (colour == kNoColour) return;
    HBRUSH brush = CreateSolidBrush(resolve(colour));
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

bool is_window_kind(Kind kind) { return kind == Kind::PictureBox || kind == Kind::TextBox; }

// Start-up stops at the first window-system call that fails, saying which and why, rather than
// go on with half a window.
void check(bool succeeded, const char* call) {
    if (!succeeded)
        throw StartupError(std::string(call) + ": " +
                           platform::error_text({static_cast<int>(GetLastError()), std::system_category()}));
}

}  // namespace

Win32FormView::Win32FormView(HINSTANCE instance) : instance_(instance) {
    load_resources();
    register_container_class();
    create_main_window();
    build_children(Control::Form1);
    register_drop_target();
}

void Win32FormView::load_resources() {
    for (const ControlSpec& row : controls()) {
        const auto i = static_cast<std::size_t>(row.id);
        bounds_[i] = to_rect(stored_pixels(row));
        visible_[i] = row.visible;
        texts_[i] = shown_text(row.text);
        if (!row.font.face.empty()) check((fonts_[i] = create_font(row.font)) != nullptr, "CreateFontW");
        if (row.kind == Kind::TextBox)
            check((brushes_[i] = CreateSolidBrush(resolve(row.background))) != nullptr, "CreateSolidBrush");
    }
    check((title_strip_ = load_bitmap(instance_, VEXTRA_TITLESTRIP)) != nullptr, "LoadImageW");
    check((background_ = load_bitmap(instance_, VEXTRA_BACKGROUND)) != nullptr, "LoadImageW");
    check((large_icon_ = load_icon(instance_, GetSystemMetrics(SM_CXICON))) != nullptr, "LoadImageW");
    check((small_icon_ = load_icon(instance_, GetSystemMetrics(SM_CXSMICON))) != nullptr, "LoadImageW");
    check((picture_icon_ = load_icon(instance_, kIconPixels)) != nullptr, "LoadImageW");
}

void Win32FormView::register_container_class() {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_DBLCLKS;
    window_class.lpfnWndProc = container_proc;
    window_class.hInstance = instance_;
    window_class.hIcon = large_icon_;
    window_class.hIconSm = small_icon_;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kContainerClass;
    check(RegisterClassExW(&window_class) != 0, "RegisterClassExW");
}

// No frame: the client area is the whole window. It opens in the middle of the work area, with
// the tooltip window that serves every control.
void Win32FormView::create_main_window() {
    const RECT& client = bounds(Control::Form1);
    RECT work{};
    check(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0), "SystemParametersInfoW");
    const int x = work.left + (work.right - work.left - client.right) / 2;
    const int y = work.top + (work.bottom - work.top - client.bottom) / 2;
    Creation creation{this, Control::Form1};
    check(CreateWindowExW(0, kContainerClass, texts_[static_cast<std::size_t>(Control::Form1)].c_str(),
                          WS_POPUP | WS_CLIPCHILDREN, x, y, client.right, client.bottom, nullptr, nullptr, instance_,
                          &creation) != nullptr,
          "CreateWindowExW");
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window(Control::Form1),
                               nullptr, instance_, nullptr);
    check(tooltip_ != nullptr, "CreateWindowExW");
}

void Win32FormView::register_drop_target() {
    drop_target_ = new DropTarget(
        [this](POINT at) { return form_.takes_drop(control_at_screen(at)); },
        [this](POINT at, const std::optional<std::string>& file) {
            drops_.emplace_back(control_at_screen(at), file);
            PostMessageW(window(Control::Form1), kDropMessage, 0, 0);
        });
    const HRESULT registered = RegisterDragDrop(window(Control::Form1), drop_target_);
    if (FAILED(registered)) SetLastError(static_cast<DWORD>(registered));
    check(SUCCEEDED(registered), "RegisterDragDrop");
}

Win32FormView::~Win32FormView() {
    if (IsWindow(window(Control::Form1))) DestroyWindow(window(Control::Form1));
    if (drop_target_) drop_target_->Release();
    for (HFONT font : fonts_)
        if (font) DeleteObject(font);
    for (HBRUSH brush : brushes_)
        if (brush) DeleteObject(brush);
    for (HGDIOBJ bitmap : {title_strip_, background_})
        if (bitmap) DeleteObject(bitmap);
    for (HICON icon : {large_icon_, small_icon_, picture_icon_})
        if (icon) DestroyIcon(icon);
}

void Win32FormView::show(int show_command) {
    ShowWindow(window(Control::Form1), show_command);
    UpdateWindow(window(Control::Form1));
    move_focus(1);  // the first control in tab order that can take the focus
}

HWND Win32FormView::create_window(const ControlSpec& row, HWND parent) {
    const RECT& r = bounds(row.id);
    const DWORD shown = row.visible ? WS_VISIBLE : 0;
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id) + 1);
    if (row.kind == Kind::TextBox) {
        // No border of its own: the field is drawn on the background picture.
        HWND edit = CreateWindowExW(0, L"EDIT", texts_[static_cast<std::size_t>(row.id)].c_str(),
                                    WS_CHILD | WS_CLIPSIBLINGS | ES_LEFT | ES_AUTOHSCROLL |
                                        (row.read_only ? ES_READONLY : 0) | shown,
                                    r.left, r.top, r.right - r.left, r.bottom - r.top, parent, id, instance_, nullptr);
        windows_[static_cast<std::size_t>(row.id)] = edit;
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_[static_cast<std::size_t>(row.id)]), FALSE);
        return edit;
    }
    Creation creation{this, row.id};
    return CreateWindowExW(0, kContainerClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | shown, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, parent, id, instance_, &creation);
}

void Win32FormView::build_children(Control container) {
    HWND above = HWND_TOP;
    for (Control id : children_front_to_back(container)) {
        const ControlSpec& row = control(id);
        if (is_window_kind(row.kind)) {
            HWND child = create_window(row, window(container));
            SetWindowPos(child, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            above = child;
            if (row.kind == Kind::PictureBox) build_children(id);
        } else if (row.kind == Kind::Label || row.kind == Kind::Image) {
            windowless_[static_cast<std::size_t>(container)].push_back(id);
        }  // manif holds the manifest text and is never shown: it needs no window.
        if (!row.tooltip.empty()) add_tooltip(row);
    }
}

void Win32FormView::add_tooltip(const ControlSpec& row) {
    std::wstring text = shown_text(row.tooltip);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = window(row.container);
    tool.lpszText = text.data();
    if (HWND own = window(row.id)) {
        tool.uFlags |= TTF_IDISHWND;
        tool.uId = reinterpret_cast<UINT_PTR>(own);
    } else {
        tool.uId = static_cast<UINT_PTR>(row.id);
        tool.rect = bounds(row.id);
    }
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CALLBACK Win32FormView::container_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* creation = static_cast<const Creation*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->form));
        creation->form->windows_[static_cast<std::size_t>(creation->id)] = hwnd;
    }
    auto* self = reinterpret_cast<Win32FormView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
        for (std::size_t i = 0; i < kControlCount; ++i)
            if (self->windows_[i] == hwnd) return self->handle(static_cast<Control>(i), hwnd, message, wparam, lparam);
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT Win32FormView::handle(Control container, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    switch (message) {
        case WM_ERASEBKGND: return 1;  // WM_PAINT draws everything, in one piece
        case WM_PAINT: paint(container, hwnd); return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: press(container, hwnd, at); return 0;
        // The second press of a double click is no new press and makes no second click.
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK: return 0;
        case WM_MOUSEMOVE:
            if (pressed_ ? *pressed_ == container : hit(container, at) == container)
                mouse(container, MouseAction::Move, at);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: release(container, hwnd, at, wparam); return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lparam) != hwnd) end_press(container);
            return 0;
        case WM_CTLCOLORSTATIC: {
            // Read-only edits ask here for their colours.
            const auto edit = reinterpret_cast<HWND>(lparam);
            for (std::size_t i = 0; i < kControlCount; ++i) {
                if (windows_[i] != edit || !brushes_[i]) continue;
                const ControlSpec& row = controls()[i];
                SetTextColor(reinterpret_cast<HDC>(wparam), resolve(row.foreground));
                SetBkColor(reinterpret_cast<HDC>(wparam), resolve(row.background));
                return reinterpret_cast<LRESULT>(brushes_[i]);
            }
            break;
        }
        case WM_TIMER:
            form_.tick(static_cast<Control>(wparam));
            return 0;
        case kDropMessage:
            if (!drops_.empty()) {
                auto [target, file] = std::move(drops_.front());
                drops_.pop_front();
                // A message box may have opened between the drop and this message.
                form_.drop(target, file);
            }
            return 0;
        // Asked to close by another program (taskkill without /F) or ended with the session: as
        // the exit control, once any open box is answered No.
        case WM_CLOSE:
            if (container != Control::Form1) break;
            form_.end_requested();
            return 0;
        case WM_ENDSESSION:
            if (container == Control::Form1 && wparam) form_.end_requested();
            return 0;
        case WM_DESTROY:
            if (container == Control::Form1) {
                RevokeDragDrop(hwnd);
                PostQuitMessage(0);
            }
            return 0;
        default: break;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

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
    if (row.kind == Kind::PictureBox && row.picture == Picture::TitleStrip) draw_bitmap(buffer, title_strip_, 0, 0);
    const std::vector<Control>& children = windowless_[static_cast<std::size_t>(container)];
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (visible(*it)) draw_windowless(buffer, control(*it));

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
            DrawIconEx(dc, r.left, r.top, picture_icon_, kIconPixels, kIconPixels, 0, nullptr, DI_NORMAL);
        else if (row.picture == Picture::Background)
            draw_bitmap(dc, background_, r.left, r.top);
        else if (row.picture == Picture::TitleStrip)
            draw_bitmap(dc, title_strip_, r.left, r.top);
    } else if (const std::wstring& text = texts_[static_cast<std::size_t>(row.id)]; !text.empty()) {
        // Transparent: only the caption is drawn, wrapped at words and clipped to the rectangle.
        SelectObject(dc, fonts_[static_cast<std::size_t>(row.id)]);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, resolve(row.foreground));
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

// The control under the pointer at a press takes the whole press: it alone sees the moves and the
// release, wherever the pointer goes, as on a window that captures the mouse.
void Win32FormView::press(Control container, HWND hwnd, POINT at) {
    if (!pressed_) {
        pressed_ = hit(container, at);
        press_container_ = container;
        SetCapture(hwnd);
    }
    if (*pressed_ == container) mouse(container, MouseAction::Press, at);
}

void Win32FormView::release(Control container, HWND hwnd, POINT at, WPARAM buttons_left) {
    if (!pressed_) return;
    if (*pressed_ == container) mouse(container, MouseAction::Release, at);
    if (buttons_left & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)) return;
    const Control owner = *pressed_;
    RECT area = bounds(owner);
    if (owner == container) GetClientRect(hwnd, &area);
    pressed_.reset();
    ReleaseCapture();
    if (PtInRect(&area, at)) form_.click(owner);
}

void Win32FormView::end_press(Control container) {
    if (!pressed_ || press_container_ != container) return;
    if (*pressed_ == container) mouse(container, MouseAction::Release, POINT{});
    pressed_.reset();
}

void Win32FormView::mouse(Control container, MouseAction action, POINT at) {
    form_.mouse(container, action, static_cast<float>(pixels_to_twips(at.x)), static_cast<float>(pixels_to_twips(at.y)));
}

void Win32FormView::invalidate(Control id) {
    const ControlSpec& row = control(id);
    if (HWND own = window(id)) {
        InvalidateRect(own, nullptr, FALSE);
        return;
    }
    InvalidateRect(window(row.container), &bounds(id), FALSE);
}

int Win32FormView::message_box(const std::string& prompt, int buttons, const std::string& title) {
    dismissal_button_ = buttons == platform::buttons::kYesNoWarning ? IDNO : IDOK;
    // The button values are Windows' own (48: OK and warning icon, 52: Yes, No and warning icon).
    const int answer = MessageBoxW(window(Control::Form1), shown_text(prompt).c_str(), shown_text(title).c_str(),
                                   static_cast<UINT>(buttons));
    dismissal_button_ = 0;
    return answer;
}

std::optional<std::string> Win32FormView::choose_program() {
    platform::Released<IFileOpenDialog> chooser;
    HRESULT result =
        CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&chooser.pointer));
    if (SUCCEEDED(result)) {
        const std::wstring programs = shown_text(kProgramsChoice);
        const std::wstring all_files = shown_text(kAllFilesChoice);
        const COMDLG_FILTERSPEC choices[] = {{programs.c_str(), L"*.exe"}, {all_files.c_str(), L"*.*"}};
        chooser.pointer->SetFileTypes(2, choices);
        chooser.pointer->SetTitle(shown_text(kChooserTitle).c_str());
        FILEOPENDIALOGOPTIONS options = 0;
        chooser.pointer->GetOptions(&options);
        chooser.pointer->SetOptions(options | FOS_FILEMUSTEXIST | FOS_FORCEFILESYSTEM);
        open_chooser_ = chooser.pointer;
        result = chooser.pointer->Show(window(Control::Form1));
        open_chooser_ = nullptr;
    }
    if (result == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::nullopt;
    platform::Released<IShellItem> item;
    wchar_t* path = nullptr;
    if (SUCCEEDED(result)) result = chooser.pointer->GetResult(&item.pointer);
    if (SUCCEEDED(result)) result = item.pointer->GetDisplayName(SIGDN_FILESYSPATH, &path);
    if (FAILED(result)) {
        message_box("The file chooser could not be opened: " +
                        platform::error_text(std::error_code(static_cast<int>(result), std::system_category())),
                    platform::buttons::kOkWarning, std::string(kProductName));
        return std::nullopt;
    }
    std::string chosen = platform::to_utf8(path);
    CoTaskMemFree(path);
    return chosen;
}

namespace {

// The message box a handler of the window opened, and the button that closes it as No.
struct OpenBox {
    HWND owner;
    int button;
};

// An enumeration callback: closes the window if it is that box, and then stops.
BOOL CALLBACK end_if_open_box(HWND candidate, LPARAM open_box) {
    const auto* box = reinterpret_cast<const OpenBox*>(open_box);
    wchar_t class_name[8] = {};
    GetClassNameW(candidate, class_name, 8);
    if (GetWindow(candidate, GW_OWNER) != box->owner || wcscmp(class_name, L"#32770") != 0) return TRUE;
    EndDialog(candidate, box->button);
    return FALSE;
}

}  // namespace

void Win32FormView::dismiss_box() {
    if (open_chooser_) {
        open_chooser_->Close(HRESULT_FROM_WIN32(ERROR_CANCELLED));
        return;
    }
    if (!dismissal_button_) return;
    // The message box is a dialog of this thread that the window owns.
    OpenBox box{window(Control::Form1), dismissal_button_};
    EnumThreadWindows(GetCurrentThreadId(), end_if_open_box, reinterpret_cast<LPARAM>(&box));
}

void Win32FormView::show_text(Control box, const std::string& text) {
    SetWindowTextW(window(box), shown_text(text).c_str());
}

void Win32FormView::place_control(Control id, int left, int top) {
    RECT& r = bounds(id);
    if (!window(id)) invalidate(id);
    OffsetRect(&r, twips_to_pixels(left) - r.left, twips_to_pixels(top) - r.top);
    if (HWND own = window(id))
        SetWindowPos(own, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    else
        invalidate(id);
}

void Win32FormView::show_control(Control id, bool shown) {
    visible_[static_cast<std::size_t>(id)] = shown;
    if (HWND own = window(id))
        ShowWindow(own, shown ? SW_SHOWNA : SW_HIDE);
    else
        invalidate(id);
}

void Win32FormView::enable_timer(Control timer, bool enabled) {
    if (enabled)
        SetTimer(window(Control::Form1), static_cast<UINT_PTR>(timer), static_cast<UINT>(control(timer).interval_ms),
                 nullptr);
    else
        KillTimer(window(Control::Form1), static_cast<UINT_PTR>(timer));
}

float Win32FormView::window_left() const {
    RECT r;
    GetWindowRect(window(Control::Form1), &r);
    return static_cast<float>(pixels_to_twips(r.left));
}

float Win32FormView::window_top() const {
    RECT r;
    GetWindowRect(window(Control::Form1), &r);
    return static_cast<float>(pixels_to_twips(r.top));
}

void Win32FormView::move_window(float left, float top) {
    SetWindowPos(window(Control::Form1), nullptr, twips_to_pixels(left), twips_to_pixels(top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormView::end_program() { ExitProcess(0); }

int Win32FormView::run_message_loop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        const HWND form = window(Control::Form1);
        const bool in_window = message.hwnd == form || IsChild(form, message.hwnd);
        if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && in_window) {
            move_focus(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
            continue;
        }
        if (message.message == WM_KEYDOWN && message.wParam == 'O' && GetKeyState(VK_CONTROL) < 0 && in_window) {
            form_.choose_program();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

// Tab and Shift+Tab go round the controls that take the focus in the table's tab order, past those
// that are hidden (the About panel while it is parked).
void Win32FormView::move_focus(int step) {
    const std::vector<Control> order = tab_order();
    const HWND focused = GetFocus();
    const auto count = static_cast<int>(order.size());
    int at = 0;
    while (at < count && window(order[static_cast<std::size_t>(at)]) != focused) ++at;
    if (at == count) at = step > 0 ? count - 1 : 0;
    for (int tried = 0; tried < count; ++tried) {
        at = (at + step + count) % count;
        const HWND next = window(order[static_cast<std::size_t>(at)]);
        if (next && IsWindowVisible(next)) {
            SetFocus(next);
            return;
        }
    }
}

}  // namespace vextra::ui::win32
