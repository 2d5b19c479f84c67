// SPDX-License-Identifier: MIT
#pragma once
// An OLE drop target that takes any data where `accepts` says so and refuses it elsewhere, and
// hands over the first file of a file drop (nullopt when the drop carries no file list).

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <optional>
#include <string>

namespace vextra::ui::win32 {

class DropTarget final : public IDropTarget {
public:
    // Points are in screen pixels.
    using Accepts = std::function<bool(POINT)>;
    using Dropped = std::function<void(POINT, const std::optional<std::string>& first_file)>;

    DropTarget(Accepts accepts, Dropped dropped);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL at, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;

private:
    ~DropTarget() = default;
    DWORD effect_at(POINTL at, DWORD allowed) const;

    LONG references_ = 1;
    Accepts accepts_;
    Dropped dropped_;
};

}  // namespace vextra::ui::win32
