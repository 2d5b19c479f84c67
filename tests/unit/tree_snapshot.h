// SPDX-License-Identifier: MIT
#pragma once
// Everything a test can see of a folder's tree on Linux, entry by entry (a link itself, never what
// it leads to), to show that a run changed nothing but what it may. Folders are walked through
// handles, so a tree deeper than the longest path the system takes is seen whole; nothing that
// could block (a FIFO) is read.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace vextra::test {

struct TreeEntry {
    char kind = '?';  // 'f' regular file, 'd' folder, 'l' link, 'p' FIFO, '?' anything else
    mode_t mode = 0;
    std::string content;                    // a file's bytes (when the user may read them), a link's target
    std::optional<std::string> dos_attrib;  // user.DOSATTRIB
    std::int64_t mtime_ns = 0;              // of everything but folders, whose time moves with what they hold

    bool same_but_time(const TreeEntry& o) const {
        return kind == o.kind && mode == o.mode && content == o.content && dos_attrib == o.dos_attrib;
    }
    bool operator==(const TreeEntry& o) const { return same_but_time(o) && mtime_ns == o.mtime_ns; }
};

inline std::ostream& operator<<(std::ostream& out, const TreeEntry& e) {
    out << "{" << e.kind << " mode " << std::oct << e.mode << std::dec << ", " << e.content.size()
        << " bytes";
    if (e.content.size() <= 80) out << " '" << e.content << "'";
    return out << ", user.DOSATTRIB " << e.dos_attrib.value_or("(none)") << ", mtime " << e.mtime_ns << "}";
}

// By path below the root, each starting with "/".
using Tree = std::map<std::string, TreeEntry>;

namespace tree_detail {

inline std::string read_all(int fd) {
    std::string content;
    char buffer[65536];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
        content.append(buffer, static_cast<std::size_t>(got));
    return content;
}

inline void walk(int dir_fd, const std::string& below, Tree& tree) {
    DIR* listing = fdopendir(dup(dir_fd));
    if (!listing) return;
    std::vector<std::string> names;
    while (const dirent* item = readdir(listing))
        if (std::string(item->d_name) != "." && std::string(item->d_name) != "..")
            names.push_back(item->d_name);
    closedir(listing);
    // The l*xattr calls take a path only; the folder's handle in /proc stands for a path of any depth.
    const std::string handle_path = "/proc/self/fd/" + std::to_string(dir_fd) + "/";
    for (const std::string& name : names) {
        struct stat st {};
        if (fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        TreeEntry entry;
        entry.mode = st.st_mode & 07777;
        entry.mtime_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        char value[64];
        const ssize_t length = lgetxattr((handle_path + name).c_str(), "user.DOSATTRIB", value, sizeof value);
        if (length >= 0) entry.dos_attrib.emplace(value, static_cast<std::size_t>(length));
        const std::string path = below + "/" + name;
        if (S_ISREG(st.st_mode)) {
            entry.kind = 'f';
            const int fd = openat(dir_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                entry.content = read_all(fd);
                close(fd);
            }
        } else if (S_ISLNK(st.st_mode)) {
            entry.kind = 'l';
            char target[4096];
            const ssize_t size = readlinkat(dir_fd, name.c_str(), target, sizeof target);
            if (size > 0) entry.content.assign(target, static_cast<std::size_t>(size));
        } else if (S_ISDIR(st.st_mode)) {
            entry.kind = 'd';
            entry.mtime_ns = 0;
            const int fd = openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) {
                walk(fd, path, tree);
                close(fd);
            }
        } else if (S_ISFIFO(st.st_mode)) {
            entry.kind = 'p';
        }
        tree[path] = entry;
    }
}

}  // namespace tree_detail

inline Tree tree_of(const std::string& root) {
    Tree tree;
    const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return tree;
    tree_detail::walk(fd, "", tree);
    close(fd);
    return tree;
}

// The paths whose entries appeared, went or changed between two looks at a tree, ignoring the
// last-write times of `times_may_change`.
inline std::vector<std::string> changed_paths(const Tree& before, const Tree& after,
                                              const std::set<std::string>& times_may_change = {}) {
    std::set<std::string> paths;
    for (const auto& [path, entry] : before) paths.insert(path);
    for (const auto& [path, entry] : after) paths.insert(path);
    std::vector<std::string> changed;
    for (const std::string& path : paths) {
        const auto was = before.find(path), is = after.find(path);
        if (was == before.end() || is == after.end()) {
            changed.push_back(path);
        } else if (times_may_change.count(path) ? !was->second.same_but_time(is->second)
                                                : !(was->second == is->second)) {
            changed.push_back(path);
        }
    }
    return changed;
}

// What the program leaves on every manifest: read-only (no write bit), hidden and system.
inline bool marked_read_only_hidden_system(const TreeEntry& e) {
    return e.kind == 'f' && (e.mode & 0222) == 0 && e.dos_attrib == std::string("0x6");
}

}  // namespace vextra::test
