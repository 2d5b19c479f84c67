// SPDX-License-Identifier: MIT
// File services on Linux. Attributes follow Wine's own mapping, so a program running under Wine
// sees what we write and the reverse: read-only is the absence of every write permission bit,
// hidden and system live in the extended attribute user.DOSATTRIB as "0x%x", and a dot-file is
// hidden. Every call looks at the entry itself (lstat, the l*xattr calls, O_NOFOLLOW), so a link
// at a path is never followed. Root ignores permission bits, so delete and save check the
// read-only attribute themselves, as Windows would.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <tuple>

#include "platform/files_sweep.h"

namespace vextra::platform {
namespace {

constexpr const char* kDosAttribXattr = "user.DOSATTRIB";
constexpr unsigned kXattrAttributes = attribute::kHidden | attribute::kSystem;
constexpr unsigned kReparsePointAttribute = 0x400;  // what Windows shows for a symbolic link

std::error_code last_error() { return {errno, std::system_category()}; }
std::error_code error_of(std::errc code) { return std::make_error_code(code); }

mode_t process_umask() {
    static const mode_t mask = [] {
        const mode_t m = umask(0);
        umask(m);
        return m;
    }();
    return mask;
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

// The raw value of user.DOSATTRIB on the entry itself; nullopt when it has none.
std::optional<std::string> stored_dos_attrib(const std::string& path) {
    char data[64];
    const ssize_t len = lgetxattr(path.c_str(), kDosAttribXattr, data, sizeof data);
    if (len < 0) return std::nullopt;
    return std::string(data, static_cast<std::size_t>(len));
}

// Parsed as Wine parses it: "0x" and hex digits to the end (a trailing NUL is allowed);
// anything else counts as no stored attributes.
unsigned dos_attributes_in(const std::optional<std::string>& stored) {
    if (!stored || stored->size() <= 2 || stored->compare(0, 2, "0x") != 0) return 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(stored->c_str(), &end, 16);
    return *end == '\0' ? static_cast<unsigned>(value) & kXattrAttributes : 0;
}

unsigned attributes_of(const std::string& path, const struct stat& st) {
    unsigned attributes = S_ISDIR(st.st_mode)    ? attribute::kDirectory
                          : S_ISLNK(st.st_mode) ? attribute::kArchive | kReparsePointAttribute
                                                : attribute::kArchive;
    if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) attributes |= attribute::kReadOnly;
    if (is_dot_file(path)) attributes |= attribute::kHidden;
    return attributes | dos_attributes_in(stored_dos_attrib(path));
}

// Only a regular file takes attributes or is read; what else may be at a path says why not.
std::error_code refuse_unless_regular(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return {};
    if (S_ISDIR(st.st_mode)) return error_of(std::errc::is_a_directory);
    // Linux's own answer to changing a link's mode; a FIFO or a device is no file of ours either.
    return error_of(std::errc::operation_not_supported);
}

std::error_code change_mode(const std::string& path, mode_t mode) {
    if (fchmodat(AT_FDCWD, path.c_str(), mode & 07777, AT_SYMLINK_NOFOLLOW) != 0) return last_error();
    return {};
}

// Writes or removes user.DOSATTRIB so that it holds `stored` (hidden and system only).
std::error_code store_dos_attributes(const std::string& path, unsigned stored) {
    if (stored == 0) {
        if (lremovexattr(path.c_str(), kDosAttribXattr) != 0 && errno != ENODATA && errno != ENOTSUP)
            return last_error();
        return {};
    }
    char text[16];
    const int len = std::snprintf(text, sizeof text, "0x%x", stored);
    if (lsetxattr(path.c_str(), kDosAttribXattr, text, static_cast<std::size_t>(len), 0) != 0) return last_error();
    return {};
}

bool needs_store(const std::optional<std::string>& current, unsigned stored) {
    if (stored == 0) return current.has_value();
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", stored);
    return current != std::string(text);
}

std::error_code refuse_if_read_only(const std::string& path, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return error_of(std::errc::is_a_directory);
    if (attributes_of(path, st) & attribute::kReadOnly) return error_of(std::errc::permission_denied);
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

// Saves write a temporary named ".vextra-" and six letters or digits (mkostemp's pattern) in the
// target's folder, and hold an exclusive lock on it until it is renamed or removed. The name starts
// with a dot, so Windows programs under Wine never see it.
constexpr std::string_view kTemporaryPrefix = ".vextra-";
constexpr std::size_t kTemporaryLetters = 6;

bool is_temporary_name(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kTemporaryLetters || name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix)
        return false;
    return std::all_of(name.begin() + kTemporaryPrefix.size(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// Removes the temporaries that saves killed on the way left in `directory`: regular files of the
// temporary pattern that no process holds locked. A live save's temporary is locked; anything else
// of that name (a link, a folder, a FIFO) is not ours and stays.
void remove_stale_temporaries(const std::string& directory) {
    const int dir_fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0) return;
    DIR* listing = fdopendir(dir_fd);
    if (!listing) {
        close(dir_fd);
        return;
    }
    while (const dirent* entry = readdir(listing)) {
        if (!is_temporary_name(entry->d_name)) continue;
        const int fd = openat(dir_fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat opened {}, named {};
        if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dir_fd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            unlinkat(dir_fd, entry->d_name, 0);
        }
        close(fd);
    }
    closedir(listing);
}

// A new temporary in `directory`, locked, its path in `temp`. Another save's clean-up may remove it
// between its creation and the lock, but not after; then it is made again. Where the file system
// keeps no locks, no clean-up can take the lock either, so the temporary is left alone all the same.
int create_temporary(const std::string& directory, std::string& temp) {
    for (;;) {
        temp = directory + "/" + std::string(kTemporaryPrefix) + std::string(kTemporaryLetters, 'X');
        const int fd = mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) return fd;
        while (flock(fd, LOCK_EX) != 0 && errno == EINTR) continue;
        struct stat st {};
        if (fstat(fd, &st) != 0 || st.st_nlink > 0) return fd;
        close(fd);
    }
}

// What a save needs to know of the folder it writes in.
struct Folder {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    // Append-only or immutable: a name made there could never be removed again.
    bool keeps_names = false;
};

std::error_code look_at_folder(const std::string& path, Folder& folder) {
    struct statx st {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_INO, &st) != 0) return last_error();
    folder.path = path;
    folder.device = makedev(st.stx_dev_major, st.stx_dev_minor);
    folder.inode = st.stx_ino;
    folder.keeps_names = (st.stx_attributes & (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE)) != 0;
    return {};
}

// The first save of this process in a folder clears it; later ones leave temporaries that appeared
// meanwhile to the next process. A folder is known by its path and its identity, so another folder
// made under the same path, or at the same place on the disk, is a new one.
void remove_stale_temporaries_once(const Folder& folder) {
    static SweptFolders<std::tuple<std::string, dev_t, ino_t>> swept;
    if (swept.first_visit({folder.path, folder.device, folder.inode})) remove_stale_temporaries(folder.path);
}

// Makes a finished rename or link durable; the content is already on disk either way.
void sync_folder(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Gives the temporary at `temp` the name `path`.
using PlaceTemporary = std::error_code (*)(const std::string& temp, const std::string& path);

// rename replaces the entry itself: a link there becomes this file, its target is untouched.
std::error_code rename_over(const std::string& temp, const std::string& path) {
    if (rename(temp.c_str(), path.c_str()) != 0) return last_error();
    return {};
}

// Fails with "file exists" when anything at all is at `path`, a link that leads nowhere too. A file
// system without RENAME_NOREPLACE refuses it (EINVAL); a hard link fails alike over any entry, and
// the temporary's own name goes after it.
std::error_code rename_without_replacing(const std::string& temp, const std::string& path) {
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS) return last_error();
    if (link(temp.c_str(), path.c_str()) != 0) return last_error();
    unlink(temp.c_str());
    return {};
}

// Writes `content` to a new temporary in the folder, held (locked) from its creation until `place`
// has given it its name, and removed whenever it does not get there. A folder that would keep the
// temporary's name for good is refused before anything is made in it.
std::error_code save_through_temporary(const Folder& folder, const std::string& path, std::string_view content,
                                       PlaceTemporary place) {
    if (folder.keeps_names) return error_of(std::errc::operation_not_permitted);
    std::string temp;
    const int fd = create_temporary(folder.path, temp);
    if (fd < 0) return last_error();

    std::error_code error;
    if (fchmod(fd, 0666 & ~process_umask()) != 0) error = last_error();
    if (!error) error = write_all(fd, content);
    if (!error && fsync(fd) != 0) error = last_error();
    if (!error) error = place(temp, path);
    if (error) unlink(temp.c_str());
    close(fd);
    if (!error) sync_folder(folder.path);
    return error;
}

// Gives the unnamed file open as `fd` the name `path`. Linking a descriptor itself is allowed to
// anyone only since Linux 6.10 (ENOENT before, without CAP_DAC_READ_SEARCH); /proc's name of the
// descriptor works everywhere /proc is mounted. nullopt when neither can.
std::optional<std::error_code> link_unnamed(int fd, const std::string& path) {
    if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return std::error_code();
    if (errno != ENOENT) return last_error();
    const std::string by_proc = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, by_proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return std::error_code();
    const std::error_code error = last_error();
    if (error == std::errc::no_such_file_or_directory && access("/proc/self/fd", F_OK) != 0) return std::nullopt;
    return error;
}

// Writes `content` to a file that has no name until it is whole, then links it at `path`, which
// fails over any entry there. A process killed on the way leaves nothing behind: the system frees
// a file without a name. nullopt where the file system makes no unnamed files (EOPNOTSUPP; EISDIR
// or EINVAL from a kernel without O_TMPFILE) or where it cannot be linked.
std::optional<std::error_code> create_unnamed(const Folder& folder, const std::string& path, std::string_view content) {
    // The mode is 0666 within the umask, as open gives a new file.
    const int fd = open(folder.path.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return std::nullopt;
        return last_error();
    }
    std::optional<std::error_code> result = write_all(fd, content);
    if (!*result && fsync(fd) != 0) result = last_error();
    if (!*result) result = link_unnamed(fd, path);
    close(fd);
    if (result && !*result) sync_folder(folder.path);
    return result;
}

}  // namespace

std::string lookup_name(const std::string& path) {
    struct stat st {};
    if (path.empty() || lstat(path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) return {};
    if (attributes_of(path, st) & (attribute::kHidden | attribute::kSystem)) return {};
    return base_name(path);
}

std::error_code get_attributes(const std::string& path, unsigned& attributes) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return last_error();
    attributes = attributes_of(path, st);
    return {};
}

// An ordinary user may change user.* attributes only while the file is writable, so they are
// stored while it is (with owner write added for that moment if need be) and the write bits are
// taken away last.
std::error_code set_attributes(const std::string& path, unsigned attributes) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return last_error();
    if (auto error = refuse_unless_regular(st)) return error;

    const mode_t mode = st.st_mode & 07777;
    mode_t final_mode = mode;
    if (attributes & attribute::kReadOnly) {
        final_mode &= ~0222;
    } else {
        // Wine gives write permission back where there is read permission, within the umask.
        final_mode |= (0600 | ((mode & 044) >> 1)) & ~process_umask();
    }
    const unsigned stored = attributes & kXattrAttributes;
    if (needs_store(stored_dos_attrib(path), stored)) {
        const mode_t writable = (final_mode & 0222) ? final_mode : (mode & 0222) ? mode : mode | S_IWUSR;
        if (writable != mode)
            if (auto error = change_mode(path, writable)) return error;
        if (auto error = store_dos_attributes(path, stored)) {
            if (writable != mode) change_mode(path, mode);
            return error;
        }
        if (final_mode != writable) return change_mode(path, final_mode);
        return {};
    }
    if (final_mode != mode) return change_mode(path, final_mode);
    return {};
}

std::error_code delete_file(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return last_error();
    if (auto error = refuse_if_read_only(path, st)) return error;
    if (unlink(path.c_str()) != 0) return last_error();
    return {};
}

std::error_code save_file(const std::string& path, std::string_view content) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (auto error = refuse_if_read_only(path, st)) return error;
    } else if (errno != ENOENT) {
        return last_error();
    }
    Folder folder;
    if (auto error = look_at_folder(directory_of(path), folder)) return error;
    remove_stale_temporaries_once(folder);
    return save_through_temporary(folder, path, content, rename_over);
}

std::error_code create_file(const std::string& path, std::string_view content) {
    // A name already taken costs no write; the link or rename checks again at the moment it counts.
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) return error_of(std::errc::file_exists);
    if (errno != ENOENT) return last_error();
    Folder folder;
    if (auto error = look_at_folder(directory_of(path), folder)) return error;
    remove_stale_temporaries_once(folder);
    if (const auto created = create_unnamed(folder, path, content)) return *created;
    return save_through_temporary(folder, path, content, rename_without_replacing);
}

std::error_code read_file(const std::string& path, std::string& content, std::uint64_t limit) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return last_error();
    struct stat st {};
    std::error_code error;
    if (fstat(fd, &st) != 0) error = last_error();
    if (!error) error = refuse_unless_regular(st);
    if (!error && static_cast<std::uint64_t>(st.st_size) > limit) error = error_of(std::errc::file_too_large);

    std::string data;
    if (!error) data.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    while (!error) {
        const std::uint64_t wanted = std::min<std::uint64_t>(sizeof buffer, limit + 1 - data.size());
        const ssize_t got = read(fd, buffer, static_cast<std::size_t>(wanted));
        if (got == 0) break;
        if (got < 0) {
            if (errno != EINTR) error = last_error();
            continue;
        }
        data.append(buffer, static_cast<std::size_t>(got));
        if (data.size() > limit) error = error_of(std::errc::file_too_large);  // it grew while read
    }
    close(fd);
    if (!error) content = std::move(data);
    return error;
}

std::error_code check_regular_file(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return last_error();
    return refuse_unless_regular(st);
}

std::error_code touch(const std::string& path) {
    if (auto error = check_regular_file(path)) return error;
    // Setting times opens nothing, so whatever a link leads to meanwhile, nothing blocks.
    const struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return last_error();
    return {};
}

bool is_nothing_there(std::error_code error) { return error == std::errc::no_such_file_or_directory; }

bool path_exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

void keep_running_past_file_size_limit() { signal(SIGXFSZ, SIG_IGN); }

std::string base_name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string error_text(std::error_code error) { return error.message(); }

}  // namespace vextra::platform
