// SPDX-License-Identifier: MIT
#pragma once
// The two contents the save tests alternate: of sizes that tell any part of one from the whole of
// either.

#include <string>

namespace vextra::test {

inline const std::string kLongContent(100 * 1024, 'a');
inline const std::string kShortContent = "bb\n";

}  // namespace vextra::test
