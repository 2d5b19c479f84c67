// SPDX-License-Identifier: MIT
#include "platform/rich_text_box.h"

#include "platform/rtf_reader.h"

namespace vextra::platform {

RichTextBox::RichTextBox() : text_(rtf_plain_text(kInitialRtf).value_or(std::string())) {}

}  // namespace vextra::platform
