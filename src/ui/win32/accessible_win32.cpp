// SPDX-License-Identifier: MIT
#include "ui/win32/accessible_win32.h"

#include <commctrl.h>
#include <oleacc.h>

#include <optional>
#include <vector>

#include "platform/utf16.h"
#include "ui/accessibility.h"
#include "ui/layout.h"
#include "ui/win32/form_view_win32.h"

namespace vextra::ui::win32 {
namespace {

LONG system_role(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::Window: return ROLE_SYSTEM_CLIENT;  // the system's window object holds it
        case AccessibleRole::TitleBar: return ROLE_SYSTEM_TITLEBAR;
        case AccessibleRole::Panel: return ROLE_SYSTEM_PANE;
        case AccessibleRole::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
        case AccessibleRole::TextField: return ROLE_SYSTEM_TEXT;
        case AccessibleRole::StaticText: break;
    }
    return ROLE_SYSTEM_STATICTEXT;
}

// The default action of a push button, in the words of Windows' own.
constexpr std::wstring_view kPress = L"Press";

IAccessible* create_object(Win32FormView& view, Control owner);

// The client area of one control's window (the form, a picture box, a field). Its children are
// addressed by their place in accessible_children (from 1); those that are containers themselves
// are objects of their own. The system's object for the same client area answers for what lies
// outside it (its parent, its siblings).
class ClientObject final : public IAccessible {
public:
    ClientObject(Win32FormView& view, Control owner, IAccessible* standard)
        : view_(view), owner_(owner), hwnd_(view.window(owner)), standard_(standard),
          children_(accessible_children(owner)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(IAccessible))
            return E_NOINTERFACE;
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // Screen readers call IAccessible directly; there is no type information to script it by.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return alive() ? standard_->get_accParent(parent) : CO_E_OBJNOTCONNECTED;
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<long>(children_.size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        const std::optional<Control> id = target(child);
        if (!id || *id == owner_) return E_INVALIDARG;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        if (control(*id).kind != Kind::PictureBox) return S_FALSE;  // a simple element, answered here
        *object = create_object(view_, *id);
        return *object ? S_OK : E_FAIL;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        const std::optional<Control> id = target(child);
        return id ? text(accessible(*id)->name, name) : E_INVALIDARG;
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        const std::optional<Control> id = target(child);
        if (!id) return E_INVALIDARG;
        if (accessible(*id)->role != AccessibleRole::TextField) return DISP_E_MEMBERNOTFOUND;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        const HWND field = view_.window(*id);
        std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
        shown.resize(static_cast<std::size_t>(GetWindowTextW(field, shown.data(), static_cast<int>(shown.size()))));
        *value = SysAllocString(shown.c_str());
        return *value ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* description) override { return none(description); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override { return none(help); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        const std::optional<Control> id = target(child);
        if (!id) return E_INVALIDARG;
        const std::string keys = accessible_shortcut(*id);
        return keys.empty() ? none(shortcut) : text(keys, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        if (topic) *topic = 0;
        return none(file);
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        const std::optional<Control> id = target(child);
        if (!id) return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = system_role(accessible(*id)->role);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        const std::optional<Control> id = target(child);
        if (!id) return E_INVALIDARG;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        LONG flags = view_.shown(*id) ? 0 : STATE_SYSTEM_INVISIBLE;
        if (const HWND own = view_.window(*id); own && *id != Control::Form1) {
            flags |= STATE_SYSTEM_FOCUSABLE;
            if (GetFocus() == own) flags |= STATE_SYSTEM_FOCUSED;
        }
        if (accessible(*id)->role == AccessibleRole::TextField) flags |= STATE_SYSTEM_READONLY;
        state->vt = VT_I4;
        state->lVal = flags;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focused) override {
        if (!focused) return E_POINTER;
        focused->vt = VT_EMPTY;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        const HWND focus = GetFocus();
        if (focus == hwnd_) return self(focused);
        for (std::size_t i = 0; i < children_.size(); ++i)
            if (view_.window(children_[i]) == focus) return child_variant(i, focused);
        return S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selected) override {
        if (!selected) return E_POINTER;
        selected->vt = VT_EMPTY;
        return S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        const std::optional<Control> id = target(child);
        if (!id) return E_INVALIDARG;
        if (accessible(*id)->role != AccessibleRole::PushButton) return none(action);
        return text(kPress, action);
    }

    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }

    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        const std::optional<Control> id = target(child);
        if (!id) return E_INVALIDARG;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        const RECT r = view_.screen_rect(*id);
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        end->vt = VT_EMPTY;
        const std::optional<Control> id = target(start);
        if (!id) return E_INVALIDARG;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        const long count = static_cast<long>(children_.size());
        const long from = start.lVal;  // 0 for this object itself
        long to = 0;
        if (from == CHILDID_SELF && direction == NAVDIR_FIRSTCHILD) to = 1;
        else if (from == CHILDID_SELF && direction == NAVDIR_LASTCHILD) to = count;
        else if (from == CHILDID_SELF) return standard_->accNavigate(direction, start, end);
        else if (direction == NAVDIR_NEXT) to = from + 1;
        else if (direction == NAVDIR_PREVIOUS) to = from - 1;
        else return DISP_E_MEMBERNOTFOUND;
        if (to < 1 || to > count) return S_FALSE;
        return child_variant(static_cast<std::size_t>(to - 1), end);
    }

    // The child under a point of the screen: through the window's own hit-testing, so that what
    // covers what (the shown panel, the title strip) is as a click finds it.
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* found) override {
        if (!found) return E_POINTER;
        found->vt = VT_EMPTY;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        RECT area = view_.screen_rect(owner_);
        if (!PtInRect(&area, POINT{x, y})) return S_FALSE;
        Control at = view_.control_at_screen(POINT{x, y});
        while (at != owner_ && control(at).container != owner_) {
            if (control(at).container == at) return S_FALSE;  // the form, and not within this object
            at = control(at).container;
        }
        for (std::size_t i = 0; i < children_.size(); ++i)
            if (children_[i] == at) return child_variant(i, found);
        return self(found);
    }

    // A press of a hot spot is a click on it, through the same entry point.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        const std::optional<Control> id = target(child);
        if (!id) return E_INVALIDARG;
        if (accessible(*id)->role != AccessibleRole::PushButton) return DISP_E_MEMBERNOTFOUND;
        if (!alive()) return CO_E_OBJNOTCONNECTED;
        return PostMessageW(view_.window(Control::Form1), kAccessiblePressMessage, static_cast<WPARAM>(*id), 0)
                   ? S_OK
                   : HRESULT_FROM_WIN32(GetLastError());
    }

    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~ClientObject() { standard_->Release(); }

    // The window goes with the view; an object a screen reader still holds then answers nothing.
    bool alive() const { return IsWindow(hwnd_) != FALSE; }

    std::optional<Control> target(const VARIANT& child) const {
        if (child.vt != VT_I4 || child.lVal < 0 || child.lVal > static_cast<long>(children_.size()))
            return std::nullopt;
        if (child.lVal == CHILDID_SELF) return owner_;
        return children_[static_cast<std::size_t>(child.lVal - 1)];
    }

    HRESULT child_variant(std::size_t index, VARIANT* out) const {
        const Control id = children_[index];
        if (control(id).kind == Kind::PictureBox) {
            out->vt = VT_DISPATCH;
            out->pdispVal = create_object(view_, id);
            return out->pdispVal ? S_OK : E_FAIL;
        }
        out->vt = VT_I4;
        out->lVal = static_cast<long>(index + 1);
        return S_OK;
    }

    static HRESULT self(VARIANT* out) {
        out->vt = VT_I4;
        out->lVal = CHILDID_SELF;
        return S_OK;
    }

    static HRESULT none(BSTR* out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        return S_FALSE;
    }

    static HRESULT text(std::wstring_view shown, BSTR* out) {
        if (!out) return E_POINTER;
        *out = SysAllocString(std::wstring(shown).c_str());
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    static HRESULT text(std::string_view shown, BSTR* out) {
        return text(platform::to_utf16(shown).value_or(std::wstring()), out);
    }

    LONG references_ = 1;
    Win32FormView& view_;
    const Control owner_;
    const HWND hwnd_;
    IAccessible* const standard_;
    const std::vector<Control> children_;
};

IAccessible* create_object(Win32FormView& view, Control owner) {
    IAccessible* standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(view.window(owner), OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&standard))))
        return nullptr;
    return new ClientObject(view, owner, standard);
}

}  // namespace

LRESULT answer_get_object(Win32FormView& view, Control owner, WPARAM wparam, LPARAM lparam) {
    // Some callers sign-extend the object's identifier, some do not.
    if (static_cast<DWORD>(lparam) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
    IAccessible* object = create_object(view, owner);
    if (!object) return 0;
    const LRESULT answer = LresultFromObject(__uuidof(IAccessible), wparam, object);
    object->Release();
    return answer > 0 ? answer : 0;
}

namespace {

LRESULT CALLBACK field_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR field,
                                 DWORD_PTR view) {
    if (message == WM_GETOBJECT)
        if (const LRESULT answer =
                answer_get_object(*reinterpret_cast<Win32FormView*>(view), static_cast<Control>(field), wparam, lparam))
            return answer;
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, field_procedure, field);
    return DefSubclassProc(hwnd, message, wparam, lparam);
}

}  // namespace

void answer_for_field(Win32FormView& view, Control field) {
    SetWindowSubclass(view.window(field), field_procedure, static_cast<UINT_PTR>(field),
                      reinterpret_cast<DWORD_PTR>(&view));
}

bool Win32FormView::shown(Control id) const {
    if (const HWND own = window(id)) return IsWindowVisible(own) != FALSE;
    return visible(id) && IsWindowVisible(window(control(id).container));
}

RECT Win32FormView::screen_rect(Control id) const {
    RECT r{};
    if (const HWND own = window(id)) {
        GetWindowRect(own, &r);
        return r;
    }
    r = bounds(id);
    MapWindowPoints(window(control(id).container), nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace vextra::ui::win32
