// SPDX-License-Identifier: MIT
// Names and paths as Windows allows them, through the window's logic: names outside any code page
// and beyond 16 bits, the longest name, and folders deeper than MAX_PATH (260 characters). After
// every step the folder is compared entry by entry: only the dropped program's manifest and the
// program's last-write time may change. What Windows refuses is said in a box and changes nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "form1_fixture.h"
#include "odd_names.h"
#include "platform/program_folder.h"
#include "tree_snapshot.h"

namespace vextra::test {
namespace {

// The file chooser opens in the folder of the last program: a drive's root stays "C:\", since
// "C:" alone names the drive's current folder, wherever that is.
TEST(ContainingFolderWin32, IsThePathUpToItsLastSeparator) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\old.exe", "C:\\"},
        {"C:\\Apps\\old.exe", "C:\\Apps"},
        {"C:/Apps/Old/old.exe", "C:/Apps/Old"},
        {"\\\\server\\share\\old.exe", "\\\\server\\share"},
        {"old.exe", ""},
    };
    for (const auto& [path, folder] : cases) EXPECT_EQ(platform::containing_folder(path), folder) << path;
}

class OddPathsWin32 : public Form1Test {
protected:
    void SetUp() override { start(); }
    void TearDown() override { remove_all(long_form(apps_.path()), false); }

    // A path below the folder of programs, as a drop gives it: with backslashes.
    std::string at(const std::string& below) const {
        std::string path = apps_.path() + below;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    Tree state() const { return tree_of(apps_.path()); }
    void make_folder(const std::string& below) {
        ASSERT_TRUE(CreateDirectoryW(long_form(at(below)).c_str(), nullptr)) << GetLastError();
    }
    void make_file(const std::string& below, const std::string& content = "MZ") {
        const HANDLE file =
            CreateFileW(long_form(at(below)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
    }
    // The temporary folder's own clean-up cannot reach beyond MAX_PATH, nor remove read-only files.
    static void remove_all(const std::wstring& folder, bool itself = true) {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    remove_all(folder + L"\\" + name);
                } else {
                    SetFileAttributesW((folder + L"\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW((folder + L"\\" + name).c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        if (itself) RemoveDirectoryW(folder.c_str());
    }
};

// Drop, Enable, drop again, Disable, all answered Yes, in a short folder and in one deeper than
// MAX_PATH: the two questions are the only boxes, and the folder ends as it began but for the
// program's time.
TEST_F(OddPathsWin32, OddNamesGoThroughAWholeCycle) {
    std::vector<std::string> names = kOddNamesEverywhere;
    // Latin, Greek and Hebrew in one name, which no code page holds; a name whose manifest's is 255
    // characters, the longest there is.
    names.push_back("\u00E9t\u00E9 \u03A0\u03C1\u03CC\u03B3\u03C1\u03B1\u03BC\u03BC\u03B1 "
                    "\u05E2\u05D1\u05E8\u05D9\u05EA.exe");
    names.push_back(std::string(242, 'n') + ".exe");
    std::string deep = "/deep";
    make_folder(deep);
    while (at(deep).size() < 300) {
        deep += "/" + std::string(60, 'd');
        make_folder(deep);
    }
    for (const std::string& folder : {std::string(), deep}) {
        for (const std::string& name : names) {
            const std::string program = at(folder + "/" + name);
            SCOPED_TRACE(program);
            view_.boxes.clear();
            make_file(folder + "/" + name);
            const auto before = state();
            drop_target(program, "No");
            EXPECT_EQ(view_.texts[Control::Text1], name);
            view_.answers = {kYes};
            form_->click(Control::Label2);
            const auto enabled = state();
            const std::string manifest = folder + "/" + name + ".manifest";
            EXPECT_EQ(changed_paths(before, enabled, {folder + "/" + name}),
                      std::vector<std::string>{manifest});
            if (enabled.count(manifest)) {
                EXPECT_EQ(enabled.at(manifest).content, kManifestText);
                EXPECT_EQ(enabled.at(manifest).attributes, 7u);
            }

            drop_target(program, "Yes");
            view_.answers = {kYes};
            form_->click(Control::Label3);
            EXPECT_EQ(changed_paths(before, state(), {folder + "/" + name}), std::vector<std::string>{});
            EXPECT_EQ(view_.boxes,
                      (std::vector<MessageBoxCall>{enable_question(name), disable_question(name)}));
        }
    }
}

// Each program can be dropped but its manifest cannot be written: the box says so, and nothing
// changes. A program Windows cannot reach by its path is refused before the question.
TEST_F(OddPathsWin32, AManifestWindowsRefusesIsReportedAndNothingChanges) {
    const std::string long_name = std::string(251, 'l') + ".exe";  // no room left for ".manifest"
    make_file("/" + long_name);
    // Longer than the 32,767 characters Windows takes even in the \\?\ form; no such file can be.
    std::string too_long = "/far";
    while (too_long.size() < 33000) too_long += "/" + std::string(200, 'f');
    struct Case {
        const char* name;
        std::string program;
        std::string shown;
        bool asked;
    };
    const Case cases[] = {
        {"a name with no room for the manifest's", at("/" + long_name), long_name, true},
        {"a path over 32,767 characters", at(too_long + "/app.exe"), "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view_.boxes.clear();
        const auto before = state();
        drop_target(c.program, "No");
        view_.answers = {kYes};
        form_->click(Control::Label2);
        ASSERT_EQ(view_.boxes.size(), c.asked ? 2u : 1u);
        if (c.asked) {
            EXPECT_EQ(view_.boxes[0], enable_question(c.shown));
        }
        const std::string refused = "Could not enable visual style for " + platform::base_name(c.program) + ": ";
        EXPECT_EQ(view_.boxes.back().buttons, kOkWarning);
        EXPECT_TRUE(starts_with(view_.boxes.back().prompt, refused) &&
                    view_.boxes.back().prompt.size() > refused.size())
            << view_.boxes.back().prompt;
        EXPECT_EQ(changed_paths(before, state()), std::vector<std::string>{});
    }
}

// Whatever is at the manifest's place is a manifest to the status, even where its attributes
// cannot be changed (a folder): the status is "Yes", Enable writes nothing over it, and Disable
// says why it stays.
TEST_F(OddPathsWin32, AFolderAtTheManifestsPlaceIsYesAndStays) {
    make_file("/walled.exe");
    make_folder("/walled.exe.manifest");
    const auto before = state();
    drop_target(at("/walled.exe"), "Yes");
    form_->click(Control::Label2);
    EXPECT_TRUE(view_.boxes.empty()) << "Enable acts only on \"No\"";
    view_.answers = {kYes};
    form_->click(Control::Label3);
    ASSERT_EQ(view_.boxes.size(), 2u);
    const std::string refused = "Could not disable visual style for walled.exe: ";
    EXPECT_TRUE(starts_with(view_.boxes[1].prompt, refused) && view_.boxes[1].prompt.size() > refused.size())
        << view_.boxes[1].prompt;
    EXPECT_EQ(changed_paths(before, state()), std::vector<std::string>{});
}

}  // namespace
}  // namespace vextra::test
