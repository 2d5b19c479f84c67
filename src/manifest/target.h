// SPDX-License-Identifier: MIT
#pragma once
// Target selection: a dropped file becomes the target when its name ends in "exe" or "EXE"; its
// name and whether it already has a manifest (the style status) are shown.

#include <optional>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/files.h"

namespace vextra::manifest {

inline constexpr std::string_view kSelectApp = "Select App..";
inline constexpr std::string_view kStatusYes = "Yes";
inline constexpr std::string_view kStatusNo = "No";
inline constexpr std::string_view kNotExecutable = " is not a Windows executeable File.";

// The attributes every manifest the program writes or finds is given: read-only, hidden, system.
inline constexpr unsigned kManifestAttributes =
    platform::attribute::kReadOnly | platform::attribute::kHidden | platform::attribute::kSystem;

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

// What a drop of the non-executable `path` is refused with.
std::string not_executable_message(const std::string& path);

// The style status of the target `exelink`: "Yes" whenever anything at all is at its manifest path
// (whatever its attributes, its owner or its kind: a file, a link, a folder), since a program
// must never be told it has no manifest when one is there; "No" when nothing is. It only looks.
std::string_view style_status_of(const std::string& exelink);

// Handles a drop whose first file is `first_file` (nullopt: the drop carried no file list, and the
// previous dropped path is used again). Refuses a non-executable with a message box; otherwise
// makes it the target and shows its style status, leaving an existing manifest read-only, hidden
// and system where the system lets it (one that cannot be changed is still reported). Returns
// whether the drop was accepted.
bool select_target(Selection& selection, const std::optional<std::string>& first_file,
                   platform::Dialogs& dialogs);

}  // namespace vextra::manifest
