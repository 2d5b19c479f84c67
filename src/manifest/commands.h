// SPDX-License-Identifier: MIT
#pragma once
// Enable and Disable: write the manifest text beside the target, or delete it, after the user
// confirms. Each acts only on a target whose shown style status allows it, and on the target it
// named in its question (taken by value, whatever its caller's copy becomes meanwhile).

#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/rich_text_box.h"

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
// With the status "No": asks, and on Yes saves the manifest text and marks the manifest
// read-only, hidden and system. A program that carries its own manifest is not asked about: the
// file would change nothing, and a box says so. Without a usable template (one that loaded and decoded to a
// well-formed XML document) nothing is written: a manifest holding only the XML declaration, or
// anything else that is no XML document, would stop the program from starting.
void enable(std::string exelink, std::string_view style_status, const platform::RichTextBox& manif,
            bool template_usable, platform::Dialogs& dialogs);

// With the status "Yes": makes the manifest normal, asks, and on Yes deletes it; otherwise marks
// it read-only, hidden and system again.
void disable(std::string exelink, std::string_view style_status, platform::Dialogs& dialogs);

}  // namespace vextra::manifest
