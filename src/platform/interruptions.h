// SPDX-License-Identifier: MIT
#pragma once
// Requests from outside to stop a command-line run: SIGINT, SIGTERM and SIGHUP on Linux; Ctrl+C,
// Ctrl+Break and the console's close, logoff and shutdown on Windows. A run holds them back so that
// the work on one program (manifest, attributes, program time) is never cut in the middle: it looks
// for a request between programs and stops there. Only a wait for an answer on standard input is
// cut short, as the answer No.

#include <functional>
#include <optional>

namespace vextra::platform {

// While it lives, requests are recorded instead of ending the process. A signal that was ignored
// when the program started (nohup, a background job) stays ignored. One at a time, made and ended
// on the thread that reads the answers.
class InterruptionHold {
public:
    InterruptionHold();
    // Gives the process back its earlier handling; a request that came after the last look at
    // requested_exit_status() then takes its usual course.
    ~InterruptionHold();
    InterruptionHold(const InterruptionHold&) = delete;
    InterruptionHold& operator=(const InterruptionHold&) = delete;

    // The exit status the first request asks for, or nullopt while none came: on Linux 128 plus the
    // signal's number; on Windows STATUS_CONTROL_C_EXIT (0xC000013A) for every kind of request, the
    // status the system itself ends a console program with on any of them.
    std::optional<int> requested_exit_status();

    // Runs `read`, a blocking read of standard input, unless a request has come; a request while it
    // runs cuts it short: a read under way or about to begin ends at once without input. False when
    // a request came before the read or during it: what it read, if anything, is then no answer.
    bool read_input(const std::function<void()>& read);
};

}  // namespace vextra::platform
