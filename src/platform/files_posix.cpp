// File services on Linux. Attributes follow Wine's own mapping, so a program running under Wine
// sees what we write and the reverse: read-only is the absence of every write permission bit,
// hidden and system live in the extended attribute user.DOSATTRIB as "0x%x", and a dot-file is
// hidden. Tests and CI run as root, where permission bits refuse nothing, so delete and save
// check the read-only attribute themselves, as Windows would.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vextra::platform {
namespace {

constexpr const char* kDosAttribXattr = "user.DOSATTRIB";
constexpr unsigned kXattrAttributes = attribute::kHidden | attribute::kSystem;
constexpr unsigned kDirectoryAttribute = 0x10;

std::error_code last_error() { return {errno, std::system_category()}; }

mode_t process_umask() {
    static const mode_t mask = [] {
        const mode_t m = umask(0);
        umask(m);
        return m;
    }();
    return mask;
}

std::string base_name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directory_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Wine hides every name that starts with a dot, except "." and "..".
bool is_dot_file(const std::string& path) {
    const std::string name = base_name(path);
    return name.size() > 1 && name[0] == '.' && name != "..";
}

// Parsed as Wine parses it: "0x" and hex digits to the end (a trailing NUL is allowed);
// anything else counts as no stored attributes.
unsigned stored_dos_attributes(const std::string& path) {
    char data[65];
    const ssize_t len = getxattr(path.c_str(), kDosAttribXattr, data, sizeof data - 1);
    if (len <= 2 || data[0] != '0' || data[1] != 'x') return 0;
    data[len] = '\0';
    char* end = nullptr;
    const long value = std::strtol(data, &end, 16);
    return *end == '\0' ? static_cast<unsigned>(value) & kXattrAttributes : 0;
}

unsigned attributes_of(const std::string& path, const struct stat& st) {
    unsigned attributes = S_ISDIR(st.st_mode) ? kDirectoryAttribute : attribute::kArchive;
    if ((st.st_mode & 0222) == 0) attributes |= attribute::kReadOnly;
    if (is_dot_file(path)) attributes |= attribute::kHidden;
    return attributes | stored_dos_attributes(path);
}

std::error_code refuse_if_read_only(const std::string& path) {
    unsigned attributes = 0;
    if (auto error = get_attributes(path, attributes)) return error;
    if (attributes & attribute::kReadOnly) return std::make_error_code(std::errc::permission_denied);
    return {};
}

std::error_code write_all(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return last_error();
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

}  // namespace

std::string lookup_name(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    if (attributes_of(path, st) & (attribute::kHidden | attribute::kSystem)) return {};
    return base_name(path);
}

std::error_code get_attributes(const std::string& path, unsigned& attributes) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return last_error();
    attributes = attributes_of(path, st);
    return {};
}

std::error_code set_attributes(const std::string& path, unsigned attributes) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return last_error();
    mode_t mode = st.st_mode;
    if (attributes & attribute::kReadOnly) {
        if (!S_ISDIR(mode)) mode &= ~0222;
    } else {
        // Wine gives write permission back where there is read permission, within the umask.
        mode |= (0600 | ((mode & 044) >> 1)) & ~process_umask();
    }
    if (mode != st.st_mode && chmod(path.c_str(), mode & 07777) != 0) return last_error();

    const unsigned stored = attributes & kXattrAttributes;
    if (stored == 0) {
        if (removexattr(path.c_str(), kDosAttribXattr) != 0 && errno != ENODATA && errno != ENOTSUP)
            return last_error();
        return {};
    }
    char text[16];
    const int len = std::snprintf(text, sizeof text, "0x%x", stored);
    if (setxattr(path.c_str(), kDosAttribXattr, text, static_cast<std::size_t>(len), 0) != 0)
        return last_error();
    return {};
}

std::error_code delete_file(const std::string& path) {
    if (auto error = refuse_if_read_only(path)) return error;
    if (unlink(path.c_str()) != 0) return last_error();
    return {};
}

std::error_code save_file(const std::string& path, std::string_view content) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::is_a_directory);
        if (auto error = refuse_if_read_only(path)) return error;
    }
    const std::string directory = directory_of(path);
    // The temporary name starts with a dot, so Windows programs under Wine never see it.
    std::string temp = directory + "/.vextra-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return last_error();

    std::error_code error;
    if (fchmod(fd, 0666 & ~process_umask()) != 0) error = last_error();
    if (!error) error = write_all(fd, content);
    if (!error && fsync(fd) != 0) error = last_error();
    if (close(fd) != 0 && !error) error = last_error();
    if (!error && rename(temp.c_str(), path.c_str()) != 0) error = last_error();
    if (error) {
        unlink(temp.c_str());
        return error;
    }
    // Make the rename itself durable; the content is already on disk either way.
    const int dir_fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        fsync(dir_fd);
        close(dir_fd);
    }
    return {};
}

std::error_code read_file(const std::string& path, std::string& content) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return last_error();
    std::string data;
    std::error_code error;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = last_error();
            break;
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    if (!error) content = std::move(data);
    return error;
}

bool path_exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string error_text(std::error_code error) { return error.message(); }

}  // namespace vextra::platform
