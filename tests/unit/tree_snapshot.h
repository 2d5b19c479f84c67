// SPDX-License-Identifier: MIT
#pragma once
// Everything a test can see of a folder's tree, entry by entry (a link itself, never what it leads
// to), to show that a run changed nothing but what it may. Folders are walked below paths of any
// length (through handles on Linux, \\?\ paths on Windows), so a tree deeper than the longest
// path the system takes is seen whole; nothing that could block (a FIFO) is read.

#ifdef _WIN32
#include <windows.h>

#include "platform/utf16.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace vextra::test {

struct TreeEntry {
    char kind = '?';      // 'f' regular file, 'd' folder, 'l' link, 'p' FIFO, '?' anything else
    std::string content;  // a file's bytes (when the user may read them), a link's target
    std::int64_t mtime_ns = 0;  // of everything but folders, whose time moves with what they hold
#ifdef _WIN32
    unsigned attributes = 0;  // but archive, which Wine reports on every file
#else
    mode_t mode = 0;
    std::optional<std::string> dos_attrib;  // user.DOSATTRIB
#endif

    bool same_but_time(const TreeEntry& o) const {
#ifdef _WIN32
        if (attributes != o.attributes) return false;
#else
        if (mode != o.mode || dos_attrib != o.dos_attrib) return false;
#endif
        return kind == o.kind && content == o.content;
    }
    bool operator==(const TreeEntry& o) const { return same_but_time(o) && mtime_ns == o.mtime_ns; }
};

inline std::ostream& operator<<(std::ostream& out, const TreeEntry& e) {
    out << "{" << e.kind << ", " << e.content.size() << " bytes";
    if (e.content.size() <= 80) out << " '" << e.content << "'";
#ifdef _WIN32
    out << ", attributes " << e.attributes;
#else
    out << ", mode " << std::oct << e.mode << std::dec << ", user.DOSATTRIB " << e.dos_attrib.value_or("(none)");
#endif
    return out << ", mtime " << e.mtime_ns << "}";
}

// By path below the root, each starting with "/".
using Tree = std::map<std::string, TreeEntry>;

#ifdef _WIN32

// The \\?\ form of a path, which Windows takes at any length and with any name.
inline std::wstring long_form(const std::string& path) {
    std::wstring wide = L"\\\\?\\" + platform::to_utf16(path).value();
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

namespace tree_detail {

inline void walk(const std::wstring& folder, const std::string& below, Tree& tree) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring full = folder + L"\\" + name;
        const std::string path = below + "/" + platform::to_utf8(name);
        TreeEntry entry;
        entry.attributes = found.dwFileAttributes & ~FILE_ATTRIBUTE_ARCHIVE;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            entry.kind = 'l';
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry.kind = 'd';
            walk(full, path, tree);
        } else {
            entry.kind = 'f';
            entry.mtime_ns = ((std::int64_t{found.ftLastWriteTime.dwHighDateTime} << 32) |
                              found.ftLastWriteTime.dwLowDateTime) * 100;
            const HANDLE file = CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            char buffer[65536];
            DWORD got = 0;
            while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
                entry.content.append(buffer, got);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
        tree[path] = entry;
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace tree_detail

inline Tree tree_of(const std::string& root) {
    Tree tree;
    tree_detail::walk(long_form(root), "", tree);
    return tree;
}

#else

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

#endif

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

// What the program leaves on every manifest: read-only, hidden and system.
inline bool marked_read_only_hidden_system(const TreeEntry& e) {
#ifdef _WIN32
    return e.kind == 'f' && e.attributes == 7;
#else
    return e.kind == 'f' && (e.mode & 0222) == 0 && e.dos_attrib == std::string("0x6");
#endif
}

}  // namespace vextra::test
