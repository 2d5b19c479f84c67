// SPDX-License-Identifier: MIT
#pragma once
// Names shown on a terminal, one per line: a file name may hold any byte but '/' and NUL, so a
// name printed as it is could end the line early, forge another line or send the terminal
// commands that move its cursor.

#include <string>
#include <string_view>

namespace vextra::formats {

// `bytes` as text that stays on its line and moves no cursor, with each byte recoverable: the
// control characters (C0, DEL, and the C1 controls U+0080 to U+009F) and every byte that is not
// part of valid UTF-8 are written as an escape, "\t", "\n", "\r", "\e" for ESC, else "\xHH" for
// each of their bytes (two hex digits, upper case); a backslash is written "\\". Everything else
// is kept as it is.
std::string printable(std::string_view bytes);

}  // namespace vextra::formats
