// SPDX-License-Identifier: MIT
#pragma once
// Where the running program's own file lies, so that files shipped beside it are found wherever
// it was started from; and the folders the file chooser starts in.

#include <string>
#include <string_view>
#include <vector>

namespace vextra::platform {

// The folder of the running executable, without a trailing separator; empty when the system does
// not say.
std::string program_folder();

// Where a file shipped with the program may be, in the order to look: beside the executable, and
// on Linux then in the data folder of the prefix it is installed to (bin/ and share/vextra/ side
// by side). None when the system does not say where the executable is.
std::vector<std::string> shipped_file_paths(std::string_view name);

// The user's home folder (Linux: $HOME, else the password database's; Windows: the profile
// folder); empty when the system does not say.
std::string home_folder();

// The folder that holds the file at the full path `path`; empty when `path` names none.
std::string containing_folder(std::string_view path);

}  // namespace vextra::platform
