// SPDX-License-Identifier: MIT
#pragma once
// A COM interface pointer that is released when it goes.

namespace vextra::platform {

template <typename Interface>
struct Released {
    Interface* pointer = nullptr;
    Released() = default;
    explicit Released(Interface* p) : pointer(p) {}
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    ~Released() {
        if (pointer) pointer->Release();
    }
};

}  // namespace vextra::platform
