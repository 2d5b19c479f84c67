// SPDX-License-Identifier: MIT
// Saves through the program's file services from a process of its own, for tests that limit,
// kill or confine that process.
//
//   save_driver loop PATH         saves A, then B, then deletes PATH, for ever (until killed); 3
//                                 when a save fails
//   save_driver save PATH SIZE [no-locks]
//                                 saves SIZE bytes once; prints "saved" or "failed: WHY", then the
//                                 names in PATH's folder and the size of PATH ("none" when absent).
//                                 With no-locks every flock fails, as on a file system without locks
#include <dirent.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "platform/files.h"
#include "save_contents.h"

using vextra::platform::save_file;

namespace {

// From here on every flock of this process fails with "No locks available".
bool refuse_locks() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_flock, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOLCK),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

}  // namespace

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
    const bool without_locks = argc == 5 && std::string(argv[4]) == "no-locks";
    if (mode == "save" && (argc == 4 || without_locks)) {
        if (without_locks && !refuse_locks()) {
            std::perror("save_driver: seccomp");
            return 2;
        }
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
    std::fprintf(stderr, "usage: save_driver loop PATH | save_driver save PATH SIZE [no-locks]\n");
    return 2;
}
