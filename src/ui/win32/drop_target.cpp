// SPDX-License-Identifier: MIT
#include "ui/win32/drop_target.h"

#include <shellapi.h>

#include <utility>

#include "platform/utf16.h"

namespace vextra::ui::win32 {
namespace {

// The shell, whose DragQueryFileW reads a drop's file list, is loaded with the first drop rather
// than with the program: the program needs nothing else of it, and loading it costs start-up time.
// It is one of the system's known DLLs, always loaded from the system folder.
using DragQueryFileFunction = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);

DragQueryFileFunction drag_query_file() {
    static const auto function = [] {
        const HMODULE shell = LoadLibraryW(L"shell32.dll");
        return reinterpret_cast<DragQueryFileFunction>(
            reinterpret_cast<void (*)()>(shell ? GetProcAddress(shell, "DragQueryFileW") : nullptr));
    }();
    return function;
}

std::optional<std::string> first_file(IDataObject* data) {
    const DragQueryFileFunction query = drag_query_file();
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (!query || !data || FAILED(data->GetData(&format, &medium))) return std::nullopt;
    std::optional<std::string> result;
    auto* drop = static_cast<HDROP>(medium.hGlobal);
    if (query(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        std::wstring path(query(drop, 0, nullptr, 0), L'\0');
        query(drop, 0, path.data(), static_cast<UINT>(path.size() + 1));
        result = platform::to_utf8(path);
    }
    ReleaseStgMedium(&medium);
    return result;
}

}  // namespace

DropTarget::DropTarget(Accepts accepts, Dropped dropped) : accepts_(std::move(accepts)), dropped_(std::move(dropped)) {}

HRESULT DropTarget::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DropTarget::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG DropTarget::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

// Any data is welcome over the target; the source decides among the effects it offers.
DWORD DropTarget::effect_at(POINTL at, DWORD allowed) const {
    if (!accepts_(POINT{at.x, at.y})) return DROPEFFECT_NONE;
    for (DWORD effect : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
        if (allowed & effect) return effect;
    return DROPEFFECT_NONE;
}

HRESULT DropTarget::DragEnter(IDataObject*, DWORD, POINTL at, DWORD* effect) {
    *effect = effect_at(at, *effect);
    return S_OK;
}

HRESULT DropTarget::DragOver(DWORD, POINTL at, DWORD* effect) {
    *effect = effect_at(at, *effect);
    return S_OK;
}

HRESULT DropTarget::DragLeave() { return S_OK; }

HRESULT DropTarget::Drop(IDataObject* data, DWORD, POINTL at, DWORD* effect) {
    *effect = effect_at(at, *effect);
    if (*effect != DROPEFFECT_NONE) dropped_(POINT{at.x, at.y}, first_file(data));
    return S_OK;
}

}  // namespace vextra::ui::win32
