#pragma once
// File services: what the rest of the program calls instead of the operating system. Each failing
// call returns the system's error (an empty error_code means success) and has no other effect.
// Attributes are the DOS/Windows ones; on Linux they are kept the way Wine and Samba keep them.

#include <string>
#include <string_view>
#include <system_error>

namespace vextra::platform {

namespace attribute {
inline constexpr unsigned kNormal = 0;
inline constexpr unsigned kReadOnly = 0x1;
inline constexpr unsigned kHidden = 0x2;
inline constexpr unsigned kSystem = 0x4;
inline constexpr unsigned kArchive = 0x20;
}  // namespace attribute

// The bare name (no directory) of the file at `path` when it exists, is not a directory and is
// neither hidden nor system; otherwise the empty string.
std::string lookup_name(const std::string& path);

// Replaces the file's attribute set (read-only, hidden and system are honoured).
std::error_code set_attributes(const std::string& path, unsigned attributes);

// The file's attribute set as Windows programs see it; an error when it does not exist.
std::error_code get_attributes(const std::string& path, unsigned& attributes);

// Deletes a file; refuses a read-only one, as Windows does.
std::error_code delete_file(const std::string& path);

// Replaces the file's content atomically: the file holds either its old content or all of the new
// one, never part of it. Refuses to replace a read-only file.
std::error_code save_file(const std::string& path, std::string_view content);

// Reads a whole file.
std::error_code read_file(const std::string& path, std::string& content);

// Whether anything at all is at `path`, whatever its attributes.
bool path_exists(const std::string& path);

// The operating system's own words for an error.
std::string error_text(std::error_code error);

}  // namespace vextra::platform
