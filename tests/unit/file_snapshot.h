// SPDX-License-Identifier: MIT
#pragma once
// Everything a test can see of a file on Linux, to show that something reached through a link
// stayed exactly as it was.

#include <sys/stat.h>
#include <sys/xattr.h>

#include <optional>
#include <ostream>
#include <string>

#include "temp_dir.h"

namespace vextra::test {

struct Snapshot {
    bool exists = false;
    std::string content;
    mode_t mode = 0;
    std::optional<std::string> dos_attrib;  // user.DOSATTRIB

    // Of the file `path` leads to.
    static Snapshot of(const std::string& path) {
        Snapshot snapshot;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return snapshot;
        snapshot.exists = true;
        snapshot.mode = st.st_mode & 07777;
        if (S_ISREG(st.st_mode)) snapshot.content = read_whole_file(path);
        char value[64];
        const ssize_t len = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
        if (len >= 0) snapshot.dos_attrib = std::string(value, static_cast<std::size_t>(len));
        return snapshot;
    }
    bool operator==(const Snapshot& o) const {
        return exists == o.exists && content == o.content && mode == o.mode && dos_attrib == o.dos_attrib;
    }
};

inline std::ostream& operator<<(std::ostream& out, const Snapshot& s) {
    return out << "{exists " << s.exists << ", mode " << std::oct << s.mode << std::dec << ", content '" << s.content
               << "', user.DOSATTRIB " << s.dos_attrib.value_or("(none)") << "}";
}

inline bool is_link(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace vextra::test
