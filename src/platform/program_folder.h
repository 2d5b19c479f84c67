// SPDX-License-Identifier: MIT
#pragma once
// Where the running program's own file lies, so that files shipped beside it are found wherever
// it was started from.

#include <string>

namespace vextra::platform {

// The folder of the running executable, without a trailing separator; empty when the system does
// not say.
std::string program_folder();

}  // namespace vextra::platform
