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
#include "inode_flags.h"

namespace vextra::test {
namespace {



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
        std::filesystem::remove_all(work_.file("style.dll"));
        c.make(work_.file("style.dll"));
        expect_template_refused();  // starts at once: nothing blocks or reads without end
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
            form_->click(Control::Label2);  // status "Yes": Enable does nothing
            EXPECT_TRUE(view_.boxes.empty());

            view_.answers = {answer};
            form_->click(Control::Label3);
            EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{
                                       disable_question("app.exe")}));
            EXPECT_EQ(is_link(manifest()), answer == kNo);
            EXPECT_EQ(Snapshot::of(target), before);
        }
    }
}

// A link that appears after the drop is someone else's: Enable leaves it, and what it leads to.
TEST_F(Form1Test, EnableLeavesALinkThatCameAfterTheDrop) {
    start();
    const std::string elsewhere = apps_.write("notes.txt", "mine");
    const Snapshot before = Snapshot::of(elsewhere);
    drop_target(app(), "No");
    ASSERT_EQ(symlink(elsewhere.c_str(), manifest().c_str()), 0);
    view_.answers = {kYes};
    form_->click(Control::Label2);
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1].prompt,
              "Could not enable visual style for app.exe: another program changed the manifest meanwhile");
    EXPECT_TRUE(is_link(manifest()));
    EXPECT_EQ(Snapshot::of(elsewhere), before);
}

// A folder at the manifest path is an entry there: the status is "Yes", so Enable writes nothing,
// and Disable says why it cannot remove it.
TEST_F(Form1Test, AFolderAtTheManifestPathIsReportedAndStays) {
    start();
    std::filesystem::create_directory(manifest());
    const Snapshot before = Snapshot::of(manifest());
    drop_target(app(), "Yes");
    form_->click(Control::Label2);
    EXPECT_TRUE(view_.boxes.empty());
    view_.answers = {kYes};
    form_->click(Control::Label3);
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1], warning("Could not disable visual style for app.exe: " +
                                                  platform::error_text(std::make_error_code(std::errc::is_a_directory))));
    EXPECT_EQ(Snapshot::of(manifest()), before);
}

// A manifest whose attributes cannot be changed is a manifest all the same: "Yes", whatever they
// are, so Enable never writes over it; Disable says why it stays, and it keeps what it had.
TEST_F(Form1Test, AManifestWhoseAttributesCannotChangeIsStillThere) {
    start();
    // Wine hides a name that starts with a dot, and no attribute can show it.
    const std::string dotted = app(".app.exe");
    platform::save_file(dotted + ".manifest", "theirs");
    drop_target(dotted, "Yes");
    EXPECT_EQ(read_whole_file(dotted + ".manifest"), "theirs");

    if (geteuid() != 0) GTEST_SKIP() << "only root may make a file immutable; the run as root checks the rest";
    const std::string locked = app("locked.exe");
    ASSERT_FALSE(platform::save_file(manifest("locked.exe"), "theirs"));
    ASSERT_FALSE(platform::set_attributes(manifest("locked.exe"), 6));  // hidden, system, writable
    ASSERT_FALSE(change_inode_flag(manifest("locked.exe"), FS_IMMUTABLE_FL, true));
    const Snapshot before = Snapshot::of(manifest("locked.exe"));
    drop_target(locked, "Yes");
    view_.boxes.clear();
    form_->click(Control::Label2);
    EXPECT_TRUE(view_.boxes.empty()) << "Enable acts only on \"No\"";
    view_.answers = {kYes};
    form_->click(Control::Label3);
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1].prompt, "Could not disable visual style for locked.exe: " +
                                         platform::error_text(std::make_error_code(std::errc::operation_not_permitted)));
    EXPECT_EQ(Snapshot::of(manifest("locked.exe")), before);
    change_inode_flag(manifest("locked.exe"), FS_IMMUTABLE_FL, false);
}

// A manifest that cannot be deleted keeps the attributes it had: the folder may not be written.
TEST_F(Form1Test, AManifestThatStaysKeepsItsAttributes) {
    if (geteuid() == 0) GTEST_SKIP() << "root deletes in any folder; the unprivileged run of this suite checks this";
    start();
    std::filesystem::create_directory(apps_.file("locked"));
    const std::string exe = apps_.write("locked/app.exe", "MZ");
    platform::save_file(exe + ".manifest", "x");
    drop_target(exe, "Yes");
    ASSERT_EQ(chmod(apps_.file("locked").c_str(), 0555), 0);
    view_.answers = {kYes};
    form_->click(Control::Label3);
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1].prompt, "Could not disable visual style for app.exe: Permission denied");
    EXPECT_EQ(attributes(exe + ".manifest"), 0x27u);
    chmod(apps_.file("locked").c_str(), 0755);
}

// The program's time is that of the file a link leads to; where it cannot be set (another user's
// program), the box says so by the program's name, and the manifest stays.
TEST_F(Form1Test, ATimeThatCannotBeSetIsReportedAndTheManifestStays) {
    if (geteuid() == 0) GTEST_SKIP() << "root may set any file's time; the unprivileged run of this suite checks this";
    start();
    const std::string program = apps_.file("app.exe");
    ASSERT_EQ(symlink("/bin/sh", program.c_str()), 0);  // a program of root's
    drop_target(program, "No");
    view_.answers = {kYes};
    form_->click(Control::Label2);
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1], warning("The manifest of app.exe was changed, but Windows may go on using the "
                                              "previous setting until the computer restarts: Operation not permitted"));
    EXPECT_EQ(read_whole_file(manifest()), kManifestText);
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
    form_->click(Control::Label2);
    ASSERT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(view_.boxes[1], warning("Could not enable visual style for app.exe: Permission denied"));
    EXPECT_FALSE(platform::path_exists(exe + ".manifest"));
}

}  // namespace
}  // namespace vextra::test
