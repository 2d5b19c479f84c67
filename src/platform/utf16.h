// SPDX-License-Identifier: MIT
#pragma once
// Text at the boundary with Windows' wide API: the program's text is UTF-8, Windows' is UTF-16.

#include <optional>
#include <string>
#include <string_view>

namespace vextra::platform {

// nullopt for bytes that are not UTF-8: they name no file and say nothing.
std::optional<std::wstring> to_utf16(std::string_view utf8);

// A lone surrogate, which Windows allows in a name, becomes U+FFFD.
std::string to_utf8(std::wstring_view utf16);

// nullopt for a lone surrogate, which UTF-8 cannot carry: where the text names a file, the U+FFFD
// standing in for it would name another one.
std::optional<std::string> to_exact_utf8(std::wstring_view utf16);

}  // namespace vextra::platform
