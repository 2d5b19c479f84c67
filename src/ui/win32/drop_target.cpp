// SPDX-License-Identifier: MIT
#include "ui/win32/drop_target.h"

#include <shellapi.h>

#include <utility>

#include "platform/utf16.h"

namespace vextra::ui::win32 {
namespace {

std::optional<std::string> first_file(IDataObject* data) {
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (!data || FAILED(data->GetData(&format, &medium))) return std::nullopt;
    std::optional<std::string> result;
    auto* drop = static_cast<HDROP>(medium.hGlobal);
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        std::wstring path(DragQueryFileW(drop, 0, nullptr, 0), L'\0');
        DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size() + 1));
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
