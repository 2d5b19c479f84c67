// SPDX-License-Identifier: MIT
// The window's drop, Enable and Disable handlers on real files, through a recording view.
#include "ui/form1.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "form1_fixture.h"
#include "manifest/commands.h"
#include "platform/program_folder.h"
#include "system_errors.h"

namespace vextra::test {
namespace {

TEST_F(Form1Test, StartsWithNoTargetAndTheManifestTextLoaded) {
    start();
    EXPECT_EQ(form_->applink(), "");
    EXPECT_EQ(form_->exelink(), "");
    EXPECT_EQ(form_->text1(), "Select App..");
    EXPECT_EQ(form_->text2(), "Select App..");
    EXPECT_EQ(form_->manif().text(), kManifestText);
}

TEST_F(Form1Test, AcceptsOnlyNamesEndingInExeOrEXE) {
    start();
    struct Case {
        const char* name;
        std::string file;
        bool accepted;
    };
    const Case cases[] = {
        // Names differ beyond case: on Windows "prog.exe" and "PROG.EXE" are one file.
        {"lower case", "prog.exe", true},  {"upper case", "SETUP.EXE", true}, {"no dot", "notexe", true},
        {"mixed case", "Tool.Exe", false}, {"eXe", "game.eXe", false},        {"text file", "notes.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view_.boxes.clear();
        const std::string path = app(c.file);
        form_->drop(Control::Label1, path);
        EXPECT_EQ(form_->applink(), path);
        if (c.accepted) {
            EXPECT_TRUE(view_.boxes.empty());
            EXPECT_EQ(form_->exelink(), path);
            EXPECT_EQ(view_.texts[Control::Text1], c.file);
            EXPECT_EQ(view_.texts[Control::Text2], "No");
        } else {
            EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{warning(c.file + " is not a Windows executeable File.")}));
        }
    }
}

TEST_F(Form1Test, ARefusedDropKeepsTheEarlierTarget) {
    start();
    const std::string target = app();
    drop_target(target, "No");
    form_->drop(Control::Label1, apps_.write("readme.txt", ""));
    EXPECT_EQ(form_->exelink(), target);
    EXPECT_EQ(form_->text1(), "app.exe");
    EXPECT_EQ(form_->text2(), "No");
    EXPECT_EQ(view_.texts[Control::Text1], "app.exe");
}

TEST_F(Form1Test, ADropWithoutFilesReusesTheLastDroppedPath) {
    start();
    form_->drop(Control::Label1, std::nullopt);
    EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{warning(" is not a Windows executeable File.")}));

    const std::string target = app();
    drop_target(target, "No");
    platform::save_file(manifest(), "x");
    form_->drop(Control::Label1, std::nullopt);
    EXPECT_EQ(form_->exelink(), target);
    EXPECT_EQ(form_->text2(), "Yes");
}

TEST_F(Form1Test, AnExistingManifestShowsYesAndIsLeftReadOnlyHiddenSystem) {
    start();
    for (unsigned before : {0u, 7u, 2u}) {
        SCOPED_TRACE(before);
        platform::set_attributes(manifest(), 0);
        platform::save_file(manifest(), "existing");
        platform::set_attributes(manifest(), before);
        drop_target(app(), "Yes");
        EXPECT_EQ(attributes(manifest()), 0x27u);
        EXPECT_EQ(read_whole_file(manifest()), "existing");
    }
}

TEST_F(Form1Test, AHiddenExecutableIsAcceptedWithAnEmptyName) {
    start();
    const std::string target = app();
    platform::set_attributes(target, 2);
    drop_target(target, "No");
    EXPECT_EQ(form_->text1(), "");
    view_.answers = {kNo};
    form_->click(Control::Label2);
    EXPECT_EQ(view_.boxes.back().prompt, "Do you want to Enable visual style for ");
}

TEST_F(Form1Test, EnableWritesTheManifestReadOnlyHiddenSystem) {
    start();
    drop_target(app(), "No");
    view_.answers = {kYes};
    form_->click(Control::Label2);
    EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{enable_question("app.exe")}));
    EXPECT_EQ(read_whole_file(manifest()), kManifestText);
    EXPECT_EQ(attributes(manifest()), 0x27u);
    EXPECT_EQ(form_->text2(), "No");

    // Asked again without a new drop; the identical read-only manifest stays and nothing is reported.
    view_.answers = {kYes};
    form_->click(Control::Label2);
    EXPECT_EQ(view_.boxes.size(), 2u);
    EXPECT_EQ(attributes(manifest()), 0x27u);
}

TEST_F(Form1Test, EnableAnsweredNoWritesNothing) {
    start();
    drop_target(app(), "No");
    view_.answers = {kNo};
    form_->click(Control::Label2);
    EXPECT_EQ(view_.boxes.size(), 1u);
    EXPECT_FALSE(platform::path_exists(manifest()));
}

TEST_F(Form1Test, CommandsDoNothingWithoutATargetOrTheRightStatus) {
    start();
    form_->click(Control::Label2);
    form_->click(Control::Label3);
    EXPECT_TRUE(view_.boxes.empty());

    drop_target(app(), "No");
    form_->click(Control::Label3);  // Disable needs "Yes"
    EXPECT_TRUE(view_.boxes.empty());

    platform::save_file(manifest(), "x");
    drop_target(app(), "Yes");
    form_->click(Control::Label2);  // Enable needs "No"
    EXPECT_TRUE(view_.boxes.empty());
    EXPECT_EQ(read_whole_file(manifest()), "x");
}

// Alt+E and Alt+D run Enable and Disable as their buttons do, question and all.
TEST_F(Form1Test, AltEAndAltDEnableAndDisable) {
    start();
    drop_target(app(), "No");
    view_.answers = {kYes};
    EXPECT_TRUE(form_->key({ui::Key::Letter, 'E', false, true}));
    EXPECT_EQ(read_whole_file(manifest()), kManifestText);
    drop_target(app(), "Yes");
    view_.answers = {kYes};
    EXPECT_TRUE(form_->key({ui::Key::Letter, 'D', false, true}));
    EXPECT_FALSE(platform::path_exists(manifest()));
    EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{enable_question("app.exe"), disable_question("app.exe")}));
}

TEST_F(Form1Test, EnableWithoutATemplateWarnsAndWritesNothing) { expect_template_refused(); }

// Such a manifest would stop the program from starting: a template that decodes to no XML document
// counts as one that did not load.
TEST_F(Form1Test, EnableWritesNothingWithATemplateThatIsNoManifest) {
    struct Case {
        const char* name;
        std::string rtf;
    };
    const Case cases[] = {
        {"no text", "{\\rtf1\\ansi }"},
        {"only the XML declaration", "{\\rtf1\\ansi <?xml version=\"1.0\" encoding=\"UTF-8\"?>\\par }"},
        {"not XML", "{\\rtf1\\ansi Dear reader,\\par }"},
        {"an element never closed", "{\\rtf1\\ansi <assembly>\\par }"},
        {"larger than 16 MiB", "{\\rtf1\\ansi <a/>" + std::string(16u << 20, ' ') + "}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        work_.write("style.dll", c.rtf);
        expect_template_refused();
    }
}

// While a box is open, nothing else of the window runs: not a drop, a click or a tick that the
// back-end's event loop delivers meanwhile. Enable writes the manifest of the program it asked about.
TEST_F(Form1Test, HandlersRunOneAtATime) {
    start();
    const std::string first = app("a.exe");
    const std::string second = app("b.exe");
    drop_target(first, "No");
    form_->click(Control::Label6);  // the About panel starts sliding in
    EXPECT_TRUE(form_->takes_drop(Control::Label1));
    bool took_drop_while_open = true;
    view_.while_open = [&](const MessageBoxCall&) {
        took_drop_while_open = form_->takes_drop(Control::Label1);
        form_->drop(Control::Label1, second);
        form_->drop(Control::Label1, app("notes.txt"));  // would open a box of its own
        for (Control clicked : {Control::Label2, Control::Label3, Control::Label4, Control::Label6})
            form_->click(clicked);
        form_->mouse(Control::Picture1, MouseAction::Press, 10, 10);
        form_->tick(Control::Timer1);
        form_->click(Control::Label1);  // the file chooser
        for (const ui::Shortcut& shortcut : ui::kShortcuts) EXPECT_TRUE(form_->key(shortcut.stroke));
    };
    const int left = form_->picture2_left();
    view_.answers = {kYes};
    form_->click(Control::Label2);
    view_.while_open = nullptr;

    EXPECT_FALSE(took_drop_while_open);
    EXPECT_EQ(view_.choosers_opened, 0);
    EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{enable_question("a.exe")}));
    EXPECT_EQ(read_whole_file(manifest("a.exe")), kManifestText);
    EXPECT_FALSE(platform::path_exists(manifest("b.exe")));
    EXPECT_EQ(form_->exelink(), first);
    EXPECT_EQ(form_->text1(), "a.exe");
    EXPECT_EQ(form_->foc(), 0);
    EXPECT_FALSE(view_.ended);
    EXPECT_EQ(form_->picture2_left(), left);
    EXPECT_TRUE(form_->timer1_enabled());

    // Once the box is closed, the window takes drops and ticks again.
    EXPECT_TRUE(form_->takes_drop(Control::Label1));
    EXPECT_FALSE(form_->takes_drop(Control::Label2));
    form_->tick(Control::Timer1);
    EXPECT_EQ(form_->picture2_left(), left - Form1::kSlideStep);
}

// A click on the drop box, or Ctrl+O, opens the file chooser; the chosen file goes through the
// drop handler as a drop of that one file would, and a cancel changes nothing. The chooser opens
// in the home folder, then in the folder of the last program chosen or dropped, taken or not.
TEST_F(Form1Test, TheFileChooserGivesItsFileToTheDropHandler) {
    start();
    const ui::KeyStroke ctrl_o{ui::Key::Letter, 'O', true, false};
    const std::string first = app("first.exe");
    const std::string second = app("second.EXE");
    std::optional<std::string> chosen = first;
    view_.chooser = [&] { return chosen; };

    form_->click(Control::Label1);
    EXPECT_EQ(view_.choosers_opened, 1);
    EXPECT_EQ(view_.chooser_folder, platform::home_folder());
    EXPECT_FALSE(view_.chooser_folder.empty());
    EXPECT_EQ(form_->exelink(), first);
    EXPECT_EQ(view_.texts[Control::Text1], "first.exe");
    EXPECT_EQ(view_.texts[Control::Text2], "No");

    chosen = std::nullopt;  // cancelled: not a drop without files, which would take the last path again
    EXPECT_TRUE(form_->key(ctrl_o));
    EXPECT_EQ(view_.choosers_opened, 2);
    EXPECT_EQ(view_.chooser_folder, apps_.path());
    EXPECT_TRUE(view_.boxes.empty());
    EXPECT_EQ(form_->applink(), first);

    TempDir elsewhere;
    form_->drop(Control::Label1, elsewhere.write("refused.txt", ""));
    view_.boxes.clear();
    chosen = apps_.write("notes.txt", "");
    form_->key(ctrl_o);
    EXPECT_EQ(view_.chooser_folder, elsewhere.path());
    EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{warning("notes.txt is not a Windows executeable File.")}));
    EXPECT_EQ(form_->exelink(), first);

    // While the chooser is open, nothing else of the window runs.
    view_.chooser = [&]() -> std::optional<std::string> {
        EXPECT_FALSE(form_->takes_drop(Control::Label1));
        form_->drop(Control::Label1, app("dropped.exe"));
        form_->click(Control::Label3);
        return second;
    };
    form_->click(Control::Label1);
    EXPECT_EQ(form_->exelink(), second);
    EXPECT_EQ(view_.texts[Control::Text1], "second.EXE");
    EXPECT_EQ(view_.boxes.size(), 1u);
    EXPECT_TRUE(form_->takes_drop(Control::Label1));
}

// Windows reads a program's own manifest instead of the file beside it: Enable says so and writes
// nothing, rather than write a file that changes nothing.
TEST_F(Form1Test, EnableOnAProgramWithItsOwnManifestSaysWhyAndWritesNothing) {
    start();
    struct Case {
        const char* fixture;
        std::string prompt;
    };
    const Case cases[] = {
        {"visual-styles.exe", "app.exe already asks for visual styles in its own manifest."},
        {"trust-info.exe", "app.exe carries its own manifest, which Windows reads instead of app.exe.manifest, so "
                           "visual styles cannot be enabled this way."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        view_.boxes.clear();
        const std::string program = read_whole_file(std::string(VEXTRA_PE_FIXTURES "/i686/") + c.fixture);
        const std::string target = apps_.write("app.exe", program);
        drop_target(target, "No");
        form_->click(Control::Label2);
        EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{warning(c.prompt)}));
        EXPECT_FALSE(platform::path_exists(manifest()));
        EXPECT_EQ(read_whole_file(target), program);
    }
}

// Windows keeps what it found of a program's manifest by its path and last-write time: each change
// sets the program's time to now (a read-only program's too), leaving its bytes alone.
TEST_F(Form1Test, EachChangeRenewsTheProgramsTime) {
    namespace fs = std::filesystem;
    start();
    const std::string target = app();
    const auto long_ago = fs::last_write_time(target) - std::chrono::hours(24 * 365);
    const auto age = [&] { return fs::last_write_time(target); };
    fs::last_write_time(target, long_ago);
    ASSERT_FALSE(platform::set_attributes(target, platform::attribute::kReadOnly));

    drop_target(target, "No");
    view_.answers = {kNo};
    form_->click(Control::Label2);
    EXPECT_EQ(age(), long_ago) << "nothing changed, so the time stays";
    view_.answers = {kYes};
    form_->click(Control::Label2);
    EXPECT_GT(age(), long_ago + std::chrono::hours(24 * 364));
    EXPECT_EQ(read_whole_file(target), "MZ");
    EXPECT_EQ(attributes(target), 0x21u);

    ASSERT_FALSE(platform::set_attributes(target, platform::attribute::kNormal));
    fs::last_write_time(target, long_ago);
    ASSERT_FALSE(platform::set_attributes(target, platform::attribute::kReadOnly));
    drop_target(target, "Yes");
    view_.answers = {kYes};
    form_->click(Control::Label3);
    EXPECT_FALSE(platform::path_exists(manifest()));
    EXPECT_GT(age(), long_ago + std::chrono::hours(24 * 364));
    EXPECT_EQ(view_.boxes.size(), 3u) << "no box beyond the three questions";
    platform::set_attributes(target, platform::attribute::kNormal);
}

// A manifest that came after the drop, while the status said there was none, is never replaced,
// whatever its attributes: it is someone else's. It is left read-only, hidden and system, as any
// manifest the window finds.
TEST_F(Form1Test, EnableNeverReplacesAManifestThatCameAfterTheDrop) {
    for (unsigned attributes_of_theirs : {0u, 7u}) {
        SCOPED_TRACE(attributes_of_theirs);
        start();
        drop_target(app(), "No");
        view_.while_open = [&](const MessageBoxCall& box) {
            if (box.buttons != kYesNoWarning) return;
            ASSERT_FALSE(platform::save_file(manifest(), "someone else's"));
            ASSERT_FALSE(platform::set_attributes(manifest(), attributes_of_theirs));
        };
        view_.answers = {kYes};
        form_->click(Control::Label2);
        view_.while_open = nullptr;
        ASSERT_EQ(view_.boxes.size(), 2u);
        EXPECT_EQ(view_.boxes[1], warning("Could not enable visual style for app.exe: another program changed "
                                                  "the manifest meanwhile"));
        EXPECT_EQ(read_whole_file(manifest()), "someone else's");
        EXPECT_EQ(attributes(manifest()), 0x27u);
        platform::set_attributes(manifest(), 0);
        platform::delete_file(manifest());
        view_.boxes.clear();
    }
}

// A second Enable without a new drop meets its own manifest: the end state is the one asked for.
TEST_F(Form1Test, ASecondEnableMeetsItsOwnManifest) {
    start();
    drop_target(app(), "No");
    view_.answers = {kYes, kYes};
    form_->click(Control::Label2);
    // Changed in between, so that only the second Enable can give the attributes back.
    ASSERT_FALSE(platform::set_attributes(manifest(), 0));
    form_->click(Control::Label2);
    EXPECT_EQ(view_.boxes.size(), 2u) << "the two questions, no failure";
    EXPECT_EQ(read_whole_file(manifest()), kManifestText);
    EXPECT_EQ(attributes(manifest()), 0x27u);
}

// A program that is not there when Enable is clicked, or when its question is answered, gets no
// manifest; the box names it by its path even where the lookup finds no name.
TEST_F(Form1Test, EnableRefusesAProgramThatIsNotThere) {
    struct Case {
        const char* name;
        const char* program;  // within the folder of programs
        const char* removed;  // what goes
        bool while_asked;     // gone while the question is open, else before the click
        std::error_code error;
    };
    const Case cases[] = {
        {"a folder gone since the drop", "gone/app.exe", "gone", false, kPathNotFound},
        {"deleted before the click", "deleted.exe", "deleted.exe", false, kFileNotFound},
        {"deleted while asked", "asked.exe", "asked.exe", true, kFileNotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start();
        std::filesystem::create_directories(std::filesystem::path(apps_.file(c.program)).parent_path());
        const std::string program = app(c.program);
        drop_target(program, "No");
        view_.boxes.clear();
        const auto remove = [&] { std::filesystem::remove_all(apps_.file(c.removed)); };
        if (c.while_asked) {
            view_.while_open = [&](const MessageBoxCall&) { remove(); };
            view_.answers = {kYes};
        } else {
            remove();
        }
        form_->click(Control::Label2);
        view_.while_open = nullptr;
        ASSERT_FALSE(view_.boxes.empty());
        EXPECT_EQ(view_.boxes.back(), warning("Could not enable visual style for " + platform::base_name(program) +
                                                          ": " + platform::error_text(c.error)));
        EXPECT_EQ(view_.boxes.size(), c.while_asked ? 2u : 1u) << "asked only about a program that is there";
        EXPECT_FALSE(platform::path_exists(program + ".manifest"));
    }
}

// While the question is open the manifest stays as it was, so a program ended then (killed, or
// logged out) leaves it in force; only Yes clears its attributes, right before the delete.
TEST_F(Form1Test, DisableChangesNothingBeforeYesThenDeletes) {
    start();
    platform::save_file(manifest(), "x");
    drop_target(app(), "Yes");
    unsigned while_asked = 0;
    view_.while_open = [&](const MessageBoxCall&) { while_asked = attributes(manifest()); };
    view_.answers = {kYes};
    form_->click(Control::Label3);
    EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{disable_question("app.exe")}));
    EXPECT_EQ(while_asked, 0x27u);
    EXPECT_FALSE(platform::path_exists(manifest()));
    EXPECT_EQ(form_->text2(), "Yes");

    // Already gone: asked again, and the end state is the one asked for, so nothing is reported.
    view_.answers = {kYes};
    form_->click(Control::Label3);
    EXPECT_EQ(view_.boxes.size(), 2u);
}

TEST_F(Form1Test, DisableDeclinedChangesNothing) {
    // No, and a box closed without an answer (Escape), both keep the manifest as it is, whatever
    // another program made of its attributes while the question was open.
    for (int answer : {kNo, 2}) {
        SCOPED_TRACE(answer);
        start();
        platform::save_file(manifest(), "x");
        drop_target(app(), "Yes");
        view_.while_open = [&](const MessageBoxCall&) { platform::set_attributes(manifest(), 1); };
        view_.answers = {answer};
        form_->click(Control::Label3);
        view_.while_open = nullptr;
        EXPECT_EQ(read_whole_file(manifest()), "x");
        EXPECT_EQ(attributes(manifest()), 0x21u);
        platform::set_attributes(manifest(), 0);
    }
}

// Another program changes the manifest's attributes while the question is open: Yes still deletes
// it, since the user asked for it gone.
TEST_F(Form1Test, DisableDeletesAManifestMadeReadOnlyMeanwhile) {
    start();
    platform::save_file(manifest(), "x");
    drop_target(app(), "Yes");
    view_.while_open = [&](const MessageBoxCall&) { platform::set_attributes(manifest(), 1); };
    view_.answers = {kYes};
    form_->click(Control::Label3);
    EXPECT_EQ(view_.boxes.size(), 1u);
    EXPECT_FALSE(platform::path_exists(manifest()));
}

TEST_F(Form1Test, FullCycleEnableThenDisable) {
    start();
    const std::string target = app();
    drop_target(target, "No");
    view_.answers = {kYes};
    form_->click(Control::Label2);
    form_->click(Control::Label3);  // status still "No": nothing
    EXPECT_EQ(view_.boxes.size(), 1u);
    drop_target(target, "Yes");
    EXPECT_EQ(attributes(manifest()), 0x27u);
    view_.answers = {kYes};
    form_->click(Control::Label3);
    EXPECT_FALSE(platform::path_exists(manifest()));
    drop_target(target, "No");
}

}  // namespace
}  // namespace vextra::test
