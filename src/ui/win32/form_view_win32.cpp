// SPDX-License-Identifier: MIT
// The Win32 window built from the layout table, and what Form1 tells it to show or ask.
#include "ui/win32/form_view_win32.h"

#include <commctrl.h>
#include <ole2.h>
#include <shobjidl.h>

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
            check((brushes_[i] = CreateSolidBrush(detail::resolve(row.background))) != nullptr, "CreateSolidBrush");
    }
    check((title_strip_ = load_bitmap(instance_, VEXTRA_TITLESTRIP)) != nullptr, "LoadImageW");
    check((background_ = load_bitmap(instance_, VEXTRA_BACKGROUND)) != nullptr, "LoadImageW");
    check((large_icon_ = load_icon(instance_, GetSystemMetrics(SM_CXICON))) != nullptr, "LoadImageW");
    check((small_icon_ = load_icon(instance_, GetSystemMetrics(SM_CXSMICON))) != nullptr, "LoadImageW");
    check((picture_icon_ = load_icon(instance_, detail::kIconPixels)) != nullptr, "LoadImageW");
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
// The shell is looked up only now, as the chooser opens: the window starts without it.
IShellItem* folder_item(const std::string& folder) {
    IShellItem* item = nullptr;
    using Create = HRESULT(WINAPI*)(PCWSTR, IBindCtx*, REFIID, void**);
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    const auto create = shell ? reinterpret_cast<Create>(reinterpret_cast<void (*)()>(
                                    GetProcAddress(shell, "SHCreateItemFromParsingName")))
                              : nullptr;
    const std::wstring path = shown_text(folder);
    if (create && !path.empty() && FAILED(create(path.c_str(), nullptr, IID_PPV_ARGS(&item)))) item = nullptr;
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

}  // namespace vextra::ui::win32
