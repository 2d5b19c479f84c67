// SPDX-License-Identifier: MIT
#pragma once
// The process's standard output, written straight through the system, so that a program knows
// whether what it printed arrived: a full disk, a closed descriptor or a reader that has gone away
// is an error to report, never silence.

#include <string_view>
#include <system_error>

namespace vextra::platform {

// Writes all of `bytes` to the standard output now (nothing is kept back in a buffer); the
// system's error when they did not all arrive. A reader that has gone away gives
// std::errc::broken_pipe. On Windows each "\n" leaves as "\r\n", as a console program's text does.
std::error_code write_standard_output(std::string_view bytes);

// Closes the standard output after the last write, returning what the system reports only then (a
// network file system may report a lost write at the close). An output closed from the start,
// with nothing written to it, has nothing to report.
std::error_code close_standard_output();

// From now on a write to a pipe whose reader has gone away fails with std::errc::broken_pipe
// instead of ending the process (SIGPIPE on Linux), so the program can finish the step in hand.
void keep_running_past_closed_pipe();

}  // namespace vextra::platform
