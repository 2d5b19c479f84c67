// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace vextra {

// The product's name: the window's title and the title of every message box.
inline constexpr std::string_view kProductName = "Korvane Vextra";

}  // namespace vextra
