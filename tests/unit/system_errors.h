// SPDX-License-Identifier: MIT
#pragma once
// The errors the file services report for a refused write and for a folder or file that is not there, as
// each system numbers them; messages expected in tests are these in the system's own words.

#include <system_error>

namespace vextra::test {

#ifdef _WIN32
inline const std::error_code kAccessDenied{5, std::system_category()};  // ERROR_ACCESS_DENIED
inline const std::error_code kPathNotFound{3, std::system_category()};  // ERROR_PATH_NOT_FOUND
inline const std::error_code kFileNotFound{2, std::system_category()};  // ERROR_FILE_NOT_FOUND
#else
inline const std::error_code kAccessDenied = std::make_error_code(std::errc::permission_denied);
inline const std::error_code kPathNotFound = std::make_error_code(std::errc::no_such_file_or_directory);
inline const std::error_code kFileNotFound = kPathNotFound;
#endif

}  // namespace vextra::test
