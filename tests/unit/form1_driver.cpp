// SPDX-License-Identifier: MIT
// The window's logic in a process of its own, for tests that run several windows at once on the
// same program. Each round drops PROGRAM and then enables or disables its visual style, as the
// status it shows allows, answering Yes. It reads its template style.dll from the working
// directory, prints every box that is not a question on a line of its own, and at the end the
// number of questions asked.
//
//   form1_driver PROGRAM ROUNDS
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "recording_view.h"
#include "ui/form1.h"

using vextra::platform::answer::kYes;
using vextra::platform::buttons::kYesNoWarning;
using vextra::ui::Control;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: form1_driver PROGRAM ROUNDS\n");
        return 2;
    }
    const std::string program = argv[1];
    const long rounds = std::strtol(argv[2], nullptr, 10);
    vextra::platform::keep_running_past_file_size_limit();
    vextra::test::RecordingView view;
    vextra::ui::Form1 form(view);
    form.load();
    for (long round = 0; round < rounds; ++round) {
        form.drop(Control::Label1, program);
        view.answers = {kYes};
        form.click(form.text2() == "No" ? Control::Label2 : Control::Label3);
    }
    int questions = 0;
    for (const auto& box : view.boxes) {
        if (box.buttons == kYesNoWarning)
            ++questions;
        else
            std::printf("%s\n", box.prompt.c_str());
    }
    std::printf("%d questions\n", questions);
    return 0;
}
