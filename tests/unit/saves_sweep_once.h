// SPDX-License-Identifier: MIT
#pragma once
// The check, on each system, that saves clear a folder of the temporaries of killed saves once a
// process: the first save of the process in a folder removes them; later saves there do not list
// the folder again, so a temporary that turns up meanwhile stays.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/files.h"
#include "temp_dir.h"

namespace vextra::test {

// `stale_before` and `stale_after` are names of the system's temporaries.
inline void expect_saves_clear_a_folder_once(const std::string& stale_before, const std::string& stale_after) {
    struct Save {
        const char* name;
        std::error_code (*run)(const std::string&, std::string_view);
    };
    const Save saves[] = {{"save_file", platform::save_file}, {"create_file", platform::create_file}};
    const auto names_in = [](const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(folder)))
            names.insert(entry.path().filename().u8string());
        return names;
    };
    for (const Save& first : saves) {
        SCOPED_TRACE(std::string("first ") + first.name);
        TempDir dir;
        dir.write(stale_before, "part of a manifest");
        ASSERT_FALSE(first.run(dir.file("first.exe.manifest"), "1"));
        EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"first.exe.manifest"});

        dir.write(stale_after, "part of a manifest");
        for (const Save& later : saves) ASSERT_FALSE(later.run(dir.file(std::string(later.name) + ".manifest"), "2"));
        EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{stale_after, "create_file.manifest", "first.exe.manifest",
                                                               "save_file.manifest"}));
    }
}

}  // namespace vextra::test
