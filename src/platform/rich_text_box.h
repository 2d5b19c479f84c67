// SPDX-License-Identifier: MIT
#pragma once
// The rich-text holder that keeps the manifest text: it loads RTF, gives and takes its content as
// plain text, and saves that text as a plain-text file. It is never shown.

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace vextra::platform {

class RichTextBox {
public:
    // The content a new control starts with: an RTF document whose text is the XML declaration
    // followed by a paragraph break.
    static constexpr std::string_view kInitialRtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 MS Sans Serif;}}\r\n"
        "\\viewkind4\\uc1\\pard\\lang1033\\f0\\fs17 "
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "\\par }\r\n";

    RichTextBox();

    // Replaces the content with the RTF document at `path`. A file that is missing, unreadable,
    // not a regular file, larger than `limit` bytes or not a whole RTF document leaves the content
    // as it was and returns false.
    bool load_rtf(const std::string& path, std::uint64_t limit);

    const std::string& text() const { return text_; }
    void set_text(std::string text) { text_ = std::move(text); }
    // Moves the text out, to be changed in place and set again; the box is empty meanwhile.
    std::string take_text() { return std::move(text_); }

    // Writes the content as plain text, replacing the file's content (see save_file).
    std::error_code save_text(const std::string& path) const;

private:
    std::string text_;
};

}  // namespace vextra::platform
