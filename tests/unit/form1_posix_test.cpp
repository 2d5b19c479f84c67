// SPDX-License-Identifier: MIT
// The window's logic on what a real Linux disk holds: links and folders where a manifest would be,
// FIFOs and devices as the template, and folders an ordinary user may not write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "file_snapshot.h"
#include "form1_fixture.h"

namespace vextra::ui {
namespace {

using platform::answer::kNo;
using platform::buttons::kOkWarning;
using platform::buttons::kYesNoWarning;
using platform::answer::kYes;
using test::Form1Test;
using test::kTitle;
using test::MessageBoxCall;
using test::read_whole_file;

constexpr const char* kNoTemplate = "Cannot enable visual style: the template style.dll could not be loaded.";

using test::is_link;
using test::Snapshot;

TEST_F(Form1Test, TheWindowOpensWhateverStyleDllIs) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> make;
    };
    const Case cases[] = {
        {"a FIFO", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }},
        {"a directory", [](const std::string& path) { std::filesystem::create_directory(path); }},
        {"a link to a device that never ends",
         [](const std::string& path) { ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view_.boxes.clear();
        std::filesystem::remove_all(work_.file("style.dll"));
        c.make(work_.file("style.dll"));
        start_here();  // returns at once: nothing blocks or reads without end
        drop_target(app(), "No");
        form_->label2_click();
        EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{{kNoTemplate, kOkWarning, kTitle}}));
        EXPECT_FALSE(platform::path_exists(manifest()));
    }
}

// A link at the manifest path exists, so the status is "Yes"; it is never followed: Disable
// removes the link alone, and no step changes what it points to.
TEST_F(Form1Test, ALinkAtTheManifestPathChangesNothingItPointsTo) {
    start();
    struct Case {
        const char* name;
        std::function<std::string()> make_target;
    };
    const Case cases[] = {
        {"a file of the user's", [&] { return apps_.write("notes.txt", "mine"); }},
        {"a read-only file",
         [&] {
             const std::string path = apps_.write("ro.txt", "kept");
             chmod(path.c_str(), 0444);
             return path;
         }},
        {"nothing (dangling)", [&] { return apps_.file("missing.txt"); }},
        {"a directory",
         [&] {
             std::filesystem::create_directories(apps_.file("folder"));
             return apps_.file("folder");
         }},
        {"the executable itself", [&] { return app(); }},
    };
    for (const auto& c : cases) {
        for (int answer : {kNo, kYes}) {
            SCOPED_TRACE(std::string(c.name) + (answer == kYes ? ", Disable answered Yes" : ", Disable answered No"));
            const std::string exe = app();
            const std::string target = c.make_target();
            std::filesystem::remove(manifest());
            ASSERT_EQ(symlink(target.c_str(), manifest().c_str()), 0);
            const Snapshot before = Snapshot::of(target);

            drop_target(exe, "Yes");
            EXPECT_EQ(Snapshot::of(target), before);
            view_.boxes.clear();
            form_->label2_click();  // status "Yes": Enable does nothing
            EXPECT_TRUE(view_.boxes.empty());

            view_.answers = {answer};
            form_->label3_click();
            EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{
                                       {"Do you want to Disable visual style for app.exe", kYesNoWarning, kTitle}}));
            EXPECT_EQ(is_link(manifest()), answer == kNo);
            EXPECT_EQ(Snapshot::of(target), before);
        }
    }
}

// A link that appears after the drop is replaced by the manifest itself.
TEST_F(Form1Test, EnableReplacesALinkWithTheManifest) {
    start();
    const std::string elsewhere = apps_.write("notes.txt", "mine");
    const Snapshot before = Snapshot::of(elsewhere);
    drop_target(app(), "No");
    ASSERT_EQ(symlink(elsewhere.c_str(), manifest().c_str()), 0);
    view_.answers = {kYes};
    form_->label2_click();
    EXPECT_EQ(view_.boxes.size(), 1u);
    EXPECT_FALSE(is_link(manifest()));
    EXPECT_EQ(read_whole_file(manifest()), test::kManifestText);
    EXPECT_EQ(test::attributes(manifest()), 0x27u);
    EXPECT_EQ(Snapshot::of(elsewhere), before);
}

TEST_F(Form1Test, AFolderAtTheManifestPathIsNoManifest) {
    start();
    std::filesystem::create_directory(manifest());
    const Snapshot before = Snapshot::of(manifest());
    drop_target(app(), "No");
    EXPECT_EQ(Snapshot::of(manifest()), before);
    view_.answers = {kYes};
    form_->label2_click();
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1], (MessageBoxCall{"Could not enable visual style for app.exe: " +
                                                  platform::error_text(std::make_error_code(std::errc::is_a_directory)),
                                              kOkWarning, kTitle}));
    EXPECT_EQ(Snapshot::of(manifest()), before);
}

// A program in a folder the user may not write (a system folder, a locked share): the manifest
// cannot be written, and the window says so with the system's words.
TEST_F(Form1Test, EnableInAFolderTheUserMayNotWriteSaysSo) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into any folder; the unprivileged run of this suite checks this";
    start();
    std::filesystem::create_directory(apps_.file("locked"));
    const std::string exe = apps_.write("locked/app.exe", "MZ");
    ASSERT_EQ(chmod(apps_.file("locked").c_str(), 0555), 0);
    drop_target(exe, "No");
    view_.answers = {kYes};
    form_->label2_click();
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1], (MessageBoxCall{"Could not enable visual style for app.exe: Permission denied", kOkWarning, kTitle}));
    EXPECT_FALSE(platform::path_exists(exe + ".manifest"));
}

}  // namespace
}  // namespace vextra::ui
