// SPDX-License-Identifier: MIT
// The Win32 window as a screen reader reads it, in the window's own process: the client area's
// object is asked for as a screen reader's process asks (WM_GETOBJECT, then ObjectFromLresult),
// and its children are walked for their names, roles, states and default actions. Wine's
// AccessibleObjectFromWindow fails, so the window is asked directly.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/utf16.h"
#include "ui/win32/form_view_win32.h"

namespace vextra::ui::win32 {
namespace {

VARIANT child_id(long id) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::wstring take(BSTR text) {
    std::wstring taken = text ? text : L"";
    SysFreeString(text);
    return taken;
}

// A child of an accessible object, as a screen reader finds it: a simple element of its parent, or
// an object of its own.
struct Child {
    IAccessible* parent;
    long id;
    IAccessible* object = nullptr;  // owned

    IAccessible* holder() const { return object ? object : parent; }
    VARIANT self() const { return child_id(object ? CHILDID_SELF : id); }
    std::wstring name() const {
        BSTR name = nullptr;
        holder()->get_accName(self(), &name);
        return take(name);
    }
    LONG role() const {
        VARIANT role{};
        holder()->get_accRole(self(), &role);
        return role.vt == VT_I4 ? role.lVal : -1;
    }
    LONG state() const {
        VARIANT state{};
        holder()->get_accState(self(), &state);
        return state.vt == VT_I4 ? state.lVal : -1;
    }
    std::wstring default_action() const {
        BSTR action = nullptr;
        holder()->get_accDefaultAction(self(), &action);
        return take(action);
    }
    std::wstring shortcut() const {
        BSTR keys = nullptr;
        holder()->get_accKeyboardShortcut(self(), &keys);
        return take(keys);
    }
};

// What the press of a screen reader opened: the box's text. The box is answered No one tick after
// it was seen, so that what `while_open` posts meanwhile runs while it is open.
struct BoxWatch {
    HWND owner = nullptr;
    std::function<void()> while_open;
    std::wstring text;
};
BoxWatch* watched = nullptr;

BOOL CALLBACK find_box(HWND candidate, LPARAM found) {
    wchar_t class_name[8] = {};
    GetClassNameW(candidate, class_name, 8);
    if (wcscmp(class_name, L"#32770") != 0 || GetWindow(candidate, GW_OWNER) != watched->owner) return TRUE;
    *reinterpret_cast<HWND*>(found) = candidate;
    return FALSE;
}

void CALLBACK watch_box(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_box, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    if (!watched->text.empty()) {
        EndDialog(box, IDNO);
        return;
    }
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);  // a message box's text, by Windows' own identifier
    watched->text = text;
    if (watched->while_open) watched->while_open();
}

// Runs the thread's messages until `done`; false after ten seconds without.
bool run_until(const std::function<bool()>& done) {
    const ULONGLONG until = GetTickCount64() + 10000;
    while (!done()) {
        if (GetTickCount64() > until) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

class Win32Accessibility : public ::testing::Test {
protected:
    // The window class is registered once a process, so one window serves every test.
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&classes);
        view_ = new Win32FormView(GetModuleHandleW(nullptr));
        view_->form().load();  // the template from the working directory
        view_->show(SW_SHOWNORMAL);
    }

    static void TearDownTestSuite() {
        delete view_;
        view_ = nullptr;
        OleUninitialize();
    }

    void TearDown() override {
        for (Child& child : taken_)
            if (child.object) child.object->Release();
        for (IAccessible* object : objects_) object->Release();
    }

    // The object a screen reader gets for the client area of `container`'s window.
    IAccessible* client(Control container) {
        const LRESULT answer =
            SendMessageW(view_->window(container), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
        EXPECT_GT(answer, 0);
        IAccessible* object = nullptr;
        EXPECT_EQ(ObjectFromLresult(answer, __uuidof(IAccessible), 0, reinterpret_cast<void**>(&object)), S_OK);
        if (object) objects_.push_back(object);
        return object;
    }

    std::vector<Child> children(IAccessible* parent) {
        long count = 0;
        EXPECT_EQ(parent->get_accChildCount(&count), S_OK);
        std::vector<Child> found;
        for (long id = 1; id <= count; ++id) {
            Child child{parent, id};
            IDispatch* object = nullptr;
            if (parent->get_accChild(child_id(id), &object) == S_OK && object) {
                object->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&child.object));
                object->Release();
            }
            taken_.push_back(child);
            found.push_back(child);
        }
        return found;
    }

    // Every child of the client area and of its containers, depth first, captions left out.
    std::vector<Child> walk(IAccessible* parent) {
        std::vector<Child> all;
        for (const Child& child : children(parent)) {
            if (child.role() != ROLE_SYSTEM_STATICTEXT) all.push_back(child);
            if (child.object)
                for (const Child& inner : walk(child.object)) all.push_back(inner);
        }
        return all;
    }

    Child find(const std::wstring& name, LONG role) {
        for (const Child& child : walk(client(Control::Form1)))
            if (child.name() == name && child.role() == role) return child;
        ADD_FAILURE() << "no child named " << platform::to_utf8(name);
        return Child{nullptr, 0};
    }

    static Win32FormView* view_;
    std::vector<IAccessible*> objects_;
    std::vector<Child> taken_;
};

Win32FormView* Win32Accessibility::view_ = nullptr;

TEST_F(Win32Accessibility, ClientAreaShowsTheHotSpotsAndFieldsByName) {
    IAccessible* form = client(Control::Form1);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ((Child{form, CHILDID_SELF}.name()), L"Korvane Vextra");

    struct Expected {
        LONG role;
        const wchar_t* name;
        bool shown;
        const wchar_t* shortcut;
    };
    const Expected expected[] = {
        {ROLE_SYSTEM_TEXT, L"App FileName", true, L""},
        {ROLE_SYSTEM_TEXT, L"Style Enabled", true, L""},
        {ROLE_SYSTEM_PUSHBUTTON, L"Drag and Drop your Old App...", true, L"Ctrl+O"},
        {ROLE_SYSTEM_PUSHBUTTON, L"Enable Visual Style...", true, L"Alt+E"},
        {ROLE_SYSTEM_PUSHBUTTON, L"Disable Visual Style...", true, L"Alt+D"},
        {ROLE_SYSTEM_TITLEBAR, L"Korvane Vextra", true, L""},
        {ROLE_SYSTEM_PUSHBUTTON, L"Exit", true, L""},
        {ROLE_SYSTEM_PUSHBUTTON, L"About Vextra", true, L"F1"},
        {ROLE_SYSTEM_PANE, L"About Vextra", false, L""},  // parked until About is pressed
    };
    const std::vector<Child> seen = walk(form);
    ASSERT_EQ(seen.size(), std::size(expected));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(platform::to_utf8(expected[i].name));
        EXPECT_EQ(seen[i].role(), expected[i].role);
        EXPECT_EQ(seen[i].name(), expected[i].name);
        EXPECT_EQ((seen[i].state() & STATE_SYSTEM_INVISIBLE) == 0, expected[i].shown);
        // Only a push button has a default action, and it is Windows' own word for a click.
        EXPECT_EQ(seen[i].default_action(), expected[i].role == ROLE_SYSTEM_PUSHBUTTON ? L"Press" : L"");
        EXPECT_EQ(seen[i].shortcut(), expected[i].shortcut);
    }
    BSTR value = nullptr;
    ASSERT_EQ(form->get_accValue(child_id(1), &value), S_OK);
    EXPECT_EQ(take(value), L"Select App..");
}

// A field that takes the focus is asked for through its own window: it answers as its entry in the
// form's object does, not as a nameless edit box.
TEST_F(Win32Accessibility, FieldsAnswerByTheirCaptions) {
    const struct {
        Control field;
        const wchar_t* name;
    } fields[] = {{Control::Text1, L"App FileName"}, {Control::Text2, L"Style Enabled"}};
    for (const auto& expected : fields) {
        SCOPED_TRACE(platform::to_utf8(expected.name));
        IAccessible* field = client(expected.field);
        ASSERT_NE(field, nullptr);
        const Child self{field, CHILDID_SELF};
        EXPECT_EQ(self.name(), expected.name);
        EXPECT_EQ(self.role(), ROLE_SYSTEM_TEXT);
        EXPECT_EQ(self.state() & (STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_INVISIBLE),
                  STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE);
        BSTR value = nullptr;
        ASSERT_EQ(field->get_accValue(self.self(), &value), S_OK);
        EXPECT_EQ(take(value), L"Select App..");
    }
}

TEST_F(Win32Accessibility, HotSpotsLieWhereTheirButtonsAreDrawn) {
    IAccessible* form = client(Control::Form1);
    RECT window{};
    GetWindowRect(view_->window(Control::Form1), &window);
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(form->accLocation(&left, &top, &width, &height, child_id(4)), S_OK);  // Enable
    EXPECT_EQ(std::vector<long>({left - window.left, top - window.top, width, height}),
              std::vector<long>({248, 336, 161, 49}));
    VARIANT hit{};
    ASSERT_EQ(form->accHitTest(left + width / 2, top + height / 2, &hit), S_OK);
    EXPECT_EQ(hit.vt, VT_I4);
    EXPECT_EQ(hit.lVal, 4);
    // The About button lies on the title strip, an object of its own.
    ASSERT_EQ(form->accHitTest(window.left + 529, window.top + 16, &hit), S_OK);
    ASSERT_EQ(hit.vt, VT_DISPATCH);
    IAccessible* strip = nullptr;
    hit.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&strip));
    hit.pdispVal->Release();
    ASSERT_NE(strip, nullptr);
    objects_.push_back(strip);
    VARIANT about{};
    ASSERT_EQ(strip->accHitTest(window.left + 529, window.top + 16, &about), S_OK);
    ASSERT_EQ(about.vt, VT_I4);
    EXPECT_EQ((Child{strip, about.lVal}.name()), L"About Vextra");
}

// Last, as it leaves the panel shown. A press is a click through the window's own entry point: Enable asks about the dropped program,
// and while its question is open a press of About waits like a click, so the panel stays parked.
TEST_F(Win32Accessibility, PressingEnableAsksAboutTheDroppedProgram) {
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring program = std::wstring(folder) + L"vextra-accessibility-old.exe";
    const HANDLE file = CreateFileW(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "MZ", 2, &written, nullptr));
    CloseHandle(file);
    view_->form().drop(Control::Label1, platform::to_utf8(program));
    ASSERT_EQ(view_->form().text2(), "No");

    const Child enable = find(L"Enable Visual Style...", ROLE_SYSTEM_PUSHBUTTON);
    const Child about = find(L"About Vextra", ROLE_SYSTEM_PUSHBUTTON);
    BoxWatch watch{view_->window(Control::Form1), [&] { about.holder()->accDoDefaultAction(about.self()); },
                   {}};
    watched = &watch;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, watch_box);
    EXPECT_EQ(enable.holder()->accDoDefaultAction(enable.self()), S_OK);
    EXPECT_EQ(watch.text, L"");  // the press returns before the box opens
    const bool answered = run_until([&] { return !watch.text.empty() && !view_->form().box_open(); });
    KillTimer(nullptr, timer);
    watched = nullptr;
    ASSERT_TRUE(answered);
    EXPECT_EQ(watch.text, L"Do you want to Enable visual style for vextra-accessibility-old.exe");
    EXPECT_FALSE(view_->form().timer1_enabled());
    EXPECT_EQ(GetFileAttributesW((program + L".manifest").c_str()), INVALID_FILE_ATTRIBUTES);

    // With no box open, About slides the panel in, and the panel shows.
    ASSERT_EQ(about.holder()->accDoDefaultAction(about.self()), S_OK);
    EXPECT_TRUE(run_until([&] { return view_->form().timer1_enabled(); }));
    EXPECT_EQ(find(L"About Vextra", ROLE_SYSTEM_PANE).state() & STATE_SYSTEM_INVISIBLE, 0);
    DeleteFileW(program.c_str());
}

}  // namespace
}  // namespace vextra::ui::win32
