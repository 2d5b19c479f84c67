// SPDX-License-Identifier: MIT
// What the end-to-end test asks Windows itself, from outside the program under test:
//   inspect attributes PATH   the file's attribute bits as 0x%x, or "missing"
//   inspect fields            the texts of the main window's edit fields, top to bottom
//   inspect tooltip           the text of the tooltip on show, if any
//   inspect boxes             the message of each message box the program has open, one a line
//   inspect buttons           the button captions of each of those boxes, one box a line, "|" between
//   inspect resources PATH    the executable's version block, icon and manifest resources
//   inspect focus             the child id of the main window's control that has the keyboard focus
//   inspect accessible        "answered" when the main window answers a screen reader's first question
// Output is UTF-8, one "name=value" per line where a name fits.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    std::string out(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.pop_back();  // the terminating NUL
    return out;
}

std::wstring wide(const char* text) {
    std::wstring out(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), static_cast<int>(out.size()));
    out.pop_back();
    return out;
}

std::wstring window_text(HWND hwnd) {
    wchar_t text[512] = {};
    // Through the owning thread, as any other process would read another program's window.
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

std::wstring class_name(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

int attributes(const char* path) {
    const DWORD bits = GetFileAttributesW(wide(path).c_str());
    if (bits == INVALID_FILE_ATTRIBUTES) std::printf("missing\n");
    else std::printf("0x%lx\n", bits);
    return 0;
}

using Fields = std::vector<std::pair<LONG, std::wstring>>;

BOOL CALLBACK add_edit(HWND child, LPARAM fields) {
    if (lstrcmpiW(class_name(child).c_str(), L"Edit") != 0) return TRUE;
    RECT r;
    GetWindowRect(child, &r);
    reinterpret_cast<Fields*>(fields)->emplace_back(r.top, window_text(child));
    return TRUE;
}

// Message boxes share the main window's title but hold no edit field.
BOOL CALLBACK add_edits_of_main_window(HWND top, LPARAM fields) {
    if (IsWindowVisible(top) && window_text(top) == L"Korvane Vextra") EnumChildWindows(top, add_edit, fields);
    return TRUE;
}

int fields() {
    Fields found;
    EnumWindows(add_edits_of_main_window, reinterpret_cast<LPARAM>(&found));
    std::sort(found.begin(), found.end());
    for (const auto& field : found) std::printf("%s\n", utf8(field.second).c_str());
    return found.empty() ? 1 : 0;
}

// A message box is a dialog of the program's title; its message is the static control 0xFFFF.
BOOL CALLBACK add_box_message(HWND top, LPARAM messages) {
    if (IsWindowVisible(top) && class_name(top) == L"#32770" && window_text(top) == L"Korvane Vextra")
        if (HWND message = GetDlgItem(top, 0xFFFF))
            reinterpret_cast<std::vector<std::wstring>*>(messages)->push_back(window_text(message));
    return TRUE;
}

int boxes() {
    std::vector<std::wstring> messages;
    EnumWindows(add_box_message, reinterpret_cast<LPARAM>(&messages));
    for (const auto& message : messages) std::printf("%s\n", utf8(message).c_str());
    return 0;
}

BOOL CALLBACK add_button_caption(HWND child, LPARAM captions) {
    if (lstrcmpiW(class_name(child).c_str(), L"Button") == 0 && IsWindowVisible(child)) {
        auto& line = *reinterpret_cast<std::wstring*>(captions);
        line += (line.empty() ? L"" : L"|") + window_text(child);
    }
    return TRUE;
}

BOOL CALLBACK add_box_buttons(HWND top, LPARAM lines) {
    if (IsWindowVisible(top) && class_name(top) == L"#32770" && window_text(top) == L"Korvane Vextra") {
        std::wstring captions;
        EnumChildWindows(top, add_button_caption, reinterpret_cast<LPARAM>(&captions));
        reinterpret_cast<std::vector<std::wstring>*>(lines)->push_back(captions);
    }
    return TRUE;
}

int buttons() {
    std::vector<std::wstring> lines;
    EnumWindows(add_box_buttons, reinterpret_cast<LPARAM>(&lines));
    for (const auto& line : lines) std::printf("%s\n", utf8(line).c_str());
    return 0;
}

int tooltip() {
    HWND tip = nullptr;
    while ((tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr)))
        if (IsWindowVisible(tip)) {
            std::printf("%s\n", utf8(window_text(tip)).c_str());
            return 0;
        }
    return 1;
}

int resources(const char* path) {
    const std::wstring file = wide(path);
    DWORD ignored = 0;
    std::vector<unsigned char> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        return 1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size)) {
        for (auto [name, ms, ls] : {std::tuple{"FixedFileVersion", fixed->dwFileVersionMS, fixed->dwFileVersionLS},
                                    std::tuple{"FixedProductVersion", fixed->dwProductVersionMS,
                                               fixed->dwProductVersionLS}})
            std::printf("%s=%u.%u.%u.%u\n", name, HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls));
        std::printf("FileOS=0x%lx\nFileType=0x%lx\n", fixed->dwFileOS, fixed->dwFileType);
    }
    WORD* translation = nullptr;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size) &&
        size >= 4)
        std::printf("Translation=0x%04x,0x%04x\n", translation[0], translation[1]);
    for (const wchar_t* name : {L"Comments", L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                L"LegalCopyright", L"LegalTrademarks", L"OriginalFilename", L"ProductName",
                                L"ProductVersion"}) {
        wchar_t* value = nullptr;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &size))
            std::printf("%s=%s\n", utf8(name).c_str(), utf8(value).c_str());
    }

    HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 1;
    // A group icon starts with reserved, type and count, each 16 bits.
    if (HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)))
        std::printf("IconImages=%u\n", static_cast<const WORD*>(LockResource(LoadResource(module, group)))[2]);
    if (HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        const auto* text = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
        const std::string content(text, SizeofResource(module, manifest));
        for (const char* wanted : {"Microsoft.Windows.Common-Controls", "asInvoker"})
            std::printf("Manifest has %s=%s\n", wanted, content.find(wanted) != std::string::npos ? "yes" : "no");
    }
    FreeLibrary(module);
    return 0;
}

BOOL CALLBACK find_main_window(HWND top, LPARAM found) {
    if (!IsWindowVisible(top) || class_name(top) == L"#32770" || window_text(top) != L"Korvane Vextra") return TRUE;
    *reinterpret_cast<HWND*>(found) = top;
    return FALSE;
}

// The program's child windows carry their control's number + 1 as id.
int focus() {
    HWND main = nullptr;
    EnumWindows(find_main_window, reinterpret_cast<LPARAM>(&main));
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!main || !GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) return 1;
    std::printf("%d\n", info.hwndFocus && IsChild(main, info.hwndFocus) ? GetDlgCtrlID(info.hwndFocus) : 0);
    return 0;
}

// A screen reader's first question: the main window's accessible object for its client area.
int accessible() {
    HWND main = nullptr;
    EnumWindows(find_main_window, reinterpret_cast<LPARAM>(&main));
    DWORD_PTR answer = 0;
    if (!main || !SendMessageTimeoutW(main, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT), SMTO_ABORTIFHUNG,
                                      5000, &answer))
        return 1;
    std::printf("%s\n", answer ? "answered" : "unanswered");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "attributes" && argc == 3) return attributes(argv[2]);
    if (command == "fields" && argc == 2) return fields();
    if (command == "tooltip" && argc == 2) return tooltip();
    if (command == "boxes" && argc == 2) return boxes();
    if (command == "buttons" && argc == 2) return buttons();
    if (command == "resources" && argc == 3) return resources(argv[2]);
    if (command == "focus" && argc == 2) return focus();
    if (command == "accessible" && argc == 2) return accessible();
    std::fprintf(stderr, "usage: inspect attributes PATH | fields | tooltip | boxes | buttons | resources PATH | focus\n");
    return 64;
}
