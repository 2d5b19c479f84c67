// SPDX-License-Identifier: MIT
// Names and paths as real Linux disks hold them, through the window's logic. After every step the
// boxes shown and the whole tree on disk are checked: only the dropped program's manifest and the
// program's last-write time may change. What the system refuses (a name or a path too long) is
// said in a box and changes nothing; so is a program that changed between the drop and the click,
// and a drop whose path can name no file.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "form1_fixture.h"
#include "odd_names.h"
#include "tree_snapshot.h"

namespace vextra::test {
namespace {

using Paths = std::vector<std::string>;

std::string error_text(std::errc error) { return platform::error_text(std::make_error_code(error)); }

// A folder whose path is `length` bytes long, made folder by folder below `root`, as the system
// takes no longer path in one call. Its files are made, and everything is removed, through handles.
class DeepFolder {
public:
    DeepFolder(const std::string& root, std::size_t length) : path_(root) {
        folders_.push_back(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        while (path_.size() < length) {
            const std::size_t left = length - path_.size() - 1;  // after the next "/"
            const std::string name(left > 241 ? 200 : left, 'd');
            if (mkdirat(folders_.back(), name.c_str(), 0755) != 0)
                throw std::system_error(errno, std::system_category());
            folders_.push_back(openat(folders_.back(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            names_.push_back(name);
            path_ += "/" + name;
        }
    }
    ~DeepFolder() {
        for (std::size_t level = folders_.size() - 1; level > 0; --level) {
            empty(folders_[level]);
            close(folders_[level]);
            unlinkat(folders_[level - 1], names_[level - 1].c_str(), AT_REMOVEDIR);
        }
        close(folders_[0]);
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

    std::string write(const std::string& name, const std::string& content) {
        const int fd = openat(folders_.back(), name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_TRUE(fd >= 0 &&
                    ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()))
            << name;
        close(fd);
        return path_ + "/" + name;
    }

private:
    // Removes the files a test left in the folder, whatever their modes.
    static void empty(int folder) {
        DIR* listing = fdopendir(dup(folder));
        if (!listing) return;
        while (const dirent* entry = readdir(listing))
            if (entry->d_type != DT_DIR) unlinkat(folder, entry->d_name, 0);
        closedir(listing);
    }

    std::string path_;
    std::vector<int> folders_;        // the root and each folder below it
    std::vector<std::string> names_;  // of each folder below the root
};

class OddPaths : public Form1Test {
protected:
    void SetUp() override { start(); }

    // A path as the trees name it: below the folder of programs.
    std::string below(const std::string& path) const { return path.substr(apps_.path().size()); }
    Tree tree() const { return tree_of(apps_.path()); }

    // Drops `program`, which has no manifest yet and shows as `shown`, and clicks Enable, answering
    // Yes; the boxes recorded are this Enable's only.
    void drop_and_enable(const std::string& program, const std::string& shown) {
        view_.boxes.clear();
        drop_target(program, "No");
        EXPECT_EQ(view_.texts[Control::Text1], shown);
        view_.answers = {kYes};
        form_->click(Control::Label2);
    }

    // Since `before`, `program`'s manifest appeared, whole, read-only, hidden and system, and
    // nothing else changed but the time of `program` (or of the program it leads to, `renewed`).
    void expect_manifest_added(const Tree& before, const std::string& program, std::string renewed = {}) {
        const Tree after = tree();
        const std::string manifest = below(program) + ".manifest";
        EXPECT_EQ(changed_paths(before, after, {below(renewed.empty() ? program : renewed)}), Paths{manifest});
        const auto written = after.find(manifest);
        ASSERT_NE(written, after.end());
        EXPECT_EQ(written->second.content, kManifestText);
        EXPECT_TRUE(marked_read_only_hidden_system(written->second)) << written->second;
    }
};

// Drop, Enable, drop again, Disable, all answered Yes: the two questions are the only boxes, and
// the disk ends as it began but for the program's time.
TEST_F(OddPaths, OddNamesGoThroughAWholeCycle) {
    struct Case {
        std::string program;
        std::string shown;  // Text1 and the questions
    };
    std::vector<Case> cases;
    std::vector<std::string> names = kOddNamesEverywhere;
    // Names Windows refuses, names that are not UTF-8 (Linux names are bytes), and a name whose
    // manifest's is 255 bytes, the longest there is.
    const std::string linux_only[] = {"\"quoted\".exe", "back\\slash.exe", "line\nbreak.exe", "*?:<>|.exe",
                                      "-dash.exe", "bad\xFF\xFE.exe", "cut short \xC3.exe",
                                      std::string(242, 'n') + ".exe"};
    names.insert(names.end(), std::begin(linux_only), std::end(linux_only));
    for (const std::string& name : names) cases.push_back({app(name), name});

    for (const Case& c : cases) {
        SCOPED_TRACE(below(c.program));
        const Tree before = tree();
        drop_and_enable(c.program, c.shown);
        expect_manifest_added(before, c.program);

        drop_target(c.program, "Yes");
        view_.answers = {kYes};
        form_->click(Control::Label3);
        EXPECT_EQ(changed_paths(before, tree(), {below(c.program)}), Paths{});
        EXPECT_EQ(view_.boxes,
                  (std::vector<MessageBoxCall>{enable_question(c.shown), disable_question(c.shown)}));
    }
}

// Each program can be dropped but its manifest cannot be written: the box says why, and nothing
// changes anywhere, neither beside the program nor in the working directory. A program the system
// cannot reach by its path is refused before the question.
TEST_F(OddPaths, AManifestTheSystemRefusesIsReportedAndNothingChanges) {
    const std::string long_name = std::string(251, 'l') + ".exe";  // no room left for ".manifest"
    // The longest path the system takes is 4,095 bytes: the program's path is that long, its
    // manifest's is longer; and a program deeper still, where a manifest already is.
    std::filesystem::create_directory(apps_.file("longest"));
    std::filesystem::create_directory(apps_.file("deeper"));
    DeepFolder longest(apps_.file("longest"), 4095 - std::string("/deep.exe").size());
    DeepFolder deeper(apps_.file("deeper"), 4200);
    deeper.write("deep.exe.manifest", "<old/>");
    struct Case {
        const char* name;
        std::string program;
        std::string shown;
        bool asked;
        std::errc error;
    };
    const Case cases[] = {
        {"a name with no room for the manifest's", app(long_name), long_name, true, std::errc::filename_too_long},
        {"the longest path", longest.write("deep.exe", "MZ"), "deep.exe", true, std::errc::filename_too_long},
        {"a path over 4,096 bytes", deeper.write("deep.exe", "MZ"), "", false, std::errc::filename_too_long},
    };
    const Tree work_before = tree_of(work_.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Tree before = tree();
        drop_and_enable(c.program, c.shown);
        std::vector<MessageBoxCall> expected;
        if (c.asked) expected.push_back(enable_question(c.shown));
        expected.push_back(warning("Could not enable visual style for " + platform::base_name(c.program) + ": " +
                                   error_text(c.error)));
        EXPECT_EQ(view_.boxes, expected);
        EXPECT_EQ(changed_paths(before, tree()), Paths{});
    }
    EXPECT_EQ(changed_paths(work_before, tree_of(work_.path())), Paths{});
}

// The program is deleted or replaced after the drop. Enable writes a manifest only for a program
// that is there: a link leading to a program gets one beside the link's name, and the time renewed
// is that of the program it leads to; anything else is refused before the question. Disable
// removes the manifest beside the path all the same, and says where the program's time could not
// be renewed. Nothing a link leads to changes but that program's time.
TEST_F(OddPaths, AProgramChangedBetweenTheDropAndTheClickChangesNothingElse) {
    std::filesystem::create_directory(apps_.file("elsewhere"));
    const std::string plain =
        apps_.write("elsewhere/plain.exe", read_whole_file(VEXTRA_PE_FIXTURES "/x86_64/plain.exe"));
    const std::string styled =
        apps_.write("elsewhere/styled.exe", read_whole_file(VEXTRA_PE_FIXTURES "/x86_64/visual-styles.exe"));
    const auto replaced_by_link = [](const std::string& target) {
        return [target](const std::string& program) {
            std::filesystem::remove(program);
            std::filesystem::create_symlink(target, program);
        };
    };
    const auto replaced_by_folder = [](const std::string& program) {
        std::filesystem::remove(program);
        std::filesystem::create_directory(program);
    };
    const auto replaced_by_fifo = [](const std::string& program) {
        std::filesystem::remove(program);
        ASSERT_EQ(mkfifo(program.c_str(), 0644), 0);
    };
    const auto deleted = [](const std::string& program) { std::filesystem::remove(program); };
    const std::string no_file = error_text(std::errc::no_such_file_or_directory);
    const std::string folder_error = error_text(std::errc::is_a_directory);
    const std::string not_supported = error_text(std::errc::operation_not_supported);
    struct Case {
        const char* name;
        std::function<void(const std::string& program)> change;
        std::string shown;
        std::string renewed;         // the program whose time Enable renews, when not the path itself
        std::string enable_refusal;  // the box Enable shows instead of its question
        std::string time_error;      // why Disable could not renew the program's time
    };
    const Case cases[] = {
        {"deleted", deleted, "", "", "Could not enable visual style for app.exe: " + no_file, no_file},
        {"replaced by a link to another program", replaced_by_link(plain), "app.exe", plain, "", ""},
        {"replaced by a link to a program with its own manifest", replaced_by_link(styled), "app.exe", styled,
         "app.exe already asks for visual styles in its own manifest.", ""},
        {"replaced by a link leading nowhere", replaced_by_link(apps_.file("elsewhere/missing.exe")), "app.exe", "",
         "Could not enable visual style for app.exe: " + no_file, no_file},
        {"replaced by a folder", replaced_by_folder, "", "",
         "Could not enable visual style for app.exe: " + folder_error, folder_error},
        {"replaced by a FIFO", replaced_by_fifo, "", "",
         "Could not enable visual style for app.exe: " + not_supported, not_supported},
    };
    int round = 0;
    for (const Case& c : cases) {
        for (const bool enabling : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (enabling ? ", then Enable" : ", then Disable"));
            view_.boxes.clear();
            const std::string folder = std::to_string(++round);
            std::filesystem::create_directory(apps_.file(folder));
            const std::string program = app(folder + "/app.exe");
            if (!enabling) apps_.write(folder + "/app.exe.manifest", "<old/>");
            drop_target(program, enabling ? "No" : "Yes");
            c.change(program);
            const Tree before = tree();

            view_.answers = {kYes};
            form_->click(enabling ? Control::Label2 : Control::Label3);
            if (enabling && !c.enable_refusal.empty()) {
                EXPECT_EQ(view_.boxes, std::vector<MessageBoxCall>{warning(c.enable_refusal)});
                EXPECT_EQ(changed_paths(before, tree()), Paths{});
            } else if (enabling) {
                EXPECT_EQ(view_.boxes, std::vector<MessageBoxCall>{enable_question(c.shown)});
                expect_manifest_added(before, program, c.renewed);
            } else {
                std::vector<MessageBoxCall> expected{disable_question(c.shown)};
                if (!c.time_error.empty())
                    expected.push_back(warning("The manifest of app.exe was changed, but Windows may go on using the "
                                               "previous setting until the computer restarts: " +
                                               c.time_error));
                EXPECT_EQ(view_.boxes, expected);
                const std::string renewed = below(c.renewed.empty() ? program : c.renewed);
                EXPECT_EQ(changed_paths(before, tree(), {renewed}), Paths{below(program) + ".manifest"});
                EXPECT_FALSE(platform::path_exists(program + ".manifest"));
            }
        }
    }
}

// A drop of text carries no file list; a path holding a NUL byte (a drop's URL can encode one)
// can name no file, and the system would read it as the path before that byte: here the program
// itself in place of its manifest. Either is a drop without a file: with no earlier drop it is
// refused, after one the earlier path stands, and no file changes but that target's manifest.
TEST_F(OddPaths, ADropWhosePathCanNameNoFileIsADropWithoutAFile) {
    struct Case {
        const char* name;
        std::function<std::optional<std::string>(const std::string& program)> first_file;
    };
    const Case cases[] = {
        {"text", [](const std::string&) { return std::nullopt; }},
        {"a NUL after the program's path",
         [](const std::string& program) { return program + std::string("\0.exe", 5); }},
        {"a NUL after its folder's path",
         [](const std::string& program) {
             return program.substr(0, program.rfind('/') + 1) + std::string("\0x.exe", 6);
         }},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view_.boxes.clear();
        const std::string folder = std::to_string(++round);
        std::filesystem::create_directory(apps_.file(folder));
        const std::string program = app(folder + "/app.exe");
        const std::string earlier = app(folder + "/earlier.exe");
        const Tree before = tree();
        start_here();

        form_->drop(Control::Label1, c.first_file(program));
        EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{warning(" is not a Windows executeable File.")}));
        EXPECT_EQ(form_->exelink(), "");
        form_->click(Control::Label2);
        form_->click(Control::Label3);
        EXPECT_EQ(view_.boxes.size(), 1u) << "without a target, Enable and Disable do nothing";
        EXPECT_EQ(changed_paths(before, tree()), Paths{});

        view_.boxes.clear();
        form_->drop(Control::Label1, earlier);
        form_->drop(Control::Label1, c.first_file(program));
        EXPECT_EQ(form_->exelink(), earlier);
        EXPECT_EQ(view_.texts[Control::Text1], "earlier.exe");
        view_.answers = {kYes};
        form_->click(Control::Label2);
        EXPECT_EQ(view_.boxes, (std::vector<MessageBoxCall>{enable_question("earlier.exe")}));
        expect_manifest_added(before, earlier);
    }
}

}  // namespace
}  // namespace vextra::test
