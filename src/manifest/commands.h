// SPDX-License-Identifier: MIT
#pragma once
// Enable and Disable: write the manifest text beside the target, or delete it, after the user
// confirms. Each acts only on a target whose shown style status allows it, and on the target it
// named in its question (taken by value, whatever its caller's copy becomes meanwhile).

#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "formats/rich_text_box.h"

namespace vextra::manifest {

inline constexpr std::string_view kEnablePrompt = "Do you want to Enable visual style for ";
inline constexpr std::string_view kDisablePrompt = "Do you want to Disable visual style for ";
inline constexpr std::string_view kTemplateMissing =
    "Cannot enable visual style: the template style.dll could not be loaded.";
inline constexpr std::string_view kEnableFailed = "Could not enable visual style for ";
inline constexpr std::string_view kDisableFailed = "Could not disable visual style for ";
inline constexpr std::string_view kCacheBefore = "The manifest of ";
inline constexpr std::string_view kCacheAfter =
    " was changed, but Windows may go on using the previous setting until the computer restarts: ";

// Windows keeps what it found of a program's manifest by the program's path and last-write time,
// so after a change the program's time is set to now (a failure there is reported, the manifest
// work stands).
//
// With the status "No": asks, and on Yes writes the manifest text as a new file (never replacing
// what came there since the drop) and marks the manifest read-only, hidden and system. A program
// that is not there (gone since the drop, or a link leading nowhere) gets no manifest: a box says
// why. A link's manifest goes beside the link's name, and the time renewed is that of the program
// it leads to. A program that carries its own manifest is not asked about: the
// file would change nothing, and a box says so. Without a usable template (one that loaded and decoded to a
// manifest Windows' loader takes) nothing is written: a manifest holding only the XML declaration, or
// anything else the loader refuses, would stop the program from starting.
void enable(std::string exelink, std::string_view style_status, const formats::RichTextBox& manif,
            bool template_usable, platform::Dialogs& dialogs);

// With the status "Yes": asks, and on Yes makes the manifest normal and deletes it; nothing changes
// before the answer, nor on No. A manifest that cannot be deleted keeps the attributes it had.
void disable(std::string exelink, std::string_view style_status, platform::Dialogs& dialogs);

}  // namespace vextra::manifest
