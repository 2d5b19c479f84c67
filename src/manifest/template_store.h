// SPDX-License-Identifier: MIT
#pragma once
// The manifest template: an RTF document whose plain text is the manifest, lightly coded and
// carrying a marker. It is read once at start-up into `manif`, which then holds the manifest text.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/rich_text_box.h"

namespace vextra::manifest {

inline constexpr std::string_view kTemplateFileName = "style.dll";
inline constexpr std::string_view kMarker = "|Please don't ,modify this file|";
// A larger file is not loaded (and not read past this size): a real template is a few KiB, and
// "style.dll" might be a link to a device that never ends.
inline constexpr std::uint64_t kTemplateSizeLimit = 16u << 20;

// One coded character: the ANSI code that stands in the template for `replacement`.
struct DecodePair {
    unsigned char code;
    std::string_view replacement;
};

// Codes 200 to 232, each standing for one of the 33 characters or line ends below. Templates are
// encoded with the same list.
inline constexpr std::array<DecodePair, 33> kDecodeList = {{
    {200, "<"},  {201, ">"},  {202, "/"},    {203, "\""}, {204, "."},  {205, "0"},  {206, "\r\n"},
    {207, "a"},  {208, "b"},  {209, "c"},    {210, "d"},  {211, "e"},  {212, "f"},  {213, "g"},
    {214, "h"},  {215, "i"},  {216, "j"},    {217, "k"},  {218, "l"},  {219, "m"},  {220, "n"},
    {221, "o"},  {222, "p"},  {223, "q"},    {224, "r"},  {225, "s"},  {226, "t"},  {227, "u"},
    {228, "v"},  {229, "w"},  {230, "x"},    {231, "y"},  {232, "z"},
}};

// Replaces every code of the list in `text` (UTF-8) by what it stands for.
void decode_text(std::string& text);

// Loads the template from `path` (by default the bare name, so from the working directory),
// strips the marker and decodes the text, leaving the result in `manif`. The marker and decode
// passes run even when the load fails; they then find nothing in the initial content.
// Returns whether the template itself loaded; when it did not, `why_not` (if given) receives the
// reason in words for the user: the system's, when the file cannot be read (missing, not allowed,
// not a regular file, over kTemplateSizeLimit), or that it is no whole RTF document.
bool load_template(formats::RichTextBox& manif, const std::string& path = std::string(kTemplateFileName),
                   std::string* why_not = nullptr);

// Empty when the manifest text in `manif` can be written as a manifest: one the loader takes
// (written_manifest_error in manifest_rule.h). Otherwise why not; a manifest the loader does not
// take stops its program from starting.
std::string manifest_text_error(const formats::RichTextBox& manif);

}  // namespace vextra::manifest
