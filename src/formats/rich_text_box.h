// SPDX-License-Identifier: MIT
#pragma once
// The rich-text holder that keeps the manifest text: it starts with an RTF document of its own and
// gives and takes its content as plain text. The template store fills it from the template's RTF;
// Enable writes its text as the manifest. It is never shown.

#include <string>
#include <string_view>
#include <utility>

namespace vextra::formats {

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

    const std::string& text() const { return text_; }
    void set_text(std::string text) { text_ = std::move(text); }
    // Moves the text out, to be changed in place and set again; the box is empty meanwhile.
    std::string take_text() { return std::move(text_); }

private:
    std::string text_;
};

}  // namespace vextra::formats
