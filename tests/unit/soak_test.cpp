// SPDX-License-Identifier: MIT
// A long random session through the window's logic on a tree of real files: drops of programs and
// of anything else, text drops, the file chooser, Enables and Disables, answered Yes, No or not at
// all. After every step: nothing but the manifests beside dropped programs and those programs'
// last-write times differs from the tree as it began, every manifest the session wrote is whole
// and read-only, hidden and system, a confirmed Enable or Disable either holds on disk or says why,
// and no box reports a failure that the tree does not explain.
//
// The seed is printed with any failure; VEXTRA_SOAK_SEED=<seed> replays that session.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "form1_fixture.h"
#include "tree_snapshot.h"

namespace vextra::test {
namespace {

constexpr int kSteps = 4000;
constexpr const char* kTimeNotRenewed =
    " was changed, but Windows may go on using the previous setting until the computer restarts: ";

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class Soak : public Form1Test {
protected:
    std::string below(const std::string& path) const { return path.substr(apps_.path().size()); }

    // A program from the fixtures of Windows executables.
    std::string fixture(const std::string& name, const std::string& as) {
        return apps_.write(as, read_whole_file(std::string(VEXTRA_PE_FIXTURES "/x86_64/") + name));
    }
    void mark(const std::string& path, unsigned attributes) {
        ASSERT_FALSE(platform::set_attributes(path, attributes)) << path;
    }

    // Programs of every kind, with and without manifests of every kind, and what else a folder of
    // programs holds; returns everything there is to drop, missing names included.
    std::vector<std::string> make_tree() {
        namespace fs = std::filesystem;
        std::vector<std::string> drops = {
            fixture("plain.exe", "plain.exe"),
            fixture("visual-styles.exe", "styled.exe"),  // asks for the styles itself
            fixture("trust-info.exe", "trusting.exe"),   // its own manifest leaves them off
            fixture("truncated.exe", "damaged.exe"),
            app("SHOUT.EXE"),
            app("notexe"),            // taken: the test is on three characters
            app("bad\xFF name.exe"),  // not UTF-8
            app("old.exe"),
            apps_.write("old.exe.manifest", "<old/>"),  // someone's own manifest, read-only
            app("again.exe"),
            apps_.write("again.exe.manifest", kManifestText),  // ours, from an earlier run, left normal
            app("hidden.exe"),
            apps_.write("hidden.exe.manifest", "<hidden/>"),
            app("locked.exe"),
            app("walled.exe"),
            app("pointed.exe"),
            apps_.write("notes.txt", "not a program"),
            apps_.write("Mixed.Exe", "MZ"),  // refused: neither exe nor EXE
            apps_.file("missing.exe"),
            apps_.file("no folder/missing.exe"),
        };
        mark(apps_.file("old.exe.manifest"), platform::attribute::kReadOnly);
        mark(apps_.file("hidden.exe"), platform::attribute::kHidden);
        mark(apps_.file("hidden.exe.manifest"), 7);
        mark(apps_.file("locked.exe"), platform::attribute::kReadOnly);
        fs::create_directory(apps_.file("walled.exe.manifest"));  // a folder where the manifest would go
        apps_.write("walled.exe.manifest/inside.txt", "kept");
        fs::create_symlink("notes.txt", apps_.file("pointed.exe.manifest"));  // a link there, never followed
        // Links, a folder and a FIFO named like programs.
        for (const auto& [name, target] : {std::pair{"linked.exe", "plain.exe"},
                                           {"linked-styled.exe", "styled.exe"},
                                           {"dangling.exe", "nowhere.exe"},
                                           {"zero.exe", "/dev/zero"}}) {
            fs::create_symlink(target, apps_.file(name));
            drops.push_back(apps_.file(name));
        }
        fs::create_directory(apps_.file("folder.exe"));
        apps_.write("folder.exe/inside.exe", "MZ");
        drops.push_back(apps_.file("folder.exe"));
        EXPECT_EQ(mkfifo(apps_.file("pipe.exe").c_str(), 0644), 0);
        drops.push_back(apps_.file("pipe.exe"));
        fs::create_directories(apps_.file("sub/deeper"));
        drops.push_back(app("sub/deeper/nested.exe"));
        drops.push_back(apps_.file("folder.exe/inside.exe"));
        return drops;
    }

    // The failures the tree explains: a folder at a manifest's place, which cannot be deleted, and
    // the names of no program (nothing, a link leading nowhere, a folder, a FIFO, a device), which
    // get no manifest and whose time cannot be renewed.
    std::set<std::string> explained_reports() const {
        const auto error = [](std::errc code) { return platform::error_text(std::make_error_code(code)); };
        std::set<std::string> reports = {"Could not disable visual style for walled.exe: " +
                                         error(std::errc::is_a_directory)};
        for (const auto& [name, code] : {std::pair{"missing.exe", std::errc::no_such_file_or_directory},
                                         {"dangling.exe", std::errc::no_such_file_or_directory},
                                         {"folder.exe", std::errc::is_a_directory},
                                         {"pipe.exe", std::errc::operation_not_supported},
                                         {"zero.exe", std::errc::operation_not_supported}}) {
            reports.insert(std::string("Could not enable visual style for ") + name + ": " + error(code));
            reports.insert(std::string("The manifest of ") + name + kTimeNotRenewed + error(code));
        }
        return reports;
    }
};

// Whether a dropped program's manifest may be what it is now: gone, as it was, or a whole manifest
// (ours or the one found there) left read-only, hidden and system.
bool allowed_manifest(const std::optional<TreeEntry>& was, const std::optional<TreeEntry>& is) {
    if (!is) return true;
    if (was && *was == *is) return true;
    if (!marked_read_only_hidden_system(*is)) return false;
    return is->content == kManifestText || (was && was->kind == 'f' && was->content == is->content);
}

TEST_F(Soak, ThousandsOfRandomStepsChangeOnlyTheManifestsOfDroppedPrograms) {
    start();
    const std::vector<std::string> drops = make_tree();
    ASSERT_FALSE(HasFailure());
    const Tree before = tree_of(apps_.path());
    const std::set<std::string> explained = explained_reports();

    unsigned seed = std::random_device{}();
    if (const char* replay = std::getenv("VEXTRA_SOAK_SEED"))
        seed = static_cast<unsigned>(std::strtoul(replay, nullptr, 10));
    SCOPED_TRACE("VEXTRA_SOAK_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    const auto pick = [&](std::size_t count) { return static_cast<std::size_t>(random() % count); };
    bool dropped = false;  // in this step, by a drop or the file chooser
    view_.chooser = [&]() -> std::optional<std::string> {
        dropped = pick(4) != 0;
        if (!dropped) return std::nullopt;  // cancelled
        return drops[pick(drops.size())];
    };

    std::set<std::string> targets;  // every program dropped and taken, as the tree names it
    std::set<std::string> timed;    // those and the programs their links lead to: their times may change
    int asked = 0, reported = 0;
    for (int step = 0; step < kSteps && !HasFailure(); ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const int answer = std::vector<int>{kYes, kNo, 2}[pick(3)];  // 2: the box closed without an answer
        view_.answers = {answer};
        const std::size_t boxes_before = view_.boxes.size();
        const std::string manifest = form_->exelink() + ".manifest";
        const std::size_t action = pick(10);
        dropped = action < 5;
        if (action < 4) {
            form_->drop(Control::Label1, drops[pick(drops.size())]);
        } else if (action == 4) {
            form_->drop(Control::Label1, std::nullopt);  // text
        } else if (action == 5) {
            form_->click(Control::Label1);
        } else {
            form_->click(action < 8 ? Control::Label2 : Control::Label3);
        }
        if (!form_->exelink().empty()) {
            targets.insert(below(form_->exelink()));
            timed.insert(below(form_->exelink()));
            std::error_code unresolved;
            const std::string resolved = std::filesystem::canonical(form_->exelink(), unresolved).string();
            if (!unresolved && starts_with(resolved, apps_.path())) timed.insert(below(resolved));
        }

        // What this step showed: a confirmed change holds, or the next box says why.
        const std::vector<MessageBoxCall> shown(view_.boxes.begin() + static_cast<long>(boxes_before),
                                                      view_.boxes.end());
        for (const auto& box : shown) {
            if (box.buttons == kYesNoWarning) ++asked;
            if (starts_with(box.prompt, "Could not") ||
                box.prompt.find(kTimeNotRenewed) != std::string::npos) {
                ++reported;
                EXPECT_TRUE(explained.count(box.prompt))
                    << "a failure the tree does not explain: " << box.prompt;
            }
        }
        if (!shown.empty() && shown[0].buttons == kYesNoWarning && answer == kYes) {
            const bool failure_said = shown.size() > 1 && starts_with(shown[1].prompt, "Could not");
            std::string written;
            if (starts_with(shown[0].prompt, "Do you want to Enable"))
                EXPECT_TRUE(failure_said ||
                            (!platform::read_file(manifest, written) && written == kManifestText))
                    << shown[0].prompt;
            else
                EXPECT_TRUE(failure_said || !platform::path_exists(manifest)) << shown[0].prompt;
        }
        // The status a taken drop shows is whether anything at all is at the manifest's place.
        if (dropped && shown.empty()) {
            struct stat st {};
            const std::string at = form_->exelink() + ".manifest";
            const bool there = lstat(at.c_str(), &st) == 0;
            EXPECT_EQ(form_->text2(), there ? "Yes" : "No") << form_->exelink();
        }

        const Tree now = tree_of(apps_.path());
        for (const std::string& path : changed_paths(before, now, timed)) {
            const bool dropped_programs_manifest =
                ends_with(path, ".manifest") && targets.count(path.substr(0, path.size() - 9));
            const auto was = before.find(path), is = now.find(path);
            EXPECT_TRUE(dropped_programs_manifest &&
                        allowed_manifest(was == before.end() ? std::nullopt : std::optional(was->second),
                                         is == now.end() ? std::nullopt : std::optional(is->second)))
                << path << " was " << (was == before.end() ? "absent" : testing::PrintToString(was->second))
                << ", is " << (is == now.end() ? "absent" : testing::PrintToString(is->second));
        }
    }
    EXPECT_GT(targets.size(), 10u) << "the session reached too few programs to show anything";
    std::printf("soak: seed %u, %d steps, %zu programs taken, %d questions, %d failures reported\n", seed,
                kSteps, targets.size(), asked, reported);
}

}  // namespace
}  // namespace vextra::test
