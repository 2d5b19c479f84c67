// SPDX-License-Identifier: MIT
#pragma once
// Sets or clears an inode flag of a file or folder (chattr): append-only and immutable hold even
// for root. Only root (CAP_LINUX_IMMUTABLE) may change them, where the file system keeps them.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace vextra::test {

// FS_APPEND_FL, FS_IMMUTABLE_FL...; the system's error when the flag could not be changed.
inline std::error_code change_inode_flag(const std::string& path, int flag, bool on) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {errno, std::system_category()};
    int flags = 0;
    std::error_code error;
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) error = {errno, std::system_category()};
    flags = on ? flags | flag : flags & ~flag;
    if (!error && ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) error = {errno, std::system_category()};
    close(fd);
    return error;
}

}  // namespace vextra::test
