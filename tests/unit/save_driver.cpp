// SPDX-License-Identifier: MIT
// Saves through the program's file services from a process of its own, for tests that limit,
// kill or confine that process.
//
//   save_driver loop PATH [FAULT...]
//                        saves A, then B, then deletes PATH, for ever (until killed); 3 when a
//                        save fails
//   save_driver create-loop PATH [FAULT...]
//                        the same with create_file: deletes PATH, creates A, deletes it, creates B
//   save_driver save|create PATH SIZE [FAULT...]
//                        saves (or creates) SIZE bytes once; prints "saved" or "failed: WHY", then
//                        the names in PATH's folder and the size of PATH ("none" when absent)
//
// Each FAULT makes the process see a system that lacks something, as some file systems and
// kernels do:
//   no-locks          every flock fails with "No locks available"
//   no-tmpfile        opening an unnamed file (O_TMPFILE) fails with "Operation not supported"
//   no-noreplace      a rename that must not replace (renameat2) fails with "Invalid argument"
//   no-empty-path     linking a descriptor itself (AT_EMPTY_PATH) fails with ENOENT, as it does
//                     for an ordinary user before Linux 6.10
#include <dirent.h>
#include <fcntl.h>
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

using vextra::platform::create_file;
using vextra::platform::delete_file;
using vextra::platform::save_file;

namespace {

struct Fault {
    const char* name;
    unsigned call;
    int argument;        // the argument whose bits decide, or -1: every such call fails
    unsigned bits;
    unsigned error;
};

// O_TMPFILE's own bit, apart from the O_DIRECTORY it includes.
constexpr unsigned kTmpfileBit = O_TMPFILE & ~O_DIRECTORY;

const Fault kFaults[] = {
    {"no-locks", __NR_flock, -1, 0, ENOLCK},
    {"no-tmpfile", __NR_openat, 2, kTmpfileBit, EOPNOTSUPP},
    {"no-noreplace", __NR_renameat2, -1, 0, EINVAL},
    {"no-empty-path", __NR_linkat, 4, AT_EMPTY_PATH, ENOENT},
};

// From here on the calls of `faults` fail as each says.
bool install(const std::vector<const Fault*>& faults) {
    std::vector<sock_filter> filter = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
    for (const Fault* fault : faults) {
        const sock_filter fail = BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | fault->error);
        if (fault->argument < 0) {
            filter.insert(filter.end(), {BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, fault->call, 0, 1), fail});
            continue;
        }
        // The low half of the argument (x86-64 is little-endian); the call number is loaded again
        // for the next fault.
        const unsigned argument = offsetof(seccomp_data, args) + 8 * static_cast<unsigned>(fault->argument);
        filter.insert(filter.end(), {
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, fault->call, 0, 4),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument),
            BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, fault->bits, 0, 1),
            fail,
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        });
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// The faults named from `first` on; false for a name that is none.
bool faults_named(char** first, char** end, std::vector<const Fault*>& faults) {
    for (char** name = first; name != end; ++name) {
        const auto found = std::find_if(std::begin(kFaults), std::end(kFaults),
                                        [name](const Fault& fault) { return std::string(fault.name) == *name; });
        if (found == std::end(kFaults)) return false;
        faults.push_back(&*found);
    }
    return true;
}

void print_folder_and_size(const std::string& path) {
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
}

}  // namespace

int main(int argc, char** argv) {
    vextra::platform::keep_running_past_file_size_limit();
    const std::string mode = argc > 2 ? argv[1] : "";
    const std::string path = argc > 2 ? argv[2] : "";
    const bool once = mode == "save" || mode == "create";
    const bool loop = mode == "loop" || mode == "create-loop";
    std::vector<const Fault*> faults;
    if (!(once && argc > 3) && !loop) {
        std::fprintf(stderr, "usage: save_driver loop|create-loop PATH [FAULT...] | save_driver save|create PATH SIZE [FAULT...]\n");
        return 2;
    }
    if (!faults_named(argv + (once ? 4 : 3), argv + argc, faults)) {
        std::fprintf(stderr, "save_driver: the faults are no-locks, no-tmpfile, no-noreplace and no-empty-path\n");
        return 2;
    }
    if (!faults.empty() && !install(faults)) {
        std::perror("save_driver: seccomp");
        return 2;
    }
    using vextra::test::kLongContent;
    using vextra::test::kShortContent;
    // A failed save ends the loop with status 3, which the tests see; the delete may find the
    // manifest already gone when another program saves and deletes it too.
    if (mode == "loop") {
        for (;;) {
            if (save_file(path, kLongContent) || save_file(path, kShortContent)) return 3;
            delete_file(path);
        }
    }
    if (mode == "create-loop") {
        for (;;) {
            delete_file(path);
            if (create_file(path, kLongContent)) return 3;
            delete_file(path);
            if (create_file(path, kShortContent)) return 3;
        }
    }
    const std::string content(std::strtoul(argv[3], nullptr, 10), 'x');
    const std::error_code error = mode == "save" ? save_file(path, content) : create_file(path, content);
    std::printf("%s\n", error ? ("failed: " + vextra::platform::error_text(error)).c_str() : "saved");
    print_folder_and_size(path);
    return 0;
}
