// SPDX-License-Identifier: MIT
// The executables' load configuration. Its one setting of ours, DependentLoadFlags, has Windows 10
// (1607) and later look for the DLLs that our imports import in the system folder only, never in
// the program's own: a DLL planted beside a program downloaded into a shared folder is not loaded
// while the imports are resolved, before any code of ours could call SetDefaultDllDirectories.
// MinGW's headers still call the field by its old name, Reserved1. The loader reads the structure
// before any code runs, so it must be constant-initialised: a constexpr initialiser guarantees it.
#include <windows.h>

namespace {
constexpr IMAGE_LOAD_CONFIG_DIRECTORY system_folder_dependencies() {
    IMAGE_LOAD_CONFIG_DIRECTORY config{};
    config.Size = sizeof config;
    config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
    return config;
}
}  // namespace

extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = system_folder_dependencies();
