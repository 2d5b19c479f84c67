// SPDX-License-Identifier: MIT
// Names and paths as real disks hold them: each is dropped, enabled and disabled, and what the
// user is shown and what lands on disk is checked. What the system refuses (a name or path too
// long, a folder where the manifest would go) is said in a box and changes nothing.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "form1_fixture.h"

namespace vextra::ui {
namespace {

using platform::answer::kYes;
using platform::buttons::kOkWarning;
using test::Form1Test;
using test::kManifestText;
using test::read_whole_file;

TEST_F(Form1Test, OddNamesAreEnabledAndDisabledLikeAnyOther) {
    start();
    const std::string names[] = {
        "my old app.exe", "#1 tool.exe", "100%.exe", "it's \"quoted\".exe", "программа.exe", "控制.EXE",
        "bad\xFF\xFE.exe",                  // not UTF-8: Linux names are bytes
        std::string(242, 'n') + ".exe",     // the manifest's name is 255 bytes, the longest there is
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        view_.boxes.clear();
        const std::string program = app(name);
        drop_target(program, "No");
        EXPECT_EQ(view_.texts[Control::Text1], name);
        view_.answers = {kYes};
        form_->click(Control::Label2);
        EXPECT_EQ(read_whole_file(manifest(name)), kManifestText);
        drop_target(program, "Yes");
        view_.answers = {kYes};
        form_->click(Control::Label3);
        EXPECT_FALSE(platform::path_exists(manifest(name)));
        EXPECT_EQ(view_.boxes.size(), 2u) << "only the two questions";
    }
}

// Each case: a program that can be dropped but whose manifest cannot be written.
TEST_F(Form1Test, AManifestTheSystemRefusesIsReportedAndNothingChanges) {
    start();
    // The program's name leaves no room for ".manifest" within the 255 bytes of a name.
    const std::string long_name = std::string(251, 'l') + ".exe";
    const std::string long_named = app(long_name);
    // A folder stands where the manifest would go.
    const std::string beside_folder = app("folder.exe");
    std::filesystem::create_directory(manifest("folder.exe"));
    // A path longer than the system takes (4,096 bytes), reached folder by folder.
    std::string deep = apps_.path();
    int fd = open(deep.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 20; ++level) {
        const std::string folder(240, 'd');
        ASSERT_EQ(mkdirat(fd, folder.c_str(), 0755), 0);
        const int next = openat(fd, folder.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        deep += "/" + folder;
    }
    close(openat(fd, "deep.exe", O_WRONLY | O_CREAT, 0644));
    close(fd);
    deep += "/deep.exe";
    ASSERT_GT(deep.size(), 4096u);

    for (const std::string& program : {long_named, beside_folder, deep}) {
        SCOPED_TRACE(program.substr(0, 80));
        view_.boxes.clear();
        form_->drop(Control::Label1, program);
        ASSERT_EQ(form_->exelink(), program);
        EXPECT_EQ(form_->text2(), "No");
        view_.answers = {kYes};
        form_->click(Control::Label2);
        ASSERT_EQ(view_.boxes.size(), 2u);
        EXPECT_EQ(view_.boxes[1].buttons, kOkWarning);
        EXPECT_EQ(view_.boxes[1].prompt.rfind("Could not enable visual style for ", 0), 0u) << view_.boxes[1].prompt;
    }
    EXPECT_FALSE(platform::path_exists(manifest(long_name)));
    EXPECT_TRUE(std::filesystem::is_directory(manifest("folder.exe")));
    EXPECT_TRUE(std::filesystem::is_empty(manifest("folder.exe")));
}

// A path with a NUL byte in it (a drop's URL can encode one) names no file: the system would read
// it only up to the NUL, and "old.exe\0x.exe" would make the program its own manifest's place.
TEST_F(Form1Test, APathWithANulByteNamesNoFile) {
    start();
    const std::string program = app("old.exe");
    form_->drop(Control::Label1, program + std::string(1, '\0') + "x.exe");
    EXPECT_EQ(form_->exelink(), "");
    EXPECT_EQ(view_.boxes, (std::vector<test::MessageBoxCall>{{" is not a Windows executeable File.", kOkWarning, test::kTitle}}));
    view_.answers = {kYes};
    form_->click(Control::Label2);
    EXPECT_EQ(read_whole_file(program), "MZ");
}

// The program is gone between the drop and the click: the manifest is written where the program
// was (its folder is still there), and as the program's time cannot be renewed, the box says so;
// the name, looked up on disk as everywhere, is then empty.
TEST_F(Form1Test, AProgramDeletedAfterTheDropIsReported) {
    start();
    const std::string program = app("gone.exe");
    drop_target(program, "No");
    std::filesystem::remove(program);
    view_.answers = {kYes};
    form_->click(Control::Label2);
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1].prompt, "The manifest of  was changed, but Windows may go on using the previous setting "
                                     "until the computer restarts: No such file or directory");
    EXPECT_EQ(read_whole_file(manifest("gone.exe")), kManifestText);
}

}  // namespace
}  // namespace vextra::ui
