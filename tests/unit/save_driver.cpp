// SPDX-License-Identifier: MIT
// Saves through the program's file services from a process of its own, for tests that limit,
// kill or confine that process.
//
//   save_driver loop PATH         saves A, then B, then deletes PATH, for ever (until killed); 3
//                                 when a save fails
//   save_driver save PATH SIZE    saves SIZE bytes once; prints "saved" or "failed: WHY", then the
//                                 names in PATH's folder and the size of PATH ("none" when absent)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/files.h"
#include "save_contents.h"

using vextra::platform::save_file;

int main(int argc, char** argv) {
    vextra::platform::keep_running_past_file_size_limit();
    const std::string mode = argc > 2 ? argv[1] : "";
    const std::string path = argc > 2 ? argv[2] : "";
    if (mode == "loop" && argc == 3) {
        // A failed save ends the loop with status 3, which the tests see; the delete may find the
        // manifest already gone when another program saves and deletes it too.
        for (;;) {
            if (save_file(path, vextra::test::kLongContent) || save_file(path, vextra::test::kShortContent)) return 3;
            vextra::platform::delete_file(path);
        }
    }
    if (mode == "save" && argc == 4) {
        const std::error_code error = save_file(path, std::string(std::strtoul(argv[3], nullptr, 10), 'x'));
        std::printf("%s\n", error ? ("failed: " + vextra::platform::error_text(error)).c_str() : "saved");
        const std::string folder = path.substr(0, path.find_last_of('/'));
        std::vector<std::string> names;
        if (DIR* listing = opendir(folder.c_str())) {
            while (const dirent* entry = readdir(listing))
                if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.push_back(entry->d_name);
            closedir(listing);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) std::printf("%s\n", name.c_str());
        struct stat st {};
        if (stat(path.c_str(), &st) == 0) {
            std::printf("%lld\n", static_cast<long long>(st.st_size));
        } else {
            std::printf("none\n");
        }
        return 0;
    }
    std::fprintf(stderr, "usage: save_driver loop PATH | save_driver save PATH SIZE\n");
    return 2;
}
