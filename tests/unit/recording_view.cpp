// SPDX-License-Identifier: MIT
#include "recording_view.h"

#include <gtest/gtest.h>

namespace vextra::test {

int RecordingView::message_box(const std::string& prompt, int buttons, const std::string& title) {
    boxes.push_back({prompt, buttons, title});
    if (while_open) while_open(boxes.back());
    if (buttons != platform::buttons::kYesNoWarning) return 1;  // OK
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << prompt;
        return platform::answer::kNo;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace vextra::test
