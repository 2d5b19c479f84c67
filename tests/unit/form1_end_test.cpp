// SPDX-License-Identifier: MIT
// The window ended from outside (a signal, the session's end): at once, or, with a box open, after
// that box is answered No and its handler has finished.
#include "ui/form1.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "form1_fixture.h"
#include "manifest/target.h"

namespace vextra::test {
namespace {

TEST_F(Form1Test, AnEndRequestWithNoBoxOpenEndsTheProgramAtOnce) {
    start();
    drop_target(app(), "No");
    form_->end_requested();
    EXPECT_TRUE(view_.ended);
    EXPECT_EQ(view_.dismissals, 0);
    EXPECT_TRUE(view_.boxes.empty());
}

// Whatever the box would have answered (here the Yes of a click that came with the request), the
// request makes it No; the program ends only once the handler that opened the box has finished.
TEST_F(Form1Test, AnEndRequestWhileABoxIsOpenAnswersItNoThenEnds) {
    struct Case {
        const char* name;
        bool with_manifest;                          // the program's manifest before
        std::function<void(Form1&)> open_box;  // an entry point whose handler opens a box
        std::size_t boxes;                           // message boxes opened, the chooser aside
    };
    const Case cases[] = {
        {"the Enable question", false, [](Form1& f) { f.click(Control::Label2); }, 1},
        {"the Disable question", true, [](Form1& f) { f.click(Control::Label3); }, 1},
        {"a refused drop's warning", false,
         [this](Form1& f) { f.drop(Control::Label1, apps_.write("notes.txt", "text")); }, 1},
        // The file chooser gives a program as it closes: no drop of it is taken.
        {"the file chooser", false, [](Form1& f) { f.click(Control::Label1); }, 0},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view_ = {};
        start();
        const std::string name = "app" + std::to_string(++index) + ".exe";
        const std::string program = app(name);
        if (c.with_manifest) {
            ASSERT_FALSE(platform::save_file(manifest(name), "<kept/>"));
            ASSERT_FALSE(platform::set_attributes(manifest(name), manifest::kManifestAttributes));
        }
        const unsigned attributes_before = attributes(manifest(name));
        drop_target(program, c.with_manifest ? "Yes" : "No");
        const auto a_day_ago = std::filesystem::last_write_time(program) - std::chrono::hours(24);
        std::filesystem::last_write_time(program, a_day_ago);

        bool ended_while_open = true;
        const auto request = [&] {
            form_->end_requested();
            ended_while_open = view_.ended;
        };
        view_.while_open = [&](const MessageBoxCall&) { request(); };
        view_.answers = {kYes};
        view_.chooser = [&]() -> std::optional<std::string> {
            request();
            return app("chosen.exe");
        };
        c.open_box(*form_);

        EXPECT_EQ(view_.dismissals, 1);
        EXPECT_FALSE(ended_while_open);
        EXPECT_TRUE(view_.ended);
        EXPECT_EQ(view_.boxes.size(), c.boxes) << "no further box after the request";
        if (c.with_manifest) {
            EXPECT_EQ(read_whole_file(manifest(name)), "<kept/>");
            EXPECT_EQ(attributes(manifest(name)), attributes_before);
        } else {
            EXPECT_FALSE(platform::path_exists(manifest(name)));
        }
        EXPECT_EQ(std::filesystem::last_write_time(program), a_day_ago);
        EXPECT_EQ(form_->exelink(), program);
        EXPECT_EQ(form_->text2(), c.with_manifest ? "Yes" : "No");
    }
}

}  // namespace
}  // namespace vextra::test
