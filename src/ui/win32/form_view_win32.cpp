// SPDX-License-Identifier: MIT
// The Win32 window built from the layout table, and what Form1 tells it to show or ask.
#include "ui/win32/form_view_win32.h"

#include <commctrl.h>
#include <ole2.h>
#include <shobjidl.h>
#include <wincodec.h>

#include "platform/files.h"
#include "platform/released_win32.h"
#include "platform/utf16.h"
#include "product.h"
#include "ui/win32/accessible_win32.h"
#include "ui/win32/drop_target.h"
#include "ui/win32/form_view_detail.h"
#include "ui/win32/resources.h"

namespace vextra::ui::win32 {
namespace {

// The answers and buttons the window's logic speaks of are Windows' own values, passed through.
static_assert(platform::answer::kOk == IDOK && platform::answer::kYes == IDYES && platform::answer::kNo == IDNO);
static_assert(platform::buttons::kOkWarning == (MB_OK | MB_ICONWARNING) &&
              platform::buttons::kYesNoWarning == (MB_YESNO | MB_ICONWARNING));

constexpr wchar_t kContainerClass[] = L"VextraContainer";

// What the window shows is UTF-8 by construction (the table, prompts, names Windows gave us).
std::wstring shown_text(std::string_view text) { return platform::to_utf16(text).value_or(std::wstring()); }

RECT to_rect(const PixelRect& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

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

HFONT create_font(const Font& font, int dpi) {
    std::wstring face = shown_text(font.face);
    if (!face_installed(face.c_str())) face = shown_text(kFallbackFace);
    const int height = -font_pixels(font, dpi);
    return CreateFontW(height, 0, 0, 0, font.weight, font.italic, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

HBITMAP load_bitmap(HINSTANCE instance, int id) {
    return static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// A PNG resource as a top-down 32-bit DIB section, decoded by the system's imaging component
// (COM is set up before the window is built).
HBITMAP load_png(HINSTANCE instance, int id) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    auto* bytes = static_cast<BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes) return nullptr;
    platform::Released<IWICImagingFactory> factory;
    platform::Released<IWICStream> stream;
    platform::Released<IWICBitmapDecoder> decoder;
    platform::Released<IWICBitmapFrameDecode> frame;
    platform::Released<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&factory.pointer));
    if (SUCCEEDED(result)) result = factory.pointer->CreateStream(&stream.pointer);
    if (SUCCEEDED(result)) result = stream.pointer->InitializeFromMemory(bytes, SizeofResource(instance, found));
    if (SUCCEEDED(result))
        result = factory.pointer->CreateDecoderFromStream(stream.pointer, nullptr, WICDecodeMetadataCacheOnDemand,
                                                          &decoder.pointer);
    if (SUCCEEDED(result)) result = decoder.pointer->GetFrame(0, &frame.pointer);
    if (SUCCEEDED(result)) result = factory.pointer->CreateFormatConverter(&converter.pointer);
    if (SUCCEEDED(result))
        result = converter.pointer->Initialize(frame.pointer, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                               nullptr, 0.0, WICBitmapPaletteTypeCustom);
    if (SUCCEEDED(result)) result = converter.pointer->GetSize(&width, &height);
    if (FAILED(result)) {
        SetLastError(static_cast<DWORD>(result));
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap) return nullptr;
    result = converter.pointer->CopyPixels(nullptr, width * 4, width * height * 4, static_cast<BYTE*>(pixels));
    if (FAILED(result)) {
        DeleteObject(bitmap);
        SetLastError(static_cast<DWORD>(result));
        return nullptr;
    }
    return bitmap;
}

// A window picture drawn at `scale` percent: the 24-bit bitmap at 100, the PNG at the others.
HBITMAP load_picture(HINSTANCE instance, Picture picture, int scale) {
    const bool strip = picture == Picture::TitleStrip;
    switch (scale) {
        case 150: return load_png(instance, strip ? VEXTRA_TITLESTRIP_150 : VEXTRA_BACKGROUND_150);
        case 200: return load_png(instance, strip ? VEXTRA_TITLESTRIP_200 : VEXTRA_BACKGROUND_200);
        default: return load_bitmap(instance, strip ? VEXTRA_TITLESTRIP : VEXTRA_BACKGROUND);
    }
}

// The icon at `size` pixels: an image of that size, else a larger one shrunk, never one blown up.
// Common controls 6 (loaded by main) has the call; MinGW's import library lacks it.
HICON load_icon(HINSTANCE instance, int size) {
    using LoadIconWithScaleDownFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    static const auto load_scaled_down = reinterpret_cast<LoadIconWithScaleDownFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "LoadIconWithScaleDown")));
    HICON icon = nullptr;
    if (load_scaled_down && SUCCEEDED(load_scaled_down(instance, MAKEINTRESOURCEW(VEXTRA_ICON), size, size, &icon)))
        return icon;
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(VEXTRA_ICON), IMAGE_ICON, size, size, 0));
}

// The dots per inch of the screen a window is on; before Windows 10 (1607), the system's.
int dpi_of(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto get_dpi_for_window = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (window && get_dpi_for_window)
        if (const UINT dpi = get_dpi_for_window(window)) return static_cast<int>(dpi);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
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
    // Built at the system's density; the screen the window opened on may have another.
    if (const int dpi = dpi_of(window(Control::Form1)); dpi != dpi_) {
        fit_to_dpi(dpi);
        place_children();
        const RECT& client = bounds(Control::Form1);
        SetWindowPos(window(Control::Form1), nullptr, 0, 0, client.right, client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32FormView::load_resources() {
    for (const ControlSpec& row : controls()) {
        const auto i = static_cast<std::size_t>(row.id);
        twips_[i] = {row.left, row.top, row.width, row.height};
        visible_[i] = row.visible;
        texts_[i] = shown_text(row.text);
        if (row.kind == Kind::TextBox)
            check((brushes_[i] = CreateSolidBrush(detail::resolve(row.background))) != nullptr, "CreateSolidBrush");
    }
    check((large_icon_ = load_icon(instance_, GetSystemMetrics(SM_CXICON))) != nullptr, "LoadImageW");
    check((small_icon_ = load_icon(instance_, GetSystemMetrics(SM_CXSMICON))) != nullptr, "LoadImageW");
    fit_to_dpi(dpi_of(nullptr));
    for (const ControlSpec& row : controls())
        check(row.font.face.empty() || fonts_[static_cast<std::size_t>(row.id)] != nullptr, "CreateFontW");
    check(title_strip_ && background_, "LoadImageW");
    check(picture_icon_ != nullptr, "LoadImageW");
}

// The fonts, pictures and rectangles for a new density. Whatever cannot be made keeps its old one,
// drawn at the old size, rather than leave a hole in the window.
void Win32FormView::fit_to_dpi(int dpi) {
    dpi_ = dpi;
    for (const ControlSpec& row : controls()) {
        const auto i = static_cast<std::size_t>(row.id);
        bounds_[i] = to_rect(to_pixels(twips_[i], dpi));
        if (row.font.face.empty()) continue;
        HFONT font = create_font(row.font, dpi);
        if (!font) continue;
        if (HWND own = window(row.id)) SendMessageW(own, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (fonts_[i]) DeleteObject(fonts_[i]);
        fonts_[i] = font;
    }
    const int scale = picture_scale(dpi * 100 / kDesignDpi);
    for (auto [picture, held] :
         {std::pair{Picture::TitleStrip, &title_strip_}, std::pair{Picture::Background, &background_}}) {
        if (HBITMAP loaded = load_picture(instance_, picture, scale)) {
            if (*held) DeleteObject(*held);
            *held = loaded;
        }
    }
    const RECT& icon = bounds(Control::Image2);
    if (HICON loaded = load_icon(instance_, icon.right - icon.left)) {
        if (picture_icon_) DestroyIcon(picture_icon_);
        picture_icon_ = loaded;
    }
}

void Win32FormView::place_children() {
    for (const ControlSpec& row : controls()) {
        const RECT& r = bounds(row.id);
        if (HWND own = window(row.id); own && row.id != Control::Form1)
            SetWindowPos(own, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        if (row.tooltip.empty() || window(row.id)) continue;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = window(row.container);
        tool.uId = static_cast<UINT_PTR>(row.id);
        tool.rect = r;
        SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    RedrawWindow(window(Control::Form1), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
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
    detail::Creation creation{this, Control::Form1};
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
            PostMessageW(window(Control::Form1), detail::kDropMessage, 0, 0);
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
        answer_for_field(*this, row.id);
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_[static_cast<std::size_t>(row.id)]), FALSE);
        return edit;
    }
    detail::Creation creation{this, row.id};
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

int Win32FormView::message_box(const std::string& prompt, int buttons, const std::string& title) {
    dismissal_button_ = buttons == platform::buttons::kYesNoWarning ? IDNO : IDOK;
    const int answer = MessageBoxW(window(Control::Form1), shown_text(prompt).c_str(), shown_text(title).c_str(),
                                   static_cast<UINT>(buttons));
    dismissal_button_ = 0;
    return answer;
}

namespace {

// The shell's item for a folder, which the chooser opens in; none when the folder is not there.
IShellItem* folder_item(const std::string& folder) {
    IShellItem* item = nullptr;
    const std::wstring path = shown_text(folder);
    if (!path.empty() && FAILED(SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item)))) item = nullptr;
    return item;
}

}  // namespace

std::optional<std::string> Win32FormView::choose_program(const std::string& start_folder) {
    platform::Released<IFileOpenDialog> chooser;
    HRESULT result =
        CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&chooser.pointer));
    if (SUCCEEDED(result)) {
        const std::wstring programs = shown_text(kProgramsChoice);
        const std::wstring all_files = shown_text(kAllFilesChoice);
        const COMDLG_FILTERSPEC choices[] = {{programs.c_str(), L"*.exe"}, {all_files.c_str(), L"*.*"}};
        chooser.pointer->SetFileTypes(2, choices);
        chooser.pointer->SetTitle(shown_text(kChooserTitle).c_str());
        // Not the folder Windows remembers for the program: where the window's logic says.
        if (const platform::Released<IShellItem> folder(folder_item(start_folder)); folder.pointer)
            chooser.pointer->SetFolder(folder.pointer);
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
    Rect& twips = twips_[static_cast<std::size_t>(id)];
    twips.left = left;
    twips.top = top;
    r = to_rect(to_pixels(twips, dpi_));
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
    return pixels_to_twips(r.left, dpi_);
}

float Win32FormView::window_top() const {
    RECT r;
    GetWindowRect(window(Control::Form1), &r);
    return pixels_to_twips(r.top, dpi_);
}

void Win32FormView::move_window(float left, float top) {
    SetWindowPos(window(Control::Form1), nullptr, twips_to_pixels(left, dpi_), twips_to_pixels(top, dpi_), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormView::end_program() { ExitProcess(0); }

}  // namespace vextra::ui::win32
