// SPDX-License-Identifier: MIT
#pragma once
// Target selection: a dropped file becomes the target when its name ends in "exe" or "EXE"; its
// name and whether it already has a manifest (the style status) are shown.

#include <optional>
#include <string>
#include <string_view>

#include "platform/dialogs.h"

namespace vextra::manifest {

inline constexpr std::string_view kSelectApp = "Select App..";
inline constexpr std::string_view kStatusYes = "Yes";
inline constexpr std::string_view kStatusNo = "No";
inline constexpr std::string_view kNotExecutable = " is not a Windows executeable File.";

// The attributes every manifest the program writes or finds is given: read-only, hidden, system.
inline constexpr unsigned kManifestAttributes = 7;

struct Selection {
    std::string applink;  // first file of the most recent drop, accepted or not
    std::string exelink;  // the target: the last accepted executable
    std::string file_name{kSelectApp};     // shown in Text1
    std::string style_status{kSelectApp};  // shown in Text2
};

// The target's manifest: "old.exe" has "old.exe.manifest".
std::string manifest_path(std::string_view target);

// The case-sensitive test on the last three characters alone ("notexe" passes, "a.Exe" does not).
bool has_executable_ending(std::string_view path);

// Handles a drop whose first file is `first_file` (nullopt: the drop carried no file list, and the
// previous dropped path is used again). Refuses a non-executable with a message box; otherwise
// makes it the target and probes its manifest, leaving an existing one read-only, hidden and
// system. Returns whether the drop was accepted.
bool select_target(Selection& selection, const std::optional<std::string>& first_file,
                   platform::Dialogs& dialogs);

}  // namespace vextra::manifest
