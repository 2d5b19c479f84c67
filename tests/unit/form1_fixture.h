// SPDX-License-Identifier: MIT
#pragma once
// The window's logic on real files: a Form1 over a recording view, started in a folder of its own
// with or without a template, and a folder of programs to drop on it; and the boxes it shows.
// Tests of the window live in this namespace, so the names below are theirs too.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/files.h"
#include "recording_view.h"
#include "temp_dir.h"
#include "ui/form1.h"

namespace vextra::test {

using platform::answer::kNo;
using platform::answer::kYes;
using platform::buttons::kOkWarning;
using platform::buttons::kYesNoWarning;
using ui::Control;
using ui::Form1;
using ui::MouseAction;

// The manifest text that data/template/style.dll holds.
inline constexpr const char* kManifestText =
    "<?xml version=\"1.0\"?>\r\n<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"/>\r\n";
inline constexpr const char* kTitle = "Korvane Vextra";
inline constexpr const char* kNoTemplate = "Cannot enable visual style: the template style.dll could not be loaded.";

// The window's boxes: its two questions, about the program's name, and a warning.
inline MessageBoxCall enable_question(const std::string& name) {
    return {"Do you want to Enable visual style for " + name, kYesNoWarning, kTitle};
}
inline MessageBoxCall disable_question(const std::string& name) {
    return {"Do you want to Disable visual style for " + name, kYesNoWarning, kTitle};
}
inline MessageBoxCall warning(const std::string& prompt) { return {prompt, kOkWarning, kTitle}; }

inline bool starts_with(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

inline unsigned attributes(const std::string& path) {
    unsigned value = 0;
    return platform::get_attributes(path, value) ? 0 : value;
}

class Form1Test : public ::testing::Test {
protected:
    // Starts the window with `style.dll` in its working directory, or without one.
    void start(bool with_template = true) {
        if (with_template) work_.write("style.dll", read_whole_file(VEXTRA_TEST_DATA_DIR "/template/style.dll"));
        start_here();
    }

    // Starts the window with whatever its working directory holds.
    void start_here() {
        WorkingDirectory cwd(work_.path());
        form_ = std::make_unique<Form1>(view_);
        form_->load();
    }

    std::string app(const std::string& name = "app.exe") { return apps_.write(name, "MZ"); }
    std::string manifest(const std::string& name = "app.exe") { return apps_.file(name + ".manifest"); }

    // Drops `path` and checks the drop was taken as a target with the given status.
    void drop_target(const std::string& path, const std::string& status) {
        form_->drop(Control::Label1, path);
        ASSERT_EQ(form_->exelink(), path);
        ASSERT_EQ(form_->text2(), status);
    }

    // Starts the window with whatever its working directory holds, and checks that Enable refuses
    // its template: the one box says so and no manifest is written.
    void expect_template_refused() {
        view_.boxes.clear();
        start_here();
        drop_target(app(), "No");
        form_->click(Control::Label2);
        EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{warning(kNoTemplate)}));
        EXPECT_FALSE(platform::path_exists(manifest()));
    }

    TempDir apps_, work_;
    RecordingView view_;
    std::unique_ptr<Form1> form_;
};

}  // namespace vextra::test
