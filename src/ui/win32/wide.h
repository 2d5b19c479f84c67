#pragma once
// The window system speaks UTF-16; the program speaks UTF-8.

#include <string>
#include <string_view>

namespace vextra::ui::win32 {

std::wstring to_wide(std::string_view text);
std::string to_utf8(std::wstring_view text);

}  // namespace vextra::ui::win32
