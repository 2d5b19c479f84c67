// SPDX-License-Identifier: MIT
#pragma once
// Program names that both Linux and Windows allow and that trip up code which quotes, splits,
// escapes, percent-decodes or converts names.

#include <string>
#include <vector>

namespace vextra::test {

inline const std::vector<std::string> kOddNamesEverywhere = {
    "my old app.exe",
    " leading and trailing spaces .exe",
    "#1 tool.exe",
    "100%.exe",
    "%41%2F%00.exe",  // reads like a URL's escapes
    "it's.exe",
    "a;b=c,d&e.exe",
    "[x]{y}(z)!@$^~+.exe",
    "\u043F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u0430.exe",  // Cyrillic
    "\u63A7\u5236.EXE",                                            // CJK
    "\U0001F600 smile.exe",  // beyond 16 bits: a surrogate pair on Windows
};

}  // namespace vextra::test
