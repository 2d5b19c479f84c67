// SPDX-License-Identifier: MIT
#pragma once
// File services: what the rest of the program calls instead of the operating system. Each failing
// call returns the system's error (an empty error_code means success) and has no other effect.
// Attributes are the DOS/Windows ones; on Linux they are kept the way Wine and Samba keep them.
//
// Every call acts on the entry at the path itself: a symbolic link (or other reparse point) there
// is never followed, so nothing reached through it is read or changed. Only regular files are
// read, and nothing is opened in a way that could block (a FIFO, a device).

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace vextra::platform {

namespace attribute {
inline constexpr unsigned kNormal = 0;
inline constexpr unsigned kReadOnly = 0x1;
inline constexpr unsigned kHidden = 0x2;
inline constexpr unsigned kSystem = 0x4;
inline constexpr unsigned kDirectory = 0x10;  // reported, never set
inline constexpr unsigned kArchive = 0x20;
inline constexpr unsigned kSettable = kReadOnly | kHidden | kSystem;  // what set_attributes honours
}  // namespace attribute

// The bare name (no directory) of the entry at `path` when it exists, is not a directory and is
// neither hidden nor system; otherwise the empty string. A link is an entry of its own: it is
// found by its own name, whatever it points to.
std::string lookup_name(const std::string& path);

// Replaces the attribute set of the regular file at `path` (attribute::kSettable of it is
// honoured). Refuses a link, a directory and anything else that is not a regular file. Every
// step is checked; a failed step is reported and leaves the file as it was.
std::error_code set_attributes(const std::string& path, unsigned attributes);

// The entry's attribute set as Windows programs see it; an error when nothing is there.
std::error_code get_attributes(const std::string& path, unsigned& attributes);

// Deletes the entry at `path` (a link, not what it points to); refuses a read-only file and a
// directory, as Windows does.
std::error_code delete_file(const std::string& path);

// Replaces the entry's content atomically with a new regular file: it holds either its old
// content or all of the new one, never part of it; a link there is replaced by the file. Refuses
// to replace a read-only file or a directory. The new content is written to a temporary in the
// same folder first, held (locked on Linux, shared with no one on Windows) from its creation to
// its rename. A save, done or failed, leaves none of its own behind. The first save of the process
// in a folder (save_file or create_file) also removes the temporaries of saves that were killed on
// the way: only the program's own temporaries, only regular files, and never one that another
// save, in this process or another, still holds. Later saves in that folder do not look again, so
// a batch of saves in one folder lists it once; a temporary left there meanwhile by a save killed
// in another process stays until another process saves there.
// On Linux a folder where the temporary's name could never be removed again (append-only or
// immutable, chattr +a or +i) is refused with "operation not permitted" before anything is made.
std::error_code save_file(const std::string& path, std::string_view content);

// Creates a new regular file at `path` holding `content`, atomically (there is no file at `path`
// until all of it is there), and never replaces or follows anything already there: a file, a link
// (one that leads nowhere too), a folder, a FIFO. Then it fails with an error equal to
// std::errc::file_exists on both systems. The file's permissions are those any new file gets (0666
// within the umask on Linux).
// On Linux the file has no name until it is whole (O_TMPFILE), so a process killed on the way
// leaves nothing behind, and an append-only folder takes it too. Where the file system cannot make
// such a file, or /proc is missing on a kernel before 6.10, it is written like save_file's
// temporary and renamed without replacing (RENAME_NOREPLACE, else a hard link), with the same
// refusal of append-only and immutable folders. On Windows it is save_file's temporary, given the
// name by a hard link that never replaces (under Wine a Unix link() that also fails over a link
// leading nowhere, which Wine does not see), or, on a file system without hard links, by a rename
// that never replaces; a process killed between the link and the removal of the temporary's name
// leaves that name to the next process's clean-up.
std::error_code create_file(const std::string& path, std::string_view content);

// Reads the whole regular file at `path`, without following a link and without blocking. Refuses
// anything else, and a file larger than `limit` bytes (std::errc::file_too_large), reading no
// more than `limit` + 1 bytes of it.
inline constexpr std::uint64_t kNoReadLimit = UINT64_MAX - 1;
std::error_code read_file(const std::string& path, std::string& content, std::uint64_t limit = kNoReadLimit);

// Whether `path` names a regular file, through a link to the file it leads to, as the system starts
// a program by its link: the system's error when nothing is there (a link leading nowhere too), and
// a refusal for a folder or anything else.
std::error_code check_regular_file(const std::string& path);

// Sets the last-write time of the regular file `path` names to now, changing nothing else (a
// read-only file's time too, where the system lets its owner). A link is followed to the file it
// leads to, whose time is the one the system keeps for the program; the link itself keeps its own.
std::error_code touch(const std::string& path);

// Whether anything at all is at `path` (a dangling link too), whatever its attributes.
bool path_exists(const std::string& path);

// A write past the process's file-size limit (ulimit -f) then fails with "file too large" instead
// of ending the process; a program that saves calls it first.
void keep_running_past_file_size_limit();

// Whether `error`, from a file service, says that nothing was at the path (or at its folder's).
bool is_nothing_there(std::error_code error);

// The last part of `path`: the entry's own name, as the path gives it.
std::string base_name(const std::string& path);

// The operating system's own words for an error.
std::string error_text(std::error_code error);

}  // namespace vextra::platform
