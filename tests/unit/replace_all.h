// SPDX-License-Identifier: MIT
#pragma once
// Plain text replacement for test expectations: every occurrence of `searched` replaced by
// `replacement`, scanning from the start, what is put in not searched again.

#include <string>
#include <string_view>

namespace vextra::test {

inline std::string replace_all(std::string_view text, std::string_view searched, std::string_view replacement) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t hit; (hit = text.find(searched, from)) != std::string_view::npos; from = hit + searched.size()) {
        out.append(text, from, hit - from);
        out.append(replacement);
    }
    out.append(text, from);
    return out;
}

}  // namespace vextra::test
