// SPDX-License-Identifier: MIT
#include "formats/rich_text_box.h"

#include "formats/rtf_reader.h"

namespace vextra::formats {

RichTextBox::RichTextBox() : text_(rtf_plain_text(kInitialRtf).value_or(std::string())) {}

}  // namespace vextra::formats
