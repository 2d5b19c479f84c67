// SPDX-License-Identifier: MIT
#pragma once
// Our own RTF reader: turns an RTF document into the plain text that a rich-edit control gives
// for it, which is what the template store and the manifest are made of.

#include <optional>
#include <string>
#include <string_view>

namespace vextra::formats {

// The document's plain text as UTF-8, paragraphs ended by CR LF (the last paragraph mark kept).
// nullopt when the bytes are not a whole RTF document: they do not begin with "{\rtf", or the
// groups are not all closed at the end. Linear in the input; never recurses on nesting.
std::optional<std::string> rtf_plain_text(std::string_view rtf);

}  // namespace vextra::formats
