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
}  // namespace attribute

// The bare name (no directory) of the entry at `path` when it exists, is not a directory and is
// neither hidden nor system; otherwise the empty string. A link is an entry of its own: it is
// found by its own name, whatever it points to.
std::string lookup_name(const std::string& path);

// Replaces the attribute set of the regular file at `path` (read-only, hidden and system are
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
// its rename. A save, done or failed, leaves none of its own behind, and first removes those of
// saves that were killed on the way: only the program's own temporaries, only regular files, and
// never one that another save, in this process or another, still holds.
std::error_code save_file(const std::string& path, std::string_view content);

// Reads the whole regular file at `path`, without following a link and without blocking. Refuses
// anything else, and a file larger than `limit` bytes (std::errc::file_too_large), reading no
// more than `limit` + 1 bytes of it.
inline constexpr std::uint64_t kNoReadLimit = UINT64_MAX - 1;
std::error_code read_file(const std::string& path, std::string& content, std::uint64_t limit = kNoReadLimit);

// Sets the last-write time of the entry at `path` to now, changing nothing else (a read-only file's
// time too, where the system lets its owner).
std::error_code touch(const std::string& path);

// Whether anything at all is at `path` (a dangling link too), whatever its attributes.
bool path_exists(const std::string& path);

// A write past the process's file-size limit (ulimit -f) then fails with "file too large" instead
// of ending the process; a program that saves calls it first.
void keep_running_past_file_size_limit();

// The operating system's own words for an error.
std::string error_text(std::error_code error);

}  // namespace vextra::platform
