// SPDX-License-Identifier: MIT
#include "platform/rich_text_box.h"

#include "platform/files.h"
#include "platform/rtf_reader.h"

namespace vextra::platform {

RichTextBox::RichTextBox() : text_(rtf_plain_text(kInitialRtf).value_or(std::string())) {}

bool RichTextBox::load_rtf(const std::string& path, std::uint64_t limit) {
    std::string document;
    if (read_file(path, document, limit)) return false;
    auto text = rtf_plain_text(document);
    if (!text) return false;
    text_ = std::move(*text);
    return true;
}

std::error_code RichTextBox::save_text(const std::string& path) const { return save_file(path, text_); }

}  // namespace vextra::platform
